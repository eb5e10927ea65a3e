#pragma once

// Copies what the monitor reports out of the controller core into plain
// values, so that the answers can be formatted on another thread while the
// core goes on. Called on the main thread only, which owns the core; each
// copies no more than its answer needs.

#include "monitorviews.h"

#include <QList>

#include <optional>

class ControllerCore;

namespace CoreViews {

inline constexpr int kMaxEventsPerAnswer = 1000;

QList<MonitorViews::Device> devices(const ControllerCore &core);
QList<MonitorViews::Group> groups(const ControllerCore &core);

// The events with an id above after, oldest first, at most
// kMaxEventsPerAnswer of them; without after the latest ones.
QList<MonitorViews::Event> events(const ControllerCore &core, std::optional<quint64> after);

MonitorViews::Controller controller(const ControllerCore &core);

MonitorViews::Scenes scenes(const ControllerCore &core);

} // namespace CoreViews
