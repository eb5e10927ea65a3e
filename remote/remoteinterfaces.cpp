#include "remoteinterfaces.h"

#include "controllercore.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

RemoteInterfaces::RemoteInterfaces(ControllerCore &core, QObject *parent)
    : QObject(parent),
      m_core(core),
      m_http(core),
      m_osc(core)
{
    connect(&core, &ControllerCore::remoteSettingsChanged, this, &RemoteInterfaces::apply);
}

bool RemoteInterfaces::apply()
{
    const RemoteSettings &settings = m_core.remoteSettings();
    QString httpError;
    QString oscError;
    const bool http = m_http.listen(QHostAddress(settings.httpListen), settings.httpPort, &httpError,
                                   settings.httpHosts.split(u", "_s, Qt::SkipEmptyParts));
    // No OSC feedback to the monitor's port: the controller sends nothing to itself.
    m_osc.setOtherListeningPorts(http && settings.httpPort != 0 ? std::vector<quint16>{settings.httpPort}
                                                                : std::vector<quint16>{});
    const bool osc = m_osc.listen(QHostAddress(settings.oscListen), settings.oscPort, settings.oscAllow, &oscError);
    if (!http)
        m_core.logNote(EventSeverity::Warning, u"HTTP monitoring is off: "_s + httpError, {});
    if (!osc)
        m_core.logNote(EventSeverity::Warning, u"OSC is off: "_s + oscError, {});
    Q_EMIT applied();
    return http && osc;
}
