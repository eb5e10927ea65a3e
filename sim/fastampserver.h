#pragma once

// Simulated amplifiers for benchmarks: the same amps and answers as
// AmpSimulator, without its fault modes and request records, served on
// epoll by a few threads so that the server is never the bottleneck of what
// it measures. Loopback addresses only.

#include "ampsimulator.h"

#include <QList>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

class FastAmpServer final
{
    Q_DISABLE_COPY_MOVE(FastAmpServer)

public:
    FastAmpServer();
    // Ends the server threads and closes every socket.
    ~FastAmpServer();

    // Listens on every amp's address on one port (0: a free one) and starts
    // serving; every answer goes out answerDelay after its request. Returns
    // the port, or 0 on failure. Call once.
    quint16 start(const QList<AmpSimulator::Amp> &amps, quint16 port, std::chrono::milliseconds answerDelay,
                  int threadCount = 2);

private:
    class Loop;
    std::vector<std::unique_ptr<Loop>> m_loops;
    std::vector<std::thread> m_threads;
};
