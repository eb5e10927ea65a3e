#include "linkhealth.h"

#include <algorithm>

namespace {
constexpr qint64 kNsPerSecond = 1'000'000'000;
}

void LinkHealth::observe(qint64 nowNs, const Reading &reading)
{
    m_latest = reading;
    if (reading.lastSuccessNs != 0 && reading.lastSuccessNs != m_lastSuccessNs) {
        m_lastSuccessNs = reading.lastSuccessNs;
        m_exchangeUs[std::size_t(m_exchangeNext)] = reading.lastExchangeUs;
        m_exchangeNext = (m_exchangeNext + 1) % kExchangeSamples;
        m_exchangeCount = std::min(m_exchangeCount + 1, kExchangeSamples);

        std::array<qint64, kExchangeSamples> samples = m_exchangeUs;
        const auto end = samples.begin() + m_exchangeCount;
        const auto upper = samples.begin() + m_exchangeCount / 2;
        std::nth_element(samples.begin(), upper, end);
        // With an even count the lower middle is the largest below the upper.
        const double middle = m_exchangeCount % 2 == 1
                                  ? double(*upper)
                                  : double(*std::max_element(samples.begin(), upper) + *upper) / 2.0;
        m_median = middle / 1000.0;
    }

    const qint64 second = nowNs / kNsPerSecond;
    const int newest = (m_snapshotNext + int(m_snapshots.size()) - 1) % int(m_snapshots.size());
    if (m_snapshotCount == 0 || m_snapshots[std::size_t(newest)].second != second) {
        m_snapshots[std::size_t(m_snapshotNext)] = {second, reading.requests, reading.successes};
        m_snapshotNext = (m_snapshotNext + 1) % int(m_snapshots.size());
        m_snapshotCount = std::min(m_snapshotCount + 1, int(m_snapshots.size()));
    }
}

std::optional<double> LinkHealth::medianExchangeMs() const
{
    return m_median;
}

// Against the oldest snapshot kept, at most 60 seconds old.
std::optional<double> LinkHealth::lossPercent() const
{
    if (m_snapshotCount == 0)
        return std::nullopt;
    const int size = int(m_snapshots.size());
    const Snapshot &oldest = m_snapshots[std::size_t((m_snapshotNext - m_snapshotCount + size) % size)];
    const quint32 attempts = m_latest.requests - oldest.requests;
    const quint32 successes = m_latest.successes - oldest.successes;
    if (attempts == 0)
        return std::nullopt;
    // One attempt may be in progress.
    const quint32 failed = attempts > successes + 1 ? attempts - successes - 1 : 0;
    return 100.0 * double(failed) / double(attempts);
}

std::optional<double> LinkHealth::secondsSinceAnswer(qint64 nowNs) const
{
    if (m_latest.lastSuccessNs == 0)
        return std::nullopt;
    return double(std::max<qint64>(0, nowNs - m_latest.lastSuccessNs)) / double(kNsPerSecond);
}
