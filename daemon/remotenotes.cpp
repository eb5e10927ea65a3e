#include "remotenotes.h"

#include "controllercore.h"
#include "remoteinterfaces.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

namespace RemoteNotes {

namespace {

constexpr quint16 kFirstUnprivilegedPort = 1024;

void noteInterface(ControllerCore &core, const QString &name, quint16 port, const QString &listen,
                   const QString &status, const QString &what)
{
    if (port == 0)
        return;
    const bool listening = status.startsWith(u"Listening"_s);
    if (!listening && port < kFirstUnprivilegedPort) {
        core.logNote(EventSeverity::Alarm,
                     u"%1 port %2 is below 1024: ampcontrold has no capability to bind it (the systemd unit "
                     "grants none); set a port from 1024 up"_s.arg(name).arg(port),
                     {});
    }
    if (listening && !QHostAddress(listen).isLoopback())
        core.logNote(EventSeverity::Warning,
                     u"%1 listens on %2, not loopback: anyone on that network can %3"_s.arg(name, listen, what), {});
}

} // namespace

void log(ControllerCore &core, const RemoteInterfaces &remote)
{
    const RemoteSettings &settings = core.remoteSettings();
    noteInterface(core, u"HTTP monitoring"_s, settings.httpPort, settings.httpListen, remote.http().statusText(),
                  u"read this interface"_s);
    noteInterface(core, u"OSC"_s, settings.oscPort, settings.oscListen, remote.osc().statusText(),
                  u"reach this interface; only allowed senders can change anything"_s);
}

} // namespace RemoteNotes
