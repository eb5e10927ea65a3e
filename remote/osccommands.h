#pragma once

// Carries out an OSC request on the controller core, through the same core
// commands that the windows' controls call, so that each is logged once with
// its source. Names are resolved by the core; this only translates. Main
// thread only.

#include "oscrequest.h"

class CommandSource;
class ControllerCore;

namespace OscCommands {

// Runs a group, device or scene request; false, with nothing changed, when
// its group, device or scene is unknown (or a store was refused). Ping and
// subscribe are the server's own.
bool run(ControllerCore &core, const OscRequest &request, const CommandSource &source);

} // namespace OscCommands
