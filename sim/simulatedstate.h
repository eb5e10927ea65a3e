#pragma once

// What one simulated amplifier knows about itself.

#include <QByteArray>
#include <QList>
#include <QString>

#include "ampsimulator.h"

struct SimulatedState
{
    QString address;
    QByteArray name = "AMP  ";
    QByteArray group = "UNDEF";
    quint32 seed = 1;  // makes each amp's measurements its own, and repeatable
    quint8 muteA = 1;
    quint8 muteB = 1;
    QByteArray groupSettings;
    bool locked = false;

    AmpSimulator::Fault fault = AmpSimulator::Fault::None;
    int slowChunk = 200;
    int slowDelayMs = 50;
    qint64 hugeBytes = 4 * 1024 * 1024;
    QList<QByteArray> requests;
    int connections = 0;
};

// Changes the state as the amplifier would for the path and argument of a
// request ("/name=AB   ", "/mute_a_on.html", ...). Unknown paths change nothing.
void applyCommand(SimulatedState &state, QByteArrayView target);
