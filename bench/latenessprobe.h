#pragma once

// How late a 1 ms precise timer's ticks come on the thread that runs it,
// the thread of the polling tick: what a benchmark's load costs the tick.

#include "benchtiming.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <vector>

class LatenessProbe final
{
public:
    LatenessProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last >= 0)
                m_lateNs.push_back(std::max<qint64>(0, now - m_last - 1'000'000));
            m_last = now;
        });
    }

    // Starts a new sample: what an earlier one kept is gone.
    void start()
    {
        m_lateNs.clear();
        m_last = -1;
        m_clock.start();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }

    TimingFigures figures() const { return timingFigures(m_lateNs); }
    double worstUs() const
    {
        return m_lateNs.empty() ? 0 : double(*std::max_element(m_lateNs.begin(), m_lateNs.end())) / 1000.0;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    std::vector<qint64> m_lateNs;
};
