#include "monitorroute.h"

#include <limits>

namespace MonitorRoute {

namespace {

constexpr int kMaxNumberDigits = 20;

Endpoint endpointOf(QByteArrayView path)
{
    struct Entry
    {
        const char *path;
        Endpoint endpoint;
    };
    static constexpr Entry kEntries[] = {
        {"/", Endpoint::Dashboard},        {"/api/v1/devices", Endpoint::Devices},
        {"/api/v1/groups", Endpoint::Groups}, {"/api/v1/events", Endpoint::Events},
        {"/metrics", Endpoint::Metrics},   {"/healthz", Endpoint::Health},
        {"/api/v1/scenes", Endpoint::Scenes},
    };
    for (const Entry &entry : kEntries) {
        if (path == QByteArrayView(entry.path))
            return entry.endpoint;
    }
    return Endpoint::None;
}

std::optional<quint64> decimal(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > kMaxNumberDigits)
        return std::nullopt;
    quint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const auto digit = quint64(c - '0');
        if (value > (std::numeric_limits<quint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// False when "after" is there but no number, or there twice.
bool readEventsQuery(QByteArrayView query, Route &route)
{
    bool seen = false;
    while (!query.isEmpty()) {
        const qsizetype amp = query.indexOf('&');
        const QByteArrayView field = amp < 0 ? query : query.first(amp);
        query = amp < 0 ? QByteArrayView() : query.sliced(amp + 1);
        if (!field.startsWith("after="))
            continue;
        const std::optional<quint64> after = decimal(field.sliced(6));
        if (!after || seen)
            return false;
        seen = true;
        route.eventsAfter = after;
    }
    return true;
}

} // namespace

Route route(QByteArrayView method, QByteArrayView target)
{
    Route route;
    route.head = method == "HEAD";
    if (method != "GET" && !route.head) {
        route.status = 405;
        return route;
    }
    const qsizetype question = target.indexOf('?');
    const QByteArrayView path = question < 0 ? target : target.first(question);
    route.endpoint = endpointOf(path);
    if (route.endpoint == Endpoint::None) {
        route.status = 404;
        return route;
    }
    if (route.endpoint == Endpoint::Events && question >= 0 && !readEventsQuery(target.sliced(question + 1), route)) {
        route.endpoint = Endpoint::None;
        route.eventsAfter.reset();
        route.status = 400;
    }
    return route;
}

} // namespace MonitorRoute
