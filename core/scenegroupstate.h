#pragma once

// Between a group's record and what a scene holds of a group.

#include "grouptable.h"
#include "scene.h"

// The record's six settings and three links, with the mute as given (the
// record holds none; the amplifiers report it).
GroupState stateOfGroup(const tGroupItem &record, GroupMute mute);
// The six settings and three links of state into the record; its mute is
// not the record's to hold.
void putStateIntoGroup(const GroupState &state, tGroupItem &record);
