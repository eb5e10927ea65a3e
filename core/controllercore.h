#pragma once

// The controller itself, without a window: the device table, the group table,
// the 1 ms polling tick that keeps every device polled and sent its group's
// settings, the 200 ms refresh that samples link health, finds events and
// logs them, and every command an operator can give.
//
// Commands come through this one door, whoever gives them: the windows, the
// service, a remote interface. Each does what the matching control does (the
// same requests in the same order, the same table changes) and logs exactly
// one event naming its source (CommandSource). Outside the core the tables
// are read only: devices are known by DeviceId, groups by GroupId, and names
// become ids here alone (groupNamed, deviceNamed).
//
// The core keeps its rules whichever face runs: every group a device reports
// is in the group table, and settings are clamped to the faders' ranges where
// they enter (a project, a command).
//
// Main thread only, like the tables it owns.

#include "commandsource.h"
#include "devicetable.h"
#include "eventdetector.h"
#include "eventlog.h"
#include "fadertable.h"
#include "fleethealth.h"
#include "groupsettings.h"
#include "grouptable.h"
#include "pollingtick.h"
#include "remotesettings.h"
#include "scenedirector.h"
#include "scenelist.h"
#include "storedblocks.h"

struct Project;

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class ControllerCore final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRefreshIntervalMs = 200;

    enum class OpenResult {
        Opened,
        OpenedPartly,  // the file listed more than the tables take; the rest was left out
        Invalid,       // not a project, or not readable: the tables are as they were
    };

    // devicePort: the amplifiers' HTTP port; tests pass a simulator's port.
    explicit ControllerCore(quint16 devicePort = kDevicePort, QObject *parent = nullptr);
    ~ControllerCore() override;

    // Starts the polling tick and the refresh; until then nothing is polled.
    void start();
    // The tick has run within the last second.
    bool tickRunning() const;

    // --- Read views -----------------------------------------------------
    const tDevices &devices() const { return m_devices; }
    const tGroup &groups() const { return m_groups; }
    // The record of an id; null when it left the table. Valid until the
    // tables next change (tablesChanged).
    const tDevice *device(DeviceId id) const;
    const tGroupItem *group(GroupId id) const;
    // The one place where names become ids. A group: its exact stored name,
    // else its address name in any case ("FOH", "foh" for "FOH  ", "SUB_L"
    // for "SUB L"). A device: its address text, else its name likewise.
    // 0 when none matches, or more than one does.
    GroupId groupNamed(QStringView name) const;
    DeviceId deviceNamed(QStringView name) const;
    // The devices of a group (its members in the tree), in slot order.
    QList<DeviceId> devicesOf(GroupId id) const;
    // Some channel of an online device of the group reports not muted.
    bool anyChannelUnmuted(GroupId id) const;
    // A limiter of the group is above what a T1900 of the group takes.
    bool limiterWarning(GroupId id) const;

    const EventLog &eventLog() const { return m_log; }
    // The operator has seen the log (the Events window opened): its alarms
    // no longer count as new.
    void acknowledgeAlarms() { m_log.acknowledge(); }
    // Every device's health as of the last refresh.
    const FleetHealth &health() const { return m_health; }
    const PollingTick &tick() const { return m_tick; }
    // Stops the 200 ms refresh, for tests and benchmarks that call refresh()
    // themselves.
    void stopRefreshTimer() { m_refreshTimer.stop(); }

    // A status block was stored for the device: its figures are readings.
    bool hasStatusBlock(DeviceId id) const { return m_blocks.has(id); }

    // The 200 ms refresh: link health sampled, events found and logged.
    void refresh();

    // --- Commands -------------------------------------------------------
    // Each logs one event naming its source; an unknown id does nothing.

    // Mute all / Un-mute all of a group.
    void muteGroup(GroupId id, bool on, const CommandSource &source);
    // Mutes the group when anyChannelUnmuted, else un-mutes it.
    void toggleGroupMute(GroupId id, const CommandSource &source);

    // A fader drag moves: the group takes the six values (clamped to the
    // faders' ranges) at once; nothing is sent and nothing is logged, since
    // the drag sends with sendGroupSettings and logs once when it ends.
    void dragGroupSettings(GroupId id, const GroupSettingValues &values);
    // Sends the group's settings to its devices as a fader drag does, without
    // an event.
    void sendGroupSettings(GroupId id);
    // The group's six settings are what they should be (a drag ended): sends
    // them and logs them.
    void groupSettingsSet(GroupId id, const CommandSource &source);
    // All six at once, as a drag to them and its end would do.
    void setGroupSettings(GroupId id, const GroupSettingValues &values, const CommandSource &source);
    // One setting as if its fader were dragged to this value and released:
    // entry 1..6 in FaderTable's order, value in the group's stored units,
    // clamped to the fader's range; a linked partner follows.
    void setGroupSetting(GroupId id, int entry, int value, const CommandSource &source);
    // The same with the value in the unit the operator sees (dB, V).
    void setGroupSettingInUnits(GroupId id, int entry, double units, const CommandSource &source);
    // The same that many fader steps from where it is (down when negative).
    void stepGroupSetting(GroupId id, int entry, qint64 steps, const CommandSource &source);
    // Ties channels A and B of a pair of faders together, or frees them.
    // Nothing is sent: the link acts on the next movement.
    void setGroupLink(GroupId id, GroupLink link, bool on, const CommandSource &source);
    void setGroupDescription(GroupId id, const QString &text, const CommandSource &source);

    // Asks the device for its status at once, as a press on it in the tree does.
    void fetchStatus(DeviceId id, const CommandSource &source);
    // One channel of a device, 0 A, 1 B, as the device panel's pictures do.
    void muteChannel(DeviceId id, int channel, bool on, const CommandSource &source);
    void setDeviceName(DeviceId id, const QString &name, const CommandSource &source);
    void setDeviceGroup(DeviceId id, const QString &group, const CommandSource &source);
    // False when the table is full; logged only when a group was created.
    bool addGroup(const QString &name, const CommandSource &source);
    // Its devices are moved to the group "UNDEF".
    void deleteGroup(GroupId id, const CommandSource &source);
    void deleteDevice(DeviceId id, const CommandSource &source);
    // A scan of first..last found this many amplifiers.
    void scanFinished(const QString &first, const QString &last, int found, const CommandSource &source);
    OpenResult openProject(const QString &path, const CommandSource &source);
    bool saveProject(const QString &path, const CommandSource &source);

    // Devices enter through here (a scan, a project); no event of its own.
    // The device's id, 0 when the table is full.
    DeviceId addOrUpdateDevice(const QString &name, const QString &group, const QString &address);

    // A line about something a remote interface did or refused; no source
    // for the interface itself (it could not listen).
    void logNote(EventSeverity severity, const QString &text, const std::optional<CommandSource> &source);

    // The remote interfaces' set-up: what the last project opened held, or
    // what the operator applied since; the next save writes it.
    const RemoteSettings &remoteSettings() const { return m_remote; }
    void setRemoteSettings(const RemoteSettings &settings);

    // --- Scenes ---------------------------------------------------------
    const SceneList &scenes() const { return m_scenes.list(); }
    // The scene last recalled, 0 when none (or it was deleted).
    int currentScene() const { return m_scenes.current(); }
    // A value the current scene covers changed since its recall.
    bool sceneModified() const { return m_scenes.modified(); }
    bool isRecallSafe(GroupId id) const;
    // Recalls since start, for the metrics.
    quint64 sceneRecalls() const { return m_scenes.recalls(); }
    // 0 when no scene has that name (exact, then case-blind).
    int sceneNamed(QStringView name) const;
    // Runs a recall's fade, one step per timeout; benchmarks and tests may
    // shorten its interval (the steps' values stay those of the 150 ms pace).
    QTimer &sceneFadeTimer() { return m_scenes.fadeTimer(); }

    // Each logs one event with its source and returns what SceneList said
    // (Edit::Done when done). Store: an empty name keeps an existing name,
    // "Scene N" for a new one.
    SceneList::Edit storeScene(int number, const QString &name, const CommandSource &source);
    SceneList::Edit renameScene(int number, const QString &name, const CommandSource &source);
    SceneList::Edit deleteScene(int number, const CommandSource &source);
    SceneList::Edit setSceneScope(int number, const SceneScope &scope, const CommandSource &source);
    SceneList::Edit setSceneFade(int number, int fadeMs, const CommandSource &source);
    // step -1 up, +1 down.
    SceneList::Edit moveScene(int number, int step, const CommandSource &source);
    // False when there is no such scene (logged nothing) / nothing to undo /
    // no neighbour. A recall sends the covered groups' settings and mutes as
    // the faders and mute buttons do.
    bool recallScene(int number, const CommandSource &source);
    // +1 next, -1 previous in the list, from the current one.
    bool recallNeighbourScene(int step, const CommandSource &source);
    bool undoRecall(const CommandSource &source);
    void setRecallSafe(GroupId id, bool safe, const CommandSource &source);

