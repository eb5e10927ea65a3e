#pragma once

// Between a project and the tables it describes: the device table and the
// group table. Main thread only; the caller rebuilds the device tree.

#include "projectfile.h"

class tDevices;
class tGroup;

// The groups in table order with their descriptions and settings, and the
// devices in slot order with their names, groups and addresses.
Project projectFromTables(const tDevices &devices, const tGroup &groups);

// Replaces what both tables hold by the project: the groups are added first,
// while the old devices are still present; then every old device's worker is
// stopped and the table emptied, and the project's devices are added in file
// order through add-or-update-device, each getting a new worker and "/lock_off".
// Group entries are chosen by name: a group listed twice keeps the description
// and settings listed last, and no other group's entry is written. Settings
// beyond the faders' ranges are brought to the nearest end of them.
void loadProjectIntoTables(const Project &project, tDevices &devices, tGroup &groups);
