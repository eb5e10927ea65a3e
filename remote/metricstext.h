#pragma once

// The /metrics answer in the Prometheus text exposition format 0.0.4: every
// family with its HELP and TYPE lines and its samples together, base units
// in the names, _total on counters only. Per device the labels name and
// group (trailing blanks removed) and address; label values escaped as the
// format requires (backslash, double quote, line feed). A figure not known
// (no block stored yet, no exchange yet) has no sample. Pure function, any
// thread.

#include "httplistener.h"
#include "monitorviews.h"

#include <QByteArray>
#include <QList>

namespace MetricsText {

inline constexpr char kContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// refusals: the HTTP refusals by reason, as amp_controller_http_refused_total{reason=...}.
QByteArray exposition(const QList<MonitorViews::Device> &devices, const MonitorViews::Controller &controller,
                      const HttpListener::Refusals &refusals = {});

// A label value with \ " and line feeds escaped.
QByteArray escapedLabelValue(const QString &value);

} // namespace MetricsText
