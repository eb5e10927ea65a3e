#include "controllercore.h"

#include "addorupdatedevice.h"
#include "commands.h"
#include "deletegroup.h"
#include "fadertable.h"
#include "groupcommands.h"
#include "names.h"
#include "projectio.h"
#include "projecttables.h"

#include <QFileInfo>

#include <chrono>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kTickSilenceMs = 1000;

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

ControllerCore::ControllerCore(quint16 devicePort, QObject *parent)
    : QObject(parent),
      m_devices(devicePort),
      m_tickSettings(m_devices, m_groups),
      m_tick(m_devices, m_tickSettings),
      m_blocks(m_devices)
{
    connect(&m_devices, &tDevices::treeRebuildNeeded, this, &ControllerCore::tablesChanged);
    connect(&m_devices, &tDevices::queryQueueFull, this, &ControllerCore::queryQueueFull);
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ControllerCore::refresh);
}

// The device table's destructor ends every poll worker at once.
ControllerCore::~ControllerCore() = default;

QString ControllerCore::windowSource()
{
    return u"window"_s;
}

void ControllerCore::start()
{
    m_tick.start();
    m_refreshTimer.start();
}

bool ControllerCore::tickRunning() const
{
    return m_tickSeen.isValid() && m_tickSeen.elapsed() < kTickSilenceMs;
}

void ControllerCore::refresh()
{
    if (m_tick.ticks() != std::exchange(m_ticksAtRefresh, m_tick.ticks()))
        m_tickSeen.start();
    const qint64 now = steadyNowNs();
    m_blocks.prune();
    m_log.append(m_detector.detect(EventDetector::observe(m_devices, m_blocks), now, QDateTime::currentDateTime()));
    m_health.refresh(m_devices, m_blocks, now);
    Q_EMIT refreshed();
}

void ControllerCore::log(const QString &text, const QString &source, const tDevice *device)
{
    FleetEvent event{QDateTime::currentDateTime(), EventSeverity::Info, {}, text};
    if (source != windowSource())
        event.text += u" (from "_s + source + u')';
    if (device) {
        event.amplifier = FleetEvents::amplifier(device->name, device->address);
        event.deviceId = device->id;
    }
    event.source = source;
    m_log.append(event);
}

void ControllerCore::logNote(EventSeverity severity, const QString &text, const QString &source)
{
    const QString from = source.isEmpty() ? QString() : u" (from "_s + source + u')';
    m_log.append({QDateTime::currentDateTime(), severity, {}, text + from, 0, source});
}

void ControllerCore::setRemoteSettings(const RemoteSettings &settings)
{
    m_remote = settings;
    Q_EMIT remoteSettingsChanged();
}

void ControllerCore::muteGroup(int groupSlot, bool on, const QString &source)
{
    if (groupSlot < 1 || groupSlot > m_groups.count())
        return;
    const QString &name = m_groups[groupSlot].name;
    GroupCommands::mute(m_devices, m_groups, name, on);
    log((on ? u"Mute all: group "_s : u"Un-mute all: group "_s) + withoutTrailingBlanks(name), source);
}

void ControllerCore::sendGroupSettings(int groupSlot)
{
    if (groupSlot >= 1 && groupSlot <= m_groups.count())
        GroupCommands::sendSettings(m_devices, m_groups, m_groups[groupSlot].name);
}

void ControllerCore::groupSettingsSet(int groupSlot, const QString &source)
{
    if (groupSlot < 1 || groupSlot > m_groups.count())
        return;
    sendGroupSettings(groupSlot);
    static const QString names[FaderTable::kCount] = {u"Volume A"_s,      u"Volume B"_s,  u"Input level A"_s,
                                                      u"Input level B"_s, u"Limiter A"_s, u"Limiter B"_s};
    const tGroupItem &group = m_groups[groupSlot];
    QStringList values;
    for (int entry = 1; entry <= FaderTable::kCount; ++entry)
        values.append(names[entry - 1] + u' ' + FaderTable::labelText(group, entry));
    log(u"Faders of group "_s + withoutTrailingBlanks(group.name) + u": "_s + values.join(u", "_s), source);
}

void ControllerCore::setGroupSetting(int groupSlot, int entry, int value, const QString &source)
{
    if (groupSlot < 1 || groupSlot > m_groups.count() || entry < 1 || entry > FaderTable::kCount)
        return;
    FaderTable::dragTo(m_groups[groupSlot], entry, value);
    groupSettingsSet(groupSlot, source);
}

