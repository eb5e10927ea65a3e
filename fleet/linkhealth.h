#pragma once

// The health of one device's link, kept on the main thread from what its
// worker publishes: the median duration of the last 32 successful exchanges
// and the share of attempts that failed over the last 60 seconds.
//
// The worker writes only the last exchange's duration and time; observe()
// takes a sample whenever that time has moved, so the median is of the
// successes seen at the refreshes (at most one per refresh). The loss is
// taken from one snapshot of the request and success counts per second,
// compared modulo 2^32 so that a count wrapping past its top does no harm.
// The request count includes an attempt in progress, which has neither
// failed nor succeeded yet: one attempt is not counted as failed for that.
//
// Times are steady-clock nanoseconds. Main thread only.

#include <QtGlobal>

#include <array>
#include <optional>

class LinkHealth final
{
public:
    static constexpr int kExchangeSamples = 32;
    static constexpr int kLossWindowSeconds = 60;

    struct Reading
    {
        quint32 requests = 0;
        quint32 successes = 0;
        qint64 lastExchangeUs = 0;
        qint64 lastSuccessNs = 0;  // 0: no success yet
    };

    void observe(qint64 nowNs, const Reading &reading);

    std::optional<double> medianExchangeMs() const;
    // Failed attempts per hundred over the window; none before an attempt.
    std::optional<double> lossPercent() const;
    // Since the last success; none before the first.
    std::optional<double> secondsSinceAnswer(qint64 nowNs) const;

private:
    struct Snapshot
    {
        qint64 second = 0;
        quint32 requests = 0;
        quint32 successes = 0;
    };

    std::array<qint64, kExchangeSamples> m_exchangeUs{};
    int m_exchangeCount = 0;
    int m_exchangeNext = 0;
    qint64 m_lastSuccessNs = 0;
    std::optional<double> m_median;

    // One per second, the newest at m_snapshotNext - 1.
    std::array<Snapshot, kLossWindowSeconds + 1> m_snapshots{};
    int m_snapshotCount = 0;
    int m_snapshotNext = 0;
    Reading m_latest;
};
