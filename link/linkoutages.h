#pragma once

// The outages of one device's link, kept by its poll worker, so that an
// outage shorter than the look of whoever watches the fleet still leaves a
// trace. An outage begins with a dropped job (three failed attempts in a
// row) once the device has answered at least once, and ends with its next
// success; the jobs dropped in between belong to the same outage. A device
// that has never answered had no link to lose: the link state shows it.
//
// The worker stores each figure once when an outage begins or ends and
// nothing on an ordinary exchange but a test of its own state. A sequence
// word, odd while the worker writes, lets a reader on another thread take
// the figures as one consistent snapshot without a lock.
//
// Times are steady-clock nanoseconds since its epoch.

#include <QtGlobal>

#include <atomic>
#include <optional>

class LinkOutages final
{
public:
    struct Snapshot
    {
        quint32 count = 0;     // outages begun so far; wraps past 2^32
        qint64 beganNs = 0;    // when the latest began; 0 before the first
        qint64 endedNs = 0;    // when the latest ended; 0 while it lasts
        qint64 offlineNs = 0;  // the summed length of every outage that ended
    };

    // --- worker thread -------------------------------------------------------
    void succeeded(qint64 nowNs)
    {
        if (m_state != State::Up) [[unlikely]]
            cameBack(nowNs);
    }
    void jobDropped(qint64 nowNs);

    // --- any thread ----------------------------------------------------------
    // None when the worker was writing each time this looked (it writes for a
    // few nanoseconds once an outage begins or ends): the caller keeps what
    // it had and looks again later.
    std::optional<Snapshot> read() const;

private:
    enum class State { NeverAnswered, Up, Down };

    void cameBack(qint64 nowNs);
    void publish();

    // Worker thread only.
    State m_state = State::NeverAnswered;
    Snapshot m_written;

    std::atomic<quint32> m_sequence{0};
    std::atomic<quint32> m_count{0};
    std::atomic<qint64> m_beganNs{0};
    std::atomic<qint64> m_endedNs{0};
    std::atomic<qint64> m_offlineNs{0};
};
