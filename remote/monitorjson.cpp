#include "monitorjson.h"

#include "blockfigures.h"
#include "names.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace MonitorJson {

namespace {

using namespace MonitorViews;

constexpr int kLimiterFirstEntry = 5;

void putOptional(QJsonObject &object, const QString &key, std::optional<double> value, int decimals)
{
    if (!value)
        return;
    const double scale = decimals == 2 ? 100 : 10;
    object.insert(key, double(qRound64(*value * scale)) / scale);
}

QJsonObject channelObject(const BlockFigures::Channel &channel)
{
    QJsonObject object;
    if (channel.ok)
        object.insert(u"state"_s, *channel.ok ? u"ok"_s : u"fault"_s);
    object.insert(u"muted"_s, channel.muted);
    object.insert(u"output_peak_v"_s, channel.outputPeakVolts);
    object.insert(u"output_average_v"_s, channel.outputAverageVolts);
    object.insert(u"current_a"_s, channel.currentAmperes);
    object.insert(u"power_w"_s, channel.powerWatts);
    if (channel.impedanceOhms)
        object.insert(u"impedance_ohm"_s, *channel.impedanceOhms);
    return object;
}

void putBlock(QJsonObject &object, const FigureBytes &block)
{
    const BlockFigures::Figures figures = BlockFigures::read(block);
    object.insert(u"model"_s, figures.model);
    object.insert(u"serial"_s, figures.serial);
    object.insert(u"channels"_s,
                  QJsonArray{channelObject(figures.channels[0]), channelObject(figures.channels[1])});
    if (figures.ampTemperatureCelsius)
        object.insert(u"amp_temp_c"_s, *figures.ampTemperatureCelsius);
    if (figures.psuTemperatureCelsius)
        object.insert(u"psu_temp_c"_s, *figures.psuTemperatureCelsius);
    object.insert(u"mains_v"_s, figures.mainsVolts);
    if (figures.fanPercent)
        object.insert(u"fan_percent"_s, *figures.fanPercent);
}

QJsonObject deviceObject(const Device &device)
{
    QJsonObject object;
    object.insert(u"id"_s, qint64(device.id));
    object.insert(u"slot"_s, device.slot);
    object.insert(u"name"_s, withoutTrailingBlanks(device.name));
    object.insert(u"group"_s, withoutTrailingBlanks(device.group));
    object.insert(u"address"_s, device.address);
    object.insert(u"link"_s, linkName(device.link));
    putOptional(object, u"last_answer_s"_s, device.secondsSinceAnswer, 1);
    putOptional(object, u"exchange_ms"_s, device.medianExchangeMs, 2);
    putOptional(object, u"loss_percent"_s, device.lossPercent, 1);
    object.insert(u"severity"_s, device.severity);
    if (device.block)
        putBlock(object, *device.block);
    return object;
}

// The six settings and three links under the keys of /api/v1/groups.
void putSettings(QJsonObject &object, const std::array<int, 6> &settings, bool volumeLink, bool inputLevelLink,
                 bool limiterLink)
{
    static const QString kKeys[6] = {u"volume_a"_s, u"volume_b"_s, u"input_level_a"_s,
                                     u"input_level_b"_s, u"limiter_a"_s, u"limiter_b"_s};
    for (int entry = 1; entry <= 6; ++entry) {
        const int raw = settings[std::size_t(entry - 1)];
        const QString &key = kKeys[entry - 1];
        object.insert(key + (entry >= kLimiterFirstEntry ? u"_v"_s : u"_db"_s), settingInLabelUnits(entry, raw));
        object.insert(key + u"_raw"_s, raw);
    }
    object.insert(u"volume_link"_s, volumeLink);
    object.insert(u"input_level_link"_s, inputLevelLink);
    object.insert(u"limiter_link"_s, limiterLink);
}

QJsonObject groupObject(const Group &group)
{
    QJsonObject object;
    object.insert(u"name"_s, withoutTrailingBlanks(group.name));
    object.insert(u"description"_s, group.description);
    putSettings(object, group.settings, group.volumeLink, group.inputLevelLink, group.limiterLink);
    QJsonArray ids;
    for (quint64 id : group.deviceIds)
        ids.append(qint64(id));
    object.insert(u"device_ids"_s, ids);
    return object;
}

// Local time with its offset from UTC, to the millisecond.
QString isoTime(const QDateTime &time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QJsonObject eventObject(const Event &event)
{
    QJsonObject object;
    object.insert(u"id"_s, qint64(event.id));
    object.insert(u"time"_s, isoTime(event.time));
    object.insert(u"severity"_s, severityName(event.severity));
    object.insert(u"device_id"_s, event.deviceId == 0 ? QJsonValue() : QJsonValue(qint64(event.deviceId)));
    object.insert(u"amplifier"_s, event.amplifier);
    object.insert(u"text"_s, event.text);
    object.insert(u"source"_s, event.source);
    return object;
}

QJsonObject sceneGroupObject(const NamedGroupState &held)
{
    const GroupState &state = held.state;
    QJsonObject object;
    object.insert(u"name"_s, withoutTrailingBlanks(held.group));
    putSettings(object, {state.volumeA, state.volumeB, state.inputLevelA, state.inputLevelB, state.limiterA,
                         state.limiterB},
                state.volumeLink, state.inputLevelLink, state.limiterLink);
    if (state.mute != GroupMute::Leave)
        object.insert(u"muted"_s, state.mute == GroupMute::Muted);
    return object;
}

QJsonObject sceneObject(const Scene &scene)
{
    QJsonObject object;
    object.insert(u"number"_s, scene.number);
    object.insert(u"name"_s, scene.name);
    QJsonArray groups;
    if (!scene.scope.allGroups) {
        for (const QString &group : scene.scope.groups)
            groups.append(withoutTrailingBlanks(group));
    }
    QJsonArray values;
    for (const NamedGroupState &held : scene.groups) {
        if (scene.scope.allGroups)
            groups.append(withoutTrailingBlanks(held.group));
        values.append(sceneGroupObject(held));
    }
    object.insert(u"groups"_s, groups);
    object.insert(u"kinds"_s, QJsonArray::fromStringList(sceneKindWords(scene.scope.kinds)));
    object.insert(u"fade_s"_s, scene.fadeMs / 1000.0);
    object.insert(u"values"_s, values);
    return object;
}

template<typename View, typename Convert>
QByteArray arrayOf(const QList<View> &views, Convert convert)
{
    QJsonArray array;
    for (const View &view : views)
        array.append(convert(view));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

} // namespace

double settingInLabelUnits(int entry, int raw)
{
    return entry >= kLimiterFirstEntry ? double(raw) : raw * 0.5 - 95.5;
}

QByteArray devices(const QList<MonitorViews::Device> &devices)
{
    return arrayOf(devices, deviceObject);
}

QByteArray groups(const QList<MonitorViews::Group> &groups)
{
    return arrayOf(groups, groupObject);
}

QByteArray events(const QList<MonitorViews::Event> &events)
{
    return arrayOf(events, eventObject);
}

QByteArray scenes(const MonitorViews::Scenes &scenes)
{
    QJsonObject object;
    object.insert(u"current"_s, scenes.current == 0 ? QJsonValue() : QJsonValue(scenes.current));
    object.insert(u"modified"_s, scenes.modified);
    QJsonArray list;
    for (const Scene &scene : scenes.scenes)
        list.append(sceneObject(scene));
    object.insert(u"scenes"_s, list);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace MonitorJson
