#include "coreviews.h"

#include "controllercore.h"
#include "devicetable.h"
#include "eventlog.h"
#include "thsocket.h"

#include <algorithm>

namespace CoreViews {

namespace {

using namespace MonitorViews;

Link linkOf(int linkState)
{
    switch (linkState) {
    case ThSocket::Online:
        return Link::Online;
    case ThSocket::Offline:
        return Link::Offline;
    default:
        break;
    }
    return Link::NoAnswerYet;
}

Severity severityOf(EventSeverity severity)
{
    switch (severity) {
    case EventSeverity::Info:
        return Severity::Info;
    case EventSeverity::Warning:
        return Severity::Warning;
    case EventSeverity::Alarm:
        break;
    }
    return Severity::Alarm;
}

} // namespace

QList<Device> devices(const ControllerCore &core)
{
    const tDevices &table = core.devices();
    QList<Device> views;
    views.reserve(table.count());
    for (int slot = 1; slot <= table.count(); ++slot) {
        const tDevice &record = table[slot];
        const DeviceHealth &health = core.health().of(record.id);
        Device view;
        view.id = record.id;
        view.slot = slot;
        view.name = record.name;
        view.group = record.group;
        view.address = record.address;
        view.link = linkOf(record.linkState());
        view.secondsSinceAnswer = health.secondsSinceAnswer;
        view.medianExchangeMs = health.medianExchangeMs;
        view.lossPercent = health.lossPercent;
        view.severity = health.severity;
        view.pollAttempts = quint64(std::max(0, record.requestCount()));
        view.pollFailures = quint64(std::max(0, record.failureCount()));
        if (core.hasStatusBlock(record.id))
            view.block = figureBytesOf(record.status);
        views.append(std::move(view));
    }
    return views;
}

QList<Group> groups(const ControllerCore &core)
{
    const tGroup &table = core.groups();
    QList<Group> views;
    views.reserve(table.count());
    for (int slot = 1; slot <= table.count(); ++slot) {
        const tGroupItem &item = table[slot];
        Group view;
        view.name = item.name;
        view.description = item.description;
        view.settings = {item.volumeA, item.volumeB, item.inputLevelA, item.inputLevelB, item.limiterA,
                         item.limiterB};
        view.volumeLink = item.volumeLink != 0;
        view.inputLevelLink = item.inputLevelLink != 0;
        view.limiterLink = item.limiterLink != 0;
        view.deviceIds = core.devicesOf(item.id);
        views.append(std::move(view));
    }
    return views;
}

QList<Event> events(const ControllerCore &core, std::optional<quint64> after)
{
    const std::deque<FleetEvent> &log = core.eventLog().events();
    // Ids rise in the log's order, so the first one wanted is found by halving.
    auto first = after ? std::partition_point(log.begin(), log.end(),
                                              [&](const FleetEvent &event) { return event.id <= *after; })
                       : log.end() - std::min<std::ptrdiff_t>(std::ssize(log), kMaxEventsPerAnswer);
    const auto last = first + std::min<std::ptrdiff_t>(log.end() - first, kMaxEventsPerAnswer);
    QList<Event> views;
    views.reserve(last - first);
    for (; first != last; ++first) {
        views.append({first->id, first->time, severityOf(first->severity), first->deviceId, first->amplifier,
                      first->text, first->source});
    }
    return views;
}

Controller controller(const ControllerCore &core)
{
    Controller view;
    view.devices = core.devices().count();
    view.groups = core.groups().count();
    view.tickRunning = core.tickRunning();
    const EventLog &log = core.eventLog();
    view.eventsBySeverity = {log.total(EventSeverity::Info), log.total(EventSeverity::Warning),
                             log.total(EventSeverity::Alarm)};
    view.currentScene = core.currentScene();
    view.sceneRecalls = core.sceneRecalls();
    return view;
}

Scenes scenes(const ControllerCore &core)
{
    Scenes view;
    view.current = core.currentScene();
    view.modified = view.current != 0 && core.sceneModified();
    view.scenes = core.scenes().scenes();
    return view;
}

} // namespace CoreViews
