#pragma once

// The "Fleet" and "Events" windows joined to the rest of the program: their
// menu bar items (after "Network Stat"), the refresh on the main window's
// 200 ms timer, which also looks for events, and the operator's actions
// logged as they happen. Main thread only.

#include "eventdetector.h"
#include "eventlog.h"
#include "storedblocks.h"

#include <QObject>

#include <memory>

class EventsWindow;
class FleetWindow;
class QAction;
class TForm1;
class TForm3;

class FleetWindows final : public QObject
{
    Q_OBJECT

public:
    FleetWindows(TForm1 &main, TForm3 *scan);
    ~FleetWindows() override;

    FleetWindow &fleet() const { return *m_fleet; }
    EventsWindow &events() const { return *m_events; }
    EventLog &log() { return m_log; }
    QAction *fleetAction() const { return m_fleetAction; }
    QAction *eventsAction() const { return m_eventsAction; }
    static QString eventsText(int unacknowledgedAlarms);  // "Events", "Events (3)"

    // What the timer tick does: events first, then the table.
    void refresh();
    // An operator action on the program or a group (no amplifier) or on one.
    void logAction(const QString &text, const QString &amplifier = {});

private:
    void connectActions(TForm3 *scan);

    TForm1 &m_main;
    EventLog m_log;
    EventDetector m_detector;
    StoredBlocks m_blocks;
    std::unique_ptr<FleetWindow> m_fleet;
    std::unique_ptr<EventsWindow> m_events;
    QAction *m_fleetAction = nullptr;
    QAction *m_eventsAction = nullptr;
};
