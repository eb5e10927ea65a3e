#pragma once

// Between a group's record and what a scene holds of a group.

#include "grouptable.h"
#include "scene.h"

#include <QList>
#include <QSet>

// The record's six settings and three links, with the mute as given (the
// record holds none; the amplifiers report it).
GroupState stateOfGroup(const tGroupItem &record, GroupMute mute);
// The six settings and three links of state into the record; its mute is
// not the record's to hold.
void putStateIntoGroup(const GroupState &state, tGroupItem &record);

// The scenes as a project of these groups keeps them: values and scope
// names of groups since deleted are left out, so that the file reads back
// without a warning. A scope that named only such groups is kept as it is
// (the reader then leaves the scene out and says so).
QList<Scene> scenesOfGroups(QList<Scene> scenes, const QSet<QString> &groups);
