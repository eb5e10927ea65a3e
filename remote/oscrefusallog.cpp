#include "oscrefusallog.h"

bool OscRefusalLog::shouldLog(const QHostAddress &sender, qint64 nowMs)
{
    const auto known = m_lastLoggedMs.find(sender);
    if (known != m_lastLoggedMs.end()) {
        if (nowMs - known.value() < kQuietMs)
            return false;
        known.value() = nowMs;
        return true;
    }
    if (m_lastLoggedMs.size() >= kCapacity) {
        m_lastLoggedMs.removeIf([&](const auto &entry) { return nowMs - entry.value() >= kQuietMs; });
        if (m_lastLoggedMs.size() >= kCapacity)
            return false;
    }
    m_lastLoggedMs.insert(sender, nowMs);
    return true;
}
