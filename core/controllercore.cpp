#include "controllercore.h"

#include "addorupdatedevice.h"
#include "commands.h"
#include "deletegroup.h"
#include "fadertable.h"
#include "groupcommands.h"
#include "names.h"
#include "oscnames.h"
#include "projectio.h"
#include "projecttables.h"
#include "sceneevents.h"
#include "scenegroupstate.h"
#include "statusblock.h"

#include <QFileInfo>

#include <cmath>

#include <chrono>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kTickSilenceMs = 1000;

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString groupText(const tGroupItem &group)
{
    return withoutTrailingBlanks(group.name);
}

// The address names of a table's records, in slot order.
template<typename Table>
QStringList addressNames(const Table &table)
{
    QStringList names;
    names.reserve(table.count());
    for (int slot = 1; slot <= table.count(); ++slot)
        names.append(OscNames::addressName(table[slot].name));
    return names;
}

} // namespace

ControllerCore::ControllerCore(quint16 devicePort, QObject *parent)
    : QObject(parent),
      m_devices(devicePort),
      m_tickSettings(m_devices, m_groups),
      m_tick(m_devices, m_tickSettings),
      m_blocks(m_devices),
      m_scenes([this] { return liveGroupStates(); },
               [this](const GroupTarget &target, bool withMute) { applySceneTarget(target, withMute); })
{
    connect(&m_scenes, &SceneDirector::changed, this, &ControllerCore::scenesChanged);
    // A device reported another name or group: its group may be new.
    connect(&m_devices, &tDevices::treeRebuildNeeded, this, &ControllerCore::tablesChangedHere);
    connect(&m_devices, &tDevices::queryQueueFull, this, &ControllerCore::queryQueueFull);
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ControllerCore::refresh);
}

// The device table's destructor ends every poll worker at once.
ControllerCore::~ControllerCore() = default;

void ControllerCore::start()
{
    m_tick.start();
    m_refreshTimer.start();
}

bool ControllerCore::tickRunning() const
{
    return m_tickSeen.isValid() && m_tickSeen.elapsed() < kTickSilenceMs;
}

const tDevice *ControllerCore::device(DeviceId id) const
{
    const int slot = m_devices.slotOfDevice(id);
    return slot == 0 ? nullptr : &m_devices[slot];
}

const tGroupItem *ControllerCore::group(GroupId id) const
{
    const int slot = m_groups.slotOfGroup(id);
    return slot == 0 ? nullptr : &m_groups[slot];
}

tGroupItem *ControllerCore::groupRecord(GroupId id)
{
    const int slot = m_groups.slotOfGroup(id);
    return slot == 0 ? nullptr : &m_groups[slot];
}

GroupId ControllerCore::groupNamed(QStringView name) const
{
    if (const int slot = m_groups.findGroup(name))
        return m_groups[slot].id;
    return m_groups.idOfSlot(int(OscNames::uniqueMatch(addressNames(m_groups), name) + 1));
}

DeviceId ControllerCore::deviceNamed(QStringView name) const
{
    int slot = m_devices.findDevice(name);
    if (slot == 0)
        slot = int(OscNames::uniqueMatch(addressNames(m_devices), name) + 1);
    return slot == 0 ? 0 : m_devices[slot].id;
}

QList<DeviceId> ControllerCore::devicesOf(GroupId id) const
{
    QList<DeviceId> members;
    if (const tGroupItem *record = group(id)) {
        for (const int slot : GroupCommands::devicesOf(m_devices, m_groups, record->name))
            members.append(m_devices[slot].id);
    }
    return members;
}

// A mute byte of 0 reads muted, as the device panel shows it.
bool ControllerCore::anyChannelUnmuted(GroupId id) const
{
    for (const DeviceId member : devicesOf(id)) {
        const tDevice &record = *device(member);
        if (record.linkState() != ThSocket::Online || !m_blocks.has(member))
            continue;
        if (StatusBlockReader::flag(record.status, StatusField::MuteA) != 0
            || StatusBlockReader::flag(record.status, StatusField::MuteB) != 0)
            return true;
    }
    return false;
}

