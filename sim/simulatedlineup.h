#pragma once

// The amplifiers ampsim serves: AMP1, AMP2, ... on consecutive loopback
// addresses, alternately in the groups STAGE and FOH unless one group is given.
// Tests that show what a person trying the controller sees start the same ones.

#include "ampsimulator.h"

#include <QStringList>

// firstAddress is an IPv4 address as a number; names and group are cut to 5
// characters and set in upper case, missing names become "AMP<n>".
QList<AmpSimulator::Amp> simulatedLineup(quint32 firstAddress, int count, const QStringList &names = {},
                                         const QString &group = {});
