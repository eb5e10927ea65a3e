#pragma once

// The "Fleet" and "Events" windows joined to the main window: their menu bar
// items (after "Network Stat"), the Fleet window's summary after each of the
// core's refreshes, and "Events (N)" while there are alarms the operator has
// not seen. Main thread only.

#include <QObject>

#include <memory>

class ControllerCore;
class EventsWindow;
class FleetWindow;
class QAction;
class TForm1;

class FleetWindows final : public QObject
{
    Q_OBJECT

public:
    FleetWindows(ControllerCore &core, TForm1 &main);
    ~FleetWindows() override;

    FleetWindow &fleet() const { return *m_fleet; }
    EventsWindow &events() const { return *m_events; }
    QAction *fleetAction() const { return m_fleetAction; }
    QAction *eventsAction() const { return m_eventsAction; }
    static QString eventsText(int unacknowledgedAlarms);  // "Events", "Events (3)"

private:
    std::unique_ptr<FleetWindow> m_fleet;
    std::unique_ptr<EventsWindow> m_events;
    QAction *m_fleetAction = nullptr;
    QAction *m_eventsAction = nullptr;
};
