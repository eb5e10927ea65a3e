#pragma once

// What ampcontrold says about its remote interfaces once they are set up,
// as the "Remote" window shows it: a Warning for an interface that listens
// beyond loopback, and an Alarm for one whose port is below 1024 and could
// not be had (under the systemd unit the service has no capability to bind
// such a port). Into the event log, and so onto standard output. Main
// thread only.

class ControllerCore;
class RemoteInterfaces;

namespace RemoteNotes {

void log(ControllerCore &core, const RemoteInterfaces &remote);

} // namespace RemoteNotes
