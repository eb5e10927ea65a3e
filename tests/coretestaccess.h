#pragma once

// Write access to the core's tables for tests that arrange what only the
// network would otherwise put there (a device's reported group or model).
// No face has it: the windows, the service and the remotes read views and
// give commands.

#include "controllercore.h"

struct CoreTestAccess
{
    static tDevices &devices(ControllerCore &core) { return core.m_devices; }
    static tGroup &groups(ControllerCore &core) { return core.m_groups; }
};
