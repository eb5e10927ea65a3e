#pragma once

// Carries out an OSC request on the controller core, through the same core
// commands that the windows' controls call, so that each is logged once with
// its source. Main thread only.

#include "oscrequest.h"

#include <QString>

class ControllerCore;

namespace OscCommands {

// The group slot whose address name is the given one (any case); 0 when none
// or more than one.
int groupSlot(const ControllerCore &core, const QString &name);

// The device slot whose address text is the given one, else whose address
// name it is (any case); 0 when none or more than one.
int deviceSlot(const ControllerCore &core, const QString &name);

// True when some channel of an online device of the group reports not muted;
// the mute toggle mutes then.
bool anyChannelUnmuted(const ControllerCore &core, int groupSlot);

// Runs a group or device request; false, with nothing changed, when its
// group or device is unknown. Ping and subscribe are the server's own.
bool run(ControllerCore &core, const OscRequest &request, const QString &source);

} // namespace OscCommands
