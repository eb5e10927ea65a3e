#include "fleetwindows.h"

#include "controllercore.h"
#include "eventswindow.h"
#include "fleetwindow.h"
#include "mainwindow.h"

#include <QMenuBar>

using namespace Qt::StringLiterals;

namespace {

void showAndRaise(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

FleetWindows::FleetWindows(ControllerCore &core, TForm1 &main)
    : m_fleet(std::make_unique<FleetWindow>(core.health())),
      m_events(std::make_unique<EventsWindow>(core.eventLog()))
{
    m_fleetAction = new QAction(u"Fleet"_s, this);
    m_eventsAction = new QAction(eventsText(core.eventLog().unacknowledgedAlarms()), this);
    main.menuBar()->insertAction(main.About2(), m_fleetAction);
    main.menuBar()->insertAction(main.About2(), m_eventsAction);
    connect(m_fleetAction, &QAction::triggered, this, [this] { showAndRaise(*m_fleet); });
    connect(m_eventsAction, &QAction::triggered, this, [this, &core] {
        showAndRaise(*m_events);
        core.acknowledgeAlarms();
    });
    connect(m_events.get(), &EventsWindow::shown, &core, &ControllerCore::acknowledgeAlarms);
    connect(&core.eventLog(), &EventLog::unacknowledgedAlarmsChanged, this,
            [this](int count) { m_eventsAction->setText(eventsText(count)); });

    connect(m_fleet.get(), &FleetWindow::deviceActivated, &main, &TForm1::selectDevice);
    connect(&core, &ControllerCore::refreshed, m_fleet.get(), &FleetWindow::refresh);
}

FleetWindows::~FleetWindows() = default;

QString FleetWindows::eventsText(int unacknowledgedAlarms)
{
    return unacknowledgedAlarms > 0 ? u"Events ("_s + QString::number(unacknowledgedAlarms) + u')' : u"Events"_s;
}
