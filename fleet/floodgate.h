#pragma once

// Keeps one kind of event of one device (its mute of channel A, its link,
// its name...) from flooding the log. Up to five events within 10 s pass;
// the next one closes the gate for 10 s, and the events that come while it
// is closed are only counted. At the end of those 10 s the gate gives one
// line in their place, "channel A mute changed 37 times in 10 s", as severe
// as the worst of them, and stays closed for 10 s more; once 10 s pass
// without an event it opens again.
//
// Times are steady-clock nanoseconds. Main thread only.

#include "fleetevent.h"

#include <array>
#include <optional>

class FloodGate final
{
public:
    static constexpr int kBurst = 5;
    static constexpr qint64 kWindowNs = 10'000'000'000;

    // True when the event is to be logged; false when it was counted.
    bool admit(const FleetEvent &event, qint64 nowNs);

    // The line due at this time, if any; what names the kind of event
    // ("channel A mute").
    std::optional<FleetEvent> due(qint64 nowNs, const QString &what, const QDateTime &wallNow);

private:
    std::array<qint64, kBurst> m_passed{};  // the latest passing times, a ring
    int m_next = 0;  // the oldest of them once the ring is full
    int m_passedCount = 0;  // up to kBurst

    bool m_closed = false;
    qint64 m_closedUntilNs = 0;
    int m_leftOut = 0;  // events counted since the last line
    EventSeverity m_worst = EventSeverity::Info;
    QString m_amplifier;
    quint64 m_deviceId = 0;
};
