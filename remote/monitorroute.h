#pragma once

// Which answer a request's method and target ask for. Paths are compared
// exactly as sent (no decoding: every path the monitor serves is plain
// ASCII). Only the events ask for a query, "after=N" with N a decimal
// number of up to 20 digits below 2^64; other query fields are ignored. Pure
// function, any thread.

#include <QByteArrayView>

#include <optional>

namespace MonitorRoute {

enum class Endpoint { Dashboard, Devices, Groups, Events, Metrics, Health, Scenes, None };

struct Route
{
    int status = 200;  // 200, 400 (a query we cannot read), 404 or 405
    Endpoint endpoint = Endpoint::None;
    bool head = false;                  // HEAD: the answer's header without its body
    std::optional<quint64> eventsAfter; // the events' "after"; none: the latest ones
};

Route route(QByteArrayView method, QByteArrayView target);

} // namespace MonitorRoute
