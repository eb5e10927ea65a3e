#pragma once

// The health of every device of the device table, one DeviceHealth each in
// slot order, brought up to date by refresh() (the core's 200 ms refresh).
//
// Zones and the loss warning hold with hysteresis, as the events do: a
// figure's zone follows FigureZones::track(), and a loss warning, entered
// above 1 %, is left only below 0.5 %. A figure sitting on a boundary thus
// does not move its device's severity at every refresh. A block's readings
// are read again only when its figure bytes changed.
//
// Times are steady-clock nanoseconds. Main thread only.

#include "devicehealth.h"
#include "linkhealth.h"
#include "statusblock.h"

#include <array>
#include <optional>
#include <vector>

class StoredBlocks;
class tDevices;

class FleetHealth final
{
public:
    static constexpr double kLossWarningPercent = 1.0;       // entered above
    static constexpr double kLossWarningLeavePercent = 0.5;  // left below

    struct Summary
    {
        int devices = 0;
        int online = 0;
        int notOnline = 0;
        int withAlarms = 0;  // severity 2 or more
    };

    // Brings every device's health up to date with the table.
    void refresh(const tDevices &devices, const StoredBlocks &blocks, qint64 nowNs);

    // In slot order, as of the last refresh.
    const std::vector<DeviceHealth> &devices() const { return m_devices; }
    // The device with this id; a device not seen by a refresh yet (added
    // since) reads as not online, severity 3.
    const DeviceHealth &of(quint64 deviceId) const;
    Summary summary() const;

    // What a block makes of an online device (0..2); the figures' levels
    // move on from those given (all normal for a first block) and are kept
    // for the next block.
    static int blockSeverity(const StatusBlock &block, FigureLevels &levels);
    // Whether the loss warns, from whether it warned; none warns nothing.
    static bool lossWarning(bool warned, std::optional<double> lossPercent);
    // A device's severity from its link state, its block and its loss.
    static int severity(int linkState, int blockSeverity, bool lossWarning);
    // The readings the panel shows of a block.
    static PanelReadings readingsOf(const StatusBlock &block);

private:
    // The block bytes the readings come from: everything up to the name.
    static constexpr int kFigureBytes = StatusField::Name + StatusField::IdentityWidth;

    // What a device's health is kept from between refreshes.
    struct Tracking
    {
        LinkHealth link;
        int blockSeverity = 0;
        std::array<quint8, kFigureBytes> figures{};
    };

    void update(DeviceHealth &health, Tracking &tracking, const tDevices &devices, int slot, bool hasBlock,
                qint64 nowNs) const;

    std::vector<DeviceHealth> m_devices;
    std::vector<Tracking> m_tracking;  // beside m_devices
};
