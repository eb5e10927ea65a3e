#pragma once

// The body of a poll worker's thread: waits for a job, carries out one
// attempt, records its outcome, takes the next job, and again. Internal to
// ThSocket.

#include "deviceconnection.h"

#include <chrono>

class ResponseReader;
class ThSocket;

class PollLoop final
{
public:
    explicit PollLoop(ThSocket &worker);

    // Returns when the worker is told to end: at once for the destructor,
    // after a running attempt for a stop request.
    void run();

private:
    using Clock = DeviceConnection::Clock;
    enum class Ending { Succeeded, Held, Dropped, Aborted };
    // How one request went: its answer was read or failed, the worker is to
    // end, or the connection turned out closed before anything came back.
    enum class Exchanged { Finished, Aborted, MetClosedConnection };

    // False when the worker is to end instead.
    bool waitForJob();
    Ending attempt();
    // False when the worker is to end at once.
    bool exchange(ResponseReader &reader);
    Exchanged sendAndRead(ResponseReader &reader);
    Exchanged readResponse(ResponseReader &reader);
    static int linesUntilLength(const ResponseReader &reader);
    Ending succeed(ResponseReader &reader);
    Ending fail(Clock::time_point began, std::chrono::milliseconds timeout);

    ThSocket &m_worker;
    DeviceConnection m_connection;
    std::chrono::milliseconds m_timeout;
    Clock::time_point m_notBefore;  // the paced start of the attempt after a failure
    Clock::time_point m_sentAt;  // the attempt's request began to be written
};
