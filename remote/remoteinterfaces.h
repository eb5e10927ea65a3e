#pragma once

// The remote interfaces of one core, the HTTP monitor and the OSC server,
// set up as the core's remote settings say: each listens on its address and
// port, or is off. Applied at once whenever the settings change (a project
// was opened, the operator applied others); an interface that cannot listen
// stays off, and the event log says why. Main thread only.

#include "httpmonitor.h"
#include "oscserver.h"

#include <QObject>

class ControllerCore;

class RemoteInterfaces final : public QObject
{
    Q_OBJECT

public:
    explicit RemoteInterfaces(ControllerCore &core, QObject *parent = nullptr);

    const HttpMonitor &http() const { return m_http; }
    const OscServer &osc() const { return m_osc; }

    // Listens as the core's remote settings say; false when an interface
    // that should listen cannot.
    bool apply();

Q_SIGNALS:
    void applied();

private:
    ControllerCore &m_core;
    HttpMonitor m_http;
    OscServer m_osc;
};