Q_SIGNALS:
    // The list, the current scene, "modified" or a recall-safe mark changed.
    void scenesChanged();
    // After each refresh: health sampled, events found and logged.
    void refreshed();
    // Devices or groups came, went, or took other names or groups: the
    // device tree is built again.
    void tablesChanged();
    // A group's settings, link flags or description changed.
    void groupChanged(GroupId id);
    // "NotEnoughDeviceQuerySpace": a request was dropped.
    void queryQueueFull();
    // Other remote settings are to be applied (a project was opened, the
    // operator applied them).
    void remoteSettingsChanged();

private:
    friend struct CoreTestAccess;  // tests/coretestaccess.h: arranges tables for tests

    tGroupItem *groupRecord(GroupId id);
    // The rule that every device's group is in the group table, then the
    // signal: whenever devices or groups changed, whoever changed them.
    void tablesChangedHere();
    void log(const QString &text, const CommandSource &source, const tDevice *device = nullptr);
    // Scenes: the live groups as a scene holds them, a target put into its
    // group, and the notes that a command other than a recall moved a group.
    QList<NamedGroupState> liveGroupStates() const;
    void applySceneTarget(const GroupTarget &target, bool withMute);
    void movedByHand(GroupId id);
    void mutedByHand(const QString &groupName);
    SceneList::Edit logSceneEdit(int number, SceneList::Edit result, const QString &done, const QString &refused,
                                 const CommandSource &source);
    QString sceneText(int number) const;
    void loadScenes(const Project &project);

    tDevices m_devices;
    tGroup m_groups;
    GroupSettingsOfDevices m_tickSettings;
    PollingTick m_tick;
    StoredBlocks m_blocks;
    FleetHealth m_health;
    EventDetector m_detector;
    EventLog m_log;
    QTimer m_refreshTimer;
    RemoteSettings m_remote;
    SceneDirector m_scenes;
    quint64 m_ticksAtRefresh = 0;
    QElapsedTimer m_tickSeen;  // since a refresh last saw the tick move
};
