#pragma once

// The controller itself, without a window: the device table, the group table,
// the 1 ms polling tick that keeps every device polled and sent its group's
// settings, the 200 ms refresh that samples link health, finds events and
// logs them, and every command an operator can give.
//
// Commands come through this one door, whoever gives them: the windows, a
// remote interface. Each does what the matching control does (the same
// requests in the same order, the same table changes) and logs exactly one
// event naming its source. A source other than the windows is named at the
// end of the event's sentence: "Mute all: group FOH (from OSC 127.0.0.1)".
//
// Main thread only, like the tables it owns.

#include "devicetable.h"
#include "eventdetector.h"
#include "eventlog.h"
#include "fleethealth.h"
#include "groupsettings.h"
#include "grouptable.h"
#include "pollingtick.h"
#include "remotesettings.h"
#include "storedblocks.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

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

    // The source of the windows' commands: their events name no source.
    static QString windowSource();

    // Starts the polling tick and the refresh; until then nothing is polled.
    void start();
    // The tick has run within the last second.
    bool tickRunning() const;

    tDevices &devices() { return m_devices; }
    const tDevices &devices() const { return m_devices; }
    tGroup &groups() { return m_groups; }
    const tGroup &groups() const { return m_groups; }
    EventLog &eventLog() { return m_log; }
    const EventLog &eventLog() const { return m_log; }
    // Every device's health as of the last refresh.
    const FleetHealth &health() const { return m_health; }
    const PollingTick &tick() const { return m_tick; }
    // The refresh's timer, for benchmarks that run the refresh themselves.
    QTimer &refreshTimer() { return m_refreshTimer; }

    // A status block was stored for the device: its figures are readings.
    bool hasStatusBlock(DeviceId id) const { return m_blocks.has(id); }

    // The 200 ms refresh: link health sampled, events found and logged.
    void refresh();

    // --- Commands -------------------------------------------------------
    // Mute all / Un-mute all of a group (slot 1..count).
    void muteGroup(int groupSlot, bool on, const QString &source = windowSource());
    // Sends the group's settings to its devices as a fader drag does, without
    // an event; the drag's end logs them with groupSettingsSet().
    void sendGroupSettings(int groupSlot);
    // The group's six settings are what they should be (a drag ended): sends
    // them and logs them.
    void groupSettingsSet(int groupSlot, const QString &source = windowSource());
    // One setting as if its fader were dragged to this value and released:
    // entry 1..6 in FaderTable's order, value in the group's stored units,
    // clamped to the fader's range; a linked partner follows.
    void setGroupSetting(int groupSlot, int entry, int value, const QString &source = windowSource());
    // One channel of a device, 0 A, 1 B, as the device panel's pictures do.
    void muteChannel(DeviceId id, int channel, bool on, const QString &source = windowSource());
    void setDeviceName(DeviceId id, const QString &name, const QString &source = windowSource());
    void setDeviceGroup(DeviceId id, const QString &group, const QString &source = windowSource());
    // False when the table is full; logged only when a group was created.
    bool addGroup(const QString &name, const QString &source = windowSource());
    void deleteGroup(const QString &name, const QString &source = windowSource());
    void deleteDevice(DeviceId id, const QString &source = windowSource());
    // A scan of first..last found this many amplifiers.
    void scanFinished(const QString &first, const QString &last, int found,
                      const QString &source = windowSource());
    OpenResult openProject(const QString &path, const QString &source = windowSource());
    bool saveProject(const QString &path, const QString &source = windowSource());

    // Devices enter through here (a scan, a project); no event of its own.
    // The device's slot, 0 when the table is full.
    int addOrUpdateDevice(const QString &name, const QString &group, const QString &address);

    // A line about something a remote interface did or refused; source
    // empty for the interface itself (it could not listen).
    void logNote(EventSeverity severity, const QString &text, const QString &source);

    // The remote interfaces' set-up: what the last project opened held, or
    // what the operator applied since; the next save writes it.
    const RemoteSettings &remoteSettings() const { return m_remote; }
    void setRemoteSettings(const RemoteSettings &settings);

Q_SIGNALS:
    // After each refresh: health sampled, events found and logged.
    void refreshed();
    // Devices or groups came, went, or took other names or groups: the
    // device tree is built again.
    void tablesChanged();
    // "NotEnoughDeviceQuerySpace": a request was dropped.
    void queryQueueFull();
    // Other remote settings are to be applied (a project was opened, the
    // operator applied them).
    void remoteSettingsChanged();

private:
    void log(const QString &text, const QString &source, const tDevice *device = nullptr);

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
    quint64 m_ticksAtRefresh = 0;
    QElapsedTimer m_tickSeen;  // since a refresh last saw the tick move
};
