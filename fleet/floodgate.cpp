#include "floodgate.h"

using namespace Qt::StringLiterals;

bool FloodGate::admit(const FleetEvent &event, qint64 nowNs)
{
    const bool burstFull = m_passedCount == kBurst && nowNs - m_passed[std::size_t(m_next)] < kWindowNs;
    if (!m_closed && !burstFull) {
        m_passed[std::size_t(m_next)] = nowNs;
        m_next = (m_next + 1) % kBurst;
        m_passedCount = std::min(m_passedCount + 1, kBurst);
        return true;
    }
    if (!m_closed) {
        m_closed = true;
        m_closedUntilNs = nowNs + kWindowNs;
    }
    if (m_leftOut == 0 || event.severity > m_worst)
        m_worst = event.severity;
    ++m_leftOut;
    m_amplifier = event.amplifier;
    m_deviceId = event.deviceId;
    return false;
}

std::optional<FleetEvent> FloodGate::due(qint64 nowNs, const QString &what, const QDateTime &wallNow)
{
    if (!m_closed || nowNs < m_closedUntilNs)
        return std::nullopt;
    if (m_leftOut == 0) {
        m_closed = false;
        return std::nullopt;
    }
    m_closedUntilNs = nowNs + kWindowNs;
    const int leftOut = std::exchange(m_leftOut, 0);
    return FleetEvent{wallNow, m_worst, m_amplifier,
                      what + u" changed "_s + QString::number(leftOut) + u" times in 10 s"_s, m_deviceId};
}
