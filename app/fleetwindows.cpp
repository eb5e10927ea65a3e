#include "fleetwindows.h"

#include "deviceidentityeditor.h"
#include "eventswindow.h"
#include "fadertable.h"
#include "fleetwindow.h"
#include "grouppropertiesbox.h"
#include "mainwindow.h"
#include "projectfileactions.h"
#include "scanwindow.h"

#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>

#include <chrono>

using namespace Qt::StringLiterals;

namespace {

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

QString trimmed(const QString &name)
{
    QString text = name;
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == QChar(0)))
        text.chop(1);
    return text;
}

void showAndRaise(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

FleetWindows::FleetWindows(TForm1 &main, TForm3 *scan)
    : m_main(main),
      m_blocks(main.devices()),
      m_fleet(std::make_unique<FleetWindow>()),
      m_events(std::make_unique<EventsWindow>(m_log))
{
    m_fleetAction = new QAction(u"Fleet"_s, this);
    m_eventsAction = new QAction(eventsText(0), this);
    main.menuBar()->insertAction(main.About2(), m_fleetAction);
    main.menuBar()->insertAction(main.About2(), m_eventsAction);
    connect(m_fleetAction, &QAction::triggered, this, [this] { showAndRaise(*m_fleet); });
    connect(m_eventsAction, &QAction::triggered, this, [this] {
        showAndRaise(*m_events);
        m_log.acknowledge();
    });
    connect(&m_log, &EventLog::unacknowledgedAlarmsChanged, this,
            [this](int count) { m_eventsAction->setText(eventsText(count)); });

    connect(m_fleet.get(), &FleetWindow::deviceActivated, &main, &TForm1::selectDevice);
    connect(&main.Timer1(), &QTimer::timeout, this, &FleetWindows::refresh);
    connectActions(scan);
}

FleetWindows::~FleetWindows() = default;

QString FleetWindows::eventsText(int unacknowledgedAlarms)
{
    return unacknowledgedAlarms > 0 ? u"Events ("_s + QString::number(unacknowledgedAlarms) + u')' : u"Events"_s;
}

void FleetWindows::refresh()
{
    const qint64 now = steadyNowNs();
    m_blocks.prune();
    m_log.append(m_detector.detect(EventDetector::observe(m_main.devices(), m_blocks), now,
                                   QDateTime::currentDateTime()));
    m_fleet->refresh(m_main.devices(), m_blocks, now);
}

void FleetWindows::logAction(const QString &text, const QString &amplifier)
{
    m_log.append({QDateTime::currentDateTime(), EventSeverity::Info, amplifier, text});
}

void FleetWindows::connectActions(TForm3 *scan)
{
    TForm1 &main = m_main;
    GroupPropertiesBox *box = main.groupPropertiesBox();
    connect(box, &GroupPropertiesBox::groupMuteSent, this, [this](const QString &group, bool on) {
        logAction((on ? u"Mute all: group "_s : u"Un-mute all: group "_s) + trimmed(group));
    });
    connect(box, &GroupPropertiesBox::fadersReleased, this, [this, box](const QString &group) {
        const QString names[FaderTable::kCount] = {u"Volume A"_s,      u"Volume B"_s,  u"Input level A"_s,
                                                   u"Input level B"_s, u"Limiter A"_s, u"Limiter B"_s};
        QStringList values;
        for (int entry = 1; entry <= FaderTable::kCount; ++entry)
            values.append(names[entry - 1] + u' ' + box->valueLabel(entry)->text());
        logAction(u"Faders of group "_s + trimmed(group) + u": "_s + values.join(u", "_s));
    });
    connect(&main, &TForm1::groupDeleting, this,
            [this](const QString &group) { logAction(u"Delete Group: "_s + trimmed(group)); });
    connect(&main, &TForm1::deviceDeleting, this, [this](const QString &name, const QString &address) {
        logAction(u"Delete Device"_s, FleetEvents::amplifier(name, address));
    });
    if (auto *editor = main.findChild<DeviceIdentityEditor *>()) {
        const auto amplifier = [this](int slot) {
            return FleetEvents::amplifier(m_main.devices()[slot].name, m_main.devices()[slot].address);
        };
        connect(editor, &DeviceIdentityEditor::nameSent, this, [this, amplifier](int slot, const QString &name) {
            logAction(u"Device name command: "_s + trimmed(name), amplifier(slot));
        });
        connect(editor, &DeviceIdentityEditor::groupSent, this, [this, amplifier](int slot, const QString &group) {
            logAction(u"Device group command: "_s + trimmed(group), amplifier(slot));
        });
    }
    connect(main.projectFile(), &ProjectFileActions::projectOpened, this, [this](const QString &path) {
        logAction(u"Project opened: "_s + QFileInfo(path).fileName());
        m_detector.expectProject(EventDetector::observe(m_main.devices(), m_blocks), steadyNowNs());
    });
    connect(main.projectFile(), &ProjectFileActions::projectSaved, this,
            [this](const QString &path) { logAction(u"Project saved: "_s + QFileInfo(path).fileName()); });
    if (scan) {
        connect(scan, &TForm3::scanFinished, this, [this](const QString &first, const QString &last, int found) {
            logAction(u"Scan from "_s + first + u" to "_s + last + u": "_s + QString::number(found) + u" found"_s);
        });
    }
}