bool ControllerCore::limiterWarning(GroupId id) const
{
    const tGroupItem *record = group(id);
    return record && GroupCommands::limiterWarning(m_devices, m_groups, *record);
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

void ControllerCore::tablesChangedHere()
{
    for (int slot = 1; slot <= m_devices.count(); ++slot)
        m_groups.addGroup(m_devices[slot].group);
    Q_EMIT tablesChanged();
}

void ControllerCore::log(const QString &text, const CommandSource &source, const tDevice *device)
{
    FleetEvent event{QDateTime::currentDateTime(), EventSeverity::Info, {}, text};
    if (source.namedInEvents())
        event.text += u" (from "_s + source.text() + u')';
    if (device) {
        event.amplifier = FleetEvents::amplifier(device->name, device->address);
        event.deviceId = device->id;
    }
    event.source = source.text();
    m_log.append(event);
}

void ControllerCore::logNote(EventSeverity severity, const QString &text, const std::optional<CommandSource> &source)
{
    const QString from = source ? u" (from "_s + source->text() + u')' : QString();
    m_log.append({QDateTime::currentDateTime(), severity, {}, text + from, 0, source ? source->text() : QString()});
}

void ControllerCore::setRemoteSettings(const RemoteSettings &settings)
{
    m_remote = settings;
    Q_EMIT remoteSettingsChanged();
}

void ControllerCore::muteGroup(GroupId id, bool on, const CommandSource &source)
{
    const tGroupItem *record = group(id);
    if (!record)
        return;
    GroupCommands::mute(m_devices, m_groups, record->name, on);
    mutedByHand(record->name);
    log((on ? u"Mute all: group "_s : u"Un-mute all: group "_s) + groupText(*record), source);
}

void ControllerCore::toggleGroupMute(GroupId id, const CommandSource &source)
{
    muteGroup(id, anyChannelUnmuted(id), source);
}

void ControllerCore::dragGroupSettings(GroupId id, const GroupSettingValues &values)
{
    tGroupItem *record = groupRecord(id);
    if (!record || FaderTable::valuesOf(*record) == values)
        return;
    FaderTable::store(*record, values);
    Q_EMIT groupChanged(id);
    movedByHand(id);
}

void ControllerCore::sendGroupSettings(GroupId id)
{
    if (const tGroupItem *record = group(id))
        GroupCommands::sendSettings(m_devices, m_groups, record->name);
}

void ControllerCore::groupSettingsSet(GroupId id, const CommandSource &source)
{
    const tGroupItem *record = group(id);
    if (!record)
        return;
    sendGroupSettings(id);
    static const QString names[FaderTable::kCount] = {u"Volume A"_s,      u"Volume B"_s,  u"Input level A"_s,
                                                      u"Input level B"_s, u"Limiter A"_s, u"Limiter B"_s};
    QStringList values;
    for (int entry = 1; entry <= FaderTable::kCount; ++entry)
        values.append(names[entry - 1] + u' ' + FaderTable::labelText(*record, entry));
    log(u"Faders of group "_s + groupText(*record) + u": "_s + values.join(u", "_s), source);
}

void ControllerCore::setGroupSettings(GroupId id, const GroupSettingValues &values, const CommandSource &source)
{
    dragGroupSettings(id, values);
    groupSettingsSet(id, source);
}

void ControllerCore::setGroupSetting(GroupId id, int entry, int value, const CommandSource &source)
{
    tGroupItem *record = groupRecord(id);
    if (!record || entry < 1 || entry > FaderTable::kCount)
        return;
    FaderTable::dragTo(*record, entry, value);
    Q_EMIT groupChanged(id);
    movedByHand(id);
    groupSettingsSet(id, source);
}

void ControllerCore::setGroupSettingInUnits(GroupId id, int entry, double units, const CommandSource &source)
{
    if (entry >= 1 && entry <= FaderTable::kCount && std::isfinite(units))
        setGroupSetting(id, entry, FaderTable::storedValueFromUnits(entry, units), source);
}

void ControllerCore::stepGroupSetting(GroupId id, int entry, qint64 steps, const CommandSource &source)
{
    const tGroupItem *record = group(id);
    if (!record || entry < 1 || entry > FaderTable::kCount)
        return;
    const int now = FaderTable::storedValue(*record, entry);
    setGroupSetting(id, entry, FaderTable::storedValueAfterSteps(entry, now, steps), source);
}

void ControllerCore::setGroupLink(GroupId id, GroupLink link, bool on, const CommandSource &source)
{
    tGroupItem *record = groupRecord(id);
    if (!record)
        return;
    record->link(link) = on ? 1 : 0;
    Q_EMIT groupChanged(id);
    movedByHand(id);
    static const QString pairs[] = {u"Volume"_s, u"Input level"_s, u"Limiter"_s};
    log(pairs[int(link)] + (on ? u" channels locked: group "_s : u" channels free: group "_s) + groupText(*record),
        source);
}

void ControllerCore::setGroupDescription(GroupId id, const QString &text, const CommandSource &source)
{
    tGroupItem *record = groupRecord(id);
    if (!record)
        return;
    record->description = text;
    Q_EMIT groupChanged(id);
    log(u"Description of group "_s + groupText(*record) + u": "_s + text, source);
}

void ControllerCore::fetchStatus(DeviceId id, const CommandSource &source)
{
    const int slot = m_devices.slotOfDevice(id);
    if (slot == 0)
        return;
    Commands::statusFetch(m_devices, slot);
    log(u"Status fetch"_s, source, &m_devices[slot]);
}

void ControllerCore::muteChannel(DeviceId id, int channel, bool on, const CommandSource &source)
{
    const int slot = m_devices.slotOfDevice(id);
    if (slot == 0 || channel < 0 || channel > 1)
        return;
    if (channel == 0)
        Commands::muteA(m_devices, slot, on);
    else
        Commands::muteB(m_devices, slot, on);
    if (const int groupSlot = m_groups.findGroupOfDevice(m_devices[slot].group))
        mutedByHand(m_groups[groupSlot].name);
    log((on ? u"Mute channel "_s : u"Un-mute channel "_s) + (channel == 0 ? u'A' : u'B'), source, &m_devices[slot]);
}

void ControllerCore::setDeviceName(DeviceId id, const QString &name, const CommandSource &source)
{
    const int slot = m_devices.slotOfDevice(id);
    if (slot == 0)
        return;
    Commands::deviceName(m_devices, slot, name);
    log(u"Device name command: "_s + withoutTrailingBlanks(name), source, &m_devices[slot]);
}

void ControllerCore::setDeviceGroup(DeviceId id, const QString &group, const CommandSource &source)
{
    const int slot = m_devices.slotOfDevice(id);
    if (slot == 0)
        return;
    GroupCommands::deviceGroup(m_devices, m_groups, slot, group);
    log(u"Device group command: "_s + withoutTrailingBlanks(group), source, &m_devices[slot]);
}

bool ControllerCore::addGroup(const QString &name, const CommandSource &source)
{
    const tGroup::AddResult result = m_groups.addGroup(name);
    tablesChangedHere();
    if (result == tGroup::AddResult::Added)
        log(u"Add Group: "_s + groupText(m_groups[m_groups.count()]), source);
    return result != tGroup::AddResult::Full;
}

void ControllerCore::deleteGroup(GroupId id, const CommandSource &source)
{
    const tGroupItem *record = group(id);
    if (!record)
        return;
    const QString deleted = record->name;  // the record goes
    log(u"Delete Group: "_s + withoutTrailingBlanks(deleted), source);
    ::deleteGroup(m_devices, m_groups, deleted);
    m_scenes.groupDeleted(deleted);
    tablesChangedHere();
}

void ControllerCore::deleteDevice(DeviceId id, const CommandSource &source)
{
    const int slot = m_devices.slotOfDevice(id);
    if (slot == 0)
        return;
    log(u"Delete Device"_s, source, &m_devices[slot]);
    m_devices.deleteDevice(slot);
    tablesChangedHere();
}

void ControllerCore::scanFinished(const QString &first, const QString &last, int found, const CommandSource &source)
{
    log(u"Scan from "_s + first + u" to "_s + last + u": "_s + QString::number(found) + u" found"_s, source);
}

DeviceId ControllerCore::addOrUpdateDevice(const QString &name, const QString &group, const QString &address)
{
    const int slot = ::addOrUpdateDevice(m_devices, m_groups, name, group, address);
    if (slot == 0)
        return 0;
    tablesChangedHere();
    return m_devices[slot].id;
}

// The file is read and checked whole before the tables are touched: a refused
// file leaves them as they were.
ControllerCore::OpenResult ControllerCore::openProject(const QString &path, const CommandSource &source)
{
    const std::optional<QByteArray> bytes = readProjectFile(path);
    const std::optional<Project> project = bytes ? readProject(*bytes) : std::nullopt;
    if (!project)
        return OpenResult::Invalid;
    loadProjectIntoTables(*project, m_devices, m_groups);
    tablesChangedHere();
    log(u"Project opened: "_s + QFileInfo(path).fileName(), source);
    m_detector.expectProject(EventDetector::observe(m_devices, m_blocks), steadyNowNs());
    QStringList problems;
    m_remote = remoteSettingsOf(project->remote, &problems);
    for (const QString &problem : std::as_const(problems))
        m_log.append({QDateTime::currentDateTime(), EventSeverity::Warning, {}, problem});
    Q_EMIT remoteSettingsChanged();
    loadScenes(*project);
    return project->leftOut ? OpenResult::OpenedPartly : OpenResult::Opened;
}

bool ControllerCore::saveProject(const QString &path, const CommandSource &source)
{
    Project project = projectFromTables(m_devices, m_groups);
    project.remote = projectRemoteOf(m_remote);
    QSet<QString> groupNames;
    for (ProjectGroup &group : project.groups) {
        group.recallSafe = m_scenes.list().isRecallSafe(group.name);
        groupNames.insert(group.name);
    }
    project.scenes = scenesOfGroups(m_scenes.list().scenes(), groupNames);
    if (!saveProjectFile(path, project))
        return false;
    log(u"Project saved: "_s + QFileInfo(path).fileName(), source);
    return true;
}

// --- Scenes -------------------------------------------------------------

// The marks are given the names the group table took the groups by.
void ControllerCore::loadScenes(const Project &project)
{
    QSet<QString> recallSafe;
    for (const ProjectGroup &group : project.groups) {
        const int slot = m_groups.findGroupOfDevice(group.name);
        if (group.recallSafe && slot != 0)
            recallSafe.insert(m_groups[slot].name);
    }
    m_scenes.load(SceneList(project.scenes, recallSafe));
    for (const QString &warning : project.sceneWarnings)
        m_log.append({QDateTime::currentDateTime(), EventSeverity::Warning, {}, warning});
}

// One pass over the devices: a recall asks this for every group at once.
QList<NamedGroupState> ControllerCore::liveGroupStates() const
{
    struct Channels
    {
        int muted = 0;
        int all = 0;
    };
    std::vector<Channels> channels(std::size_t(m_groups.count()) + 1);
    for (int slot = 1; slot <= m_devices.count(); ++slot) {
        const tDevice &record = m_devices[slot];
        const int group = m_groups.findGroupOfDevice(record.group);
        if (group == 0 || record.linkState() != ThSocket::Online || !m_blocks.has(record.id))
            continue;
        Channels &counted = channels[std::size_t(group)];
        counted.all += 2;
        // A mute byte of 0 reads muted, as the device panel shows it.
        counted.muted += int(StatusBlockReader::flag(record.status, StatusField::MuteA) == 0)
                         + int(StatusBlockReader::flag(record.status, StatusField::MuteB) == 0);
    }
    QList<NamedGroupState> live;
    live.reserve(m_groups.count());
    for (int slot = 1; slot <= m_groups.count(); ++slot) {
        const Channels &counted = channels[std::size_t(slot)];
        live.append({m_groups[slot].name, stateOfGroup(m_groups[slot], groupMuteOf(counted.muted, counted.all))});
    }
    return live;
}

// The six values and the links go to the record itself: through a fader's
// path a linked partner would follow.
void ControllerCore::applySceneTarget(const GroupTarget &target, bool withMute)
{
    const int slot = m_groups.findGroup(target.group);
    if (slot == 0)
        return;
    tGroupItem &record = m_groups[slot];
    if (target.sendsSettings()) {
        putStateIntoGroup(target.state, record);
        GroupCommands::sendSettings(m_devices, m_groups, record.name);
        Q_EMIT groupChanged(record.id);
    }
    if (const std::optional<bool> mute = target.muteRequest(); withMute && mute)
        GroupCommands::mute(m_devices, m_groups, record.name, *mute);
}

void ControllerCore::movedByHand(GroupId id)
{
    if (const tGroupItem *record = group(id))
        m_scenes.settingsMoved(record->name, stateOfGroup(*record, GroupMute::Leave));
}

void ControllerCore::mutedByHand(const QString &groupName)
{
    m_scenes.muteCommanded(groupName);
}

bool ControllerCore::isRecallSafe(GroupId id) const
{
    const tGroupItem *record = group(id);
    return record && m_scenes.list().isRecallSafe(record->name);
}

int ControllerCore::sceneNamed(QStringView name) const
{
    const Scene *scene = m_scenes.list().findByName(name);
    return scene ? scene->number : 0;
}

QString ControllerCore::sceneText(int number) const
{
    return SceneEvents::sceneText(number, m_scenes.list().find(number));
}

SceneList::Edit ControllerCore::logSceneEdit(int number, SceneList::Edit result, const QString &done,
                                             const QString &refused, const CommandSource &source)
{
    if (result == SceneList::Edit::Done)
        log(done, source);
    else
        log(SceneEvents::refused(number, refused, result), source);
    return result;
}

SceneList::Edit ControllerCore::storeScene(int number, const QString &name, const CommandSource &source)
{
    const SceneList::Edit result = m_scenes.store(number, name);
    return logSceneEdit(number, result, sceneText(number) + u" stored"_s, u"stored"_s, source);
}

SceneList::Edit ControllerCore::renameScene(int number, const QString &name, const CommandSource &source)
{
    const QString before = sceneText(number);
    const SceneList::Edit result = m_scenes.edit([&](SceneList &list) { return list.rename(number, name); });
    return logSceneEdit(number, result, before + u" renamed "_s + SceneEvents::quoted(number, m_scenes.list()),
                        u"renamed"_s, source);
}

SceneList::Edit ControllerCore::deleteScene(int number, const CommandSource &source)
{
    const QString before = sceneText(number);
    const SceneList::Edit result = m_scenes.edit([number](SceneList &list) { return list.remove(number); });
    return logSceneEdit(number, result, before + u" deleted"_s, u"deleted"_s, source);
}

SceneList::Edit ControllerCore::setSceneScope(int number, const SceneScope &scope, const CommandSource &source)
{
    const SceneList::Edit result = m_scenes.edit([&](SceneList &list) { return list.setScope(number, scope); });
    return logSceneEdit(number, result, sceneText(number) + u" scope: "_s + SceneEvents::scopeText(scope),
                        u"given that scope"_s, source);
}

SceneList::Edit ControllerCore::setSceneFade(int number, int fadeMs, const CommandSource &source)
{
    const SceneList::Edit result = m_scenes.edit([=](SceneList &list) { return list.setFade(number, fadeMs); });
    return logSceneEdit(number, result, sceneText(number) + u" fade: "_s + SceneEvents::secondsText(fadeMs),
                        u"given that fade"_s, source);
}

SceneList::Edit ControllerCore::moveScene(int number, int step, const CommandSource &source)
{
    const SceneList::Edit result = m_scenes.edit([=](SceneList &list) { return list.move(number, step); });
    return logSceneEdit(number, result, sceneText(number) + (step < 0 ? u" moved up"_s : u" moved down"_s),
                        u"moved"_s, source);
}

bool ControllerCore::recallScene(int number, const CommandSource &source)
{
    const QString text = sceneText(number);
    const std::optional<RecallPlan> plan = m_scenes.recall(number);
    if (!plan)
        return false;
    log(text + u" recalled"_s + SceneEvents::missingText(plan->missing), source);
    return true;
}

bool ControllerCore::recallNeighbourScene(int step, const CommandSource &source)
{
    const int number = m_scenes.list().neighbour(m_scenes.current(), step);
    return number != 0 && recallScene(number, source);
}

bool ControllerCore::undoRecall(const CommandSource &source)
{
    const int undone = m_scenes.current();
    const std::optional<RecallPlan> plan = m_scenes.undo();
    if (!plan)
        return false;
    log(SceneEvents::undoText(undone, m_scenes.list().find(undone)) + SceneEvents::missingText(plan->missing),
        source);
    return true;
}

void ControllerCore::setRecallSafe(GroupId id, bool safe, const CommandSource &source)
{
    const tGroupItem *record = group(id);
    if (!record)
        return;
    m_scenes.setRecallSafe(record->name, safe);
    log((safe ? u"Recall safe: group "_s : u"Recall safe off: group "_s) + groupText(*record), source);
}