void ControllerCore::muteChannel(DeviceId id, int channel, bool on, const QString &source)
{
    const int slot = m_devices.slotOfDevice(id);
    if (slot == 0 || channel < 0 || channel > 1)
        return;
    if (channel == 0)
        Commands::muteA(m_devices, slot, on);
    else
        Commands::muteB(m_devices, slot, on);
    log((on ? u"Mute channel "_s : u"Un-mute channel "_s) + (channel == 0 ? u'A' : u'B'), source, &m_devices[slot]);
}

void ControllerCore::setDeviceName(DeviceId id, const QString &name, const QString &source)
{
    const int slot = m_devices.slotOfDevice(id);
    if (slot == 0)
        return;
    Commands::deviceName(m_devices, slot, name);
    log(u"Device name command: "_s + withoutTrailingBlanks(name), source, &m_devices[slot]);
}

void ControllerCore::setDeviceGroup(DeviceId id, const QString &group, const QString &source)
{
    const int slot = m_devices.slotOfDevice(id);
    if (slot == 0)
        return;
    GroupCommands::deviceGroup(m_devices, m_groups, slot, group);
    log(u"Device group command: "_s + withoutTrailingBlanks(group), source, &m_devices[slot]);
}

bool ControllerCore::addGroup(const QString &name, const QString &source)
{
    const tGroup::AddResult result = m_groups.addGroup(name);
    Q_EMIT tablesChanged();
    if (result == tGroup::AddResult::Added)
        log(u"Add Group: "_s + withoutTrailingBlanks(m_groups[m_groups.count()].name), source);
    return result != tGroup::AddResult::Full;
}

void ControllerCore::deleteGroup(const QString &name, const QString &source)
{
    const QString deleted = name;  // the name may be the removed entry's own
    if (m_groups.findGroup(deleted) != 0)
        log(u"Delete Group: "_s + withoutTrailingBlanks(deleted), source);
    ::deleteGroup(m_devices, m_groups, deleted);
    Q_EMIT tablesChanged();
}

void ControllerCore::deleteDevice(DeviceId id, const QString &source)
{
    const int slot = m_devices.slotOfDevice(id);
    if (slot == 0)
        return;
    log(u"Delete Device"_s, source, &m_devices[slot]);
    m_devices.deleteDevice(slot);
    Q_EMIT tablesChanged();
}

void ControllerCore::scanFinished(const QString &first, const QString &last, int found, const QString &source)
{
    log(u"Scan from "_s + first + u" to "_s + last + u": "_s + QString::number(found) + u" found"_s, source);
}

int ControllerCore::addOrUpdateDevice(const QString &name, const QString &group, const QString &address)
{
    const int slot = ::addOrUpdateDevice(m_devices, m_groups, name, group, address);
    if (slot != 0)
        Q_EMIT tablesChanged();
    return slot;
}

// The file is read and checked whole before the tables are touched: a refused
// file leaves them as they were.
ControllerCore::OpenResult ControllerCore::openProject(const QString &path, const QString &source)
{
    const std::optional<QByteArray> bytes = readProjectFile(path);
    const std::optional<Project> project = bytes ? readProject(*bytes) : std::nullopt;
    if (!project)
        return OpenResult::Invalid;
    loadProjectIntoTables(*project, m_devices, m_groups);
    Q_EMIT tablesChanged();
    log(u"Project opened: "_s + QFileInfo(path).fileName(), source);
    m_detector.expectProject(EventDetector::observe(m_devices, m_blocks), steadyNowNs());
    QStringList problems;
    m_remote = remoteSettingsOf(project->remote, &problems);
    for (const QString &problem : std::as_const(problems))
        m_log.append({QDateTime::currentDateTime(), EventSeverity::Warning, {}, problem});
    Q_EMIT remoteSettingsChanged();
    return project->leftOut ? OpenResult::OpenedPartly : OpenResult::Opened;
}

bool ControllerCore::saveProject(const QString &path, const QString &source)
{
    Project project = projectFromTables(m_devices, m_groups);
    project.remote = projectRemoteOf(m_remote);
    if (!saveProjectFile(path, project))
        return false;
    log(u"Project saved: "_s + QFileInfo(path).fileName(), source);
    return true;
}
