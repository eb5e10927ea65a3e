#pragma once

// What the benchmarks read about their own process: CPU time, context
// switches, resident memory, percentiles of samples, and a way to let the
// event loop run.

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <vector>

// User and system CPU seconds of the whole process so far.
inline double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Voluntary and involuntary context switches of the whole process so far.
inline long contextSwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

inline long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

inline double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    const auto at = std::size_t(fraction * double(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(at), values.end());
    return values[at];
}

// Runs the event loop for this many milliseconds.
inline void runEventLoop(int ms)
{
    QTimer::singleShot(ms, [] { QCoreApplication::exit(); });
    QCoreApplication::exec();
}
