#pragma once

// Which refused messages make a line in the event log: the first from each
// sender, then at most one per sender per quiet period. The senders kept are
// bounded: when kCapacity senders were logged within the quiet period, a
// further new sender is not logged (its messages are still counted), so a
// flood from forged addresses costs neither memory nor log lines without end.
//
// Times are milliseconds on a steady clock. Main thread only.

#include <QHash>
#include <QHostAddress>

class OscRefusalLog final
{
public:
    static constexpr int kCapacity = 256;
    static constexpr qint64 kQuietMs = 60'000;

    // True when a refused message from this sender arriving now is to be logged.
    bool shouldLog(const QHostAddress &sender, qint64 nowMs);

    qsizetype size() const { return m_lastLoggedMs.size(); }

private:
    QHash<QHostAddress, qint64> m_lastLoggedMs;
};
