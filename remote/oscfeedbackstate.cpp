#include "oscfeedbackstate.h"

#include "controllercore.h"
#include "oscnames.h"
#include "panelnumber.h"
#include "statusblock.h"

#include <QHash>
#include <QSet>

#include <cmath>
#include <iterator>

namespace {

namespace Field = StatusField;
namespace R = StatusBlockReader;

constexpr const char *kGroupSuffixes[] = {"/mute",    "/volume/a",  "/volume/b", "/input/a",
                                          "/input/b", "/limiter/a", "/limiter/b", "/safe"};
constexpr std::size_t kSafePath = 7;
constexpr const char *kDeviceSuffixes[] = {"/online", "/severity", "/mute/a", "/mute/b",
                                           "/temp/amp", "/temp/psu", "/mains"};
enum DevicePath { Online, Severity, MuteA, MuteB, TempAmp, TempPsu, Mains };

// The mains as the panel shows it: one decimal, a half rounded away from
// zero. raw * 750 / 1024 is an exact binary fraction, so the rounding sees it
// exactly.
float mainsVolts(const StatusBlock &block)
{
    return float(std::round(R::acInputVoltage(block) * 10.0) / 10.0);
}

// Device address names used by more than one device, in upper case.
QSet<QString> sharedNames(const tDevices &devices)
{
    QHash<QString, int> uses;
    for (int slot = 1; slot <= devices.count(); ++slot)
        ++uses[OscNames::addressName(devices[slot].name).toUpper()];
    QSet<QString> shared;
    for (auto it = uses.cbegin(); it != uses.cend(); ++it) {
        if (it.value() > 1)
            shared.insert(it.key());
    }
    return shared;
}

} // namespace

const OscFeedbackState::Addresses &OscFeedbackState::addressesFor(Addresses &cached, const QString &key,
                                                                  const char *const *suffixes, std::size_t count,
                                                                  const QByteArray &prefix)
{
    if (cached.key == key && cached.paths.size() == count)
        return cached;
    cached.key = key;
    cached.paths.clear();
    const QByteArray base = prefix + key.toLatin1();
    for (std::size_t i = 0; i < count; ++i)
        cached.paths.push_back(base + suffixes[i]);
    return cached;
}

std::vector<OscFeedbackItem> OscFeedbackState::collect(const ControllerCore &core)
{
    std::vector<OscFeedbackItem> items;
    const tGroup &groups = core.groups();
    const tDevices &devices = core.devices();
    items.reserve(std::size(kGroupSuffixes) * std::size_t(groups.count())
                  + std::size(kDeviceSuffixes) * std::size_t(devices.count()) + 2);

    // Mute per group in one walk over the devices: how many report, and
    // whether any of their channels is not muted.
    std::vector<int> reporting(std::size_t(groups.count()) + 1, 0);
    std::vector<bool> unmuted(std::size_t(groups.count()) + 1, false);
    for (int slot = 1; slot <= devices.count(); ++slot) {
        const tDevice &device = devices[slot];
        const auto group = std::size_t(groups.findGroupOfDevice(device.group));
        if (group == 0 || device.linkState() != ThSocket::Online || !core.hasStatusBlock(device.id))
            continue;
        ++reporting[group];
        if (R::flag(device.status, Field::MuteA) != 0 || R::flag(device.status, Field::MuteB) != 0)
            unmuted[group] = true;
    }

    m_groups.resize(std::size_t(groups.count()) + 1);
    for (int slot = 1; slot <= groups.count(); ++slot) {
        const tGroupItem &group = groups[slot];
        const QString name = OscNames::addressName(group.name);
        if (!OscNames::fitsAddress(name))
            continue;
        const Addresses &paths = addressesFor(m_groups[std::size_t(slot)], name, kGroupSuffixes,
                                              std::size(kGroupSuffixes), "/amp/group/");
        const bool muted = reporting[std::size_t(slot)] > 0 && !unmuted[std::size_t(slot)];
        items.push_back({paths.paths[0], OscValue::integer(muted ? 1 : 0)});
        for (int entry = 1; entry <= FaderTable::kCount; ++entry) {
            const double units = FaderTable::labelUnits(entry, FaderTable::storedValue(group, entry));
            items.push_back({paths.paths[std::size_t(entry)], OscValue::real(float(units))});
        }
        items.push_back({paths.paths[kSafePath], OscValue::integer(core.isRecallSafe(group.id) ? 1 : 0)});
    }

    const QSet<QString> shared = sharedNames(devices);
    m_devices.resize(std::size_t(devices.count()) + 1);
    for (int slot = 1; slot <= devices.count(); ++slot) {
        const tDevice &device = devices[slot];
        QString name = OscNames::addressName(device.name);
        if (!OscNames::fitsAddress(name) || shared.contains(name.toUpper()))
            name = device.address;
        if (!OscNames::fitsAddress(name))
            continue;
        const std::vector<QByteArray> &paths = addressesFor(m_devices[std::size_t(slot)], name, kDeviceSuffixes,
                                                            std::size(kDeviceSuffixes), "/amp/device/")
                                                   .paths;
        items.push_back({paths[Online], OscValue::integer(device.linkState() == ThSocket::Online ? 1 : 0)});
        items.push_back({paths[Severity], OscValue::integer(core.health().of(device.id).severity)});
        if (!core.hasStatusBlock(device.id))
            continue;
        const StatusBlock &block = device.status;
        items.push_back({paths[MuteA], OscValue::integer(R::flag(block, Field::MuteA) == 0 ? 1 : 0)});
        items.push_back({paths[MuteB], OscValue::integer(R::flag(block, Field::MuteB) == 0 ? 1 : 0)});
        // A temperature that shows no figure ("---") is left out, not sent as 0.
        const auto width = Field::TemperatureWidth;
        if (const auto celsius = PanelNumber::field(block, Field::SecondTemperature, width))
            items.push_back({paths[TempAmp], OscValue::real(float(*celsius))});
        if (const auto celsius = PanelNumber::field(block, Field::FirstTemperature, width))
            items.push_back({paths[TempPsu], OscValue::real(float(*celsius))});
        items.push_back({paths[Mains], OscValue::real(mainsVolts(block))});
    }

    static const QByteArray kCurrentScene("/amp/scene/current");
    static const QByteArray kSceneModified("/amp/scene/modified");
    const Scene *scene = core.scenes().find(core.currentScene());
    items.push_back({kCurrentScene, scene ? OscValue::numbered(scene->number, scene->name.toUtf8())
                                          : OscValue::numbered(0, {})});
    items.push_back({kSceneModified, OscValue::integer(scene && core.sceneModified() ? 1 : 0)});
    return items;
}
