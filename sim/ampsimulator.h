#pragma once

// Simulated amplifiers for tests and for trying the controller: each one a
// small HTTP server on its own loopback address, all on one port, answering
// in the amplifier's framing and acting on its commands.
//
// The servers run in a thread of their own, so they answer while the caller's
// thread is blocked. Every public function may be called from any thread but
// the simulator's own; amp numbers run from 0 to ampCount() - 1.

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <memory>

class AmpSimulator final
{
    Q_DISABLE_COPY_MOVE(AmpSimulator)

public:
    enum class Fault {
        None,
        Refuse,             // connections are refused (not listening, open ones dropped)
        Stall,              // accept and read, never answer
        ShortBody,          // announce 3157, send 3000 body bytes, then nothing more on that connection
        LineWithoutDigits,  // fifth line "Content-Length: none"
        TextBetweenNumbers, // fifth line "Range: 12 of 20"
        HugeLength,         // announce 2000000000, send hugeBytes() of filler, then nothing more
        CloseAfterAnswer,   // normal answer, then close the connection
        SlowBody,           // the body in pieces of slowChunk bytes, one every slowDelay
        OtherLength,        // every answer has a 100-byte body
        Garbage,            // every answer is garbageBytes() of lines without any digit
        SilentAfterConnect, // accept, then neither read nor answer anything
        UnaskedThenClose,   // normal answer, then an unasked response announcing 7 bytes, then close
        Drip,               // the whole answer one byte at a time, one every dripDelay
    };

    struct Amp
    {
        QString address;   // 127.x.x.x
        QByteArray name;   // up to 5 bytes, padded with spaces
        QByteArray group;  // likewise
    };

    AmpSimulator();
    ~AmpSimulator();

    // Starts listening; port 0 picks a free port, the same for every amp.
    // Returns the port, or 0 on failure. Call once.
    quint16 start(const QList<Amp> &amps, quint16 port = 0);
    quint16 port() const;
    int ampCount() const;

    // Takes effect for the next request or connection. Refuse holds from the
    // moment setFault returns: the amp's listener is closed and its open
    // connections are aborted; any other fault lets it listen again.
    void setFault(int amp, Fault fault);
    void setSlowBody(int amp, int chunkBytes, std::chrono::milliseconds delay);
    void setHugeBytes(int amp, qint64 bytes);  // 4 MiB unless set
    void setDripDelay(int amp, std::chrono::milliseconds delay);  // 1 ms unless set
    // Every answer, whatever the fault, goes out this long after its request
    // arrived (0, the default, answers at once). Answers keep their order.
    void setAnswerDelay(int amp, std::chrono::milliseconds delay);

    // The bytes that answer one request in the Garbage mode.
    static QByteArray garbageBytes();
    // What UnaskedThenClose sends after each answer.
    static QByteArray unaskedBytes();

    // The latest requests received, raw, each up to and including its empty
    // line: at most keptRequests() of them, the older ones are forgotten, so
    // that a simulator polled for hours keeps its memory. A deep copy, taken
    // under the simulator's lock: the caller may keep it while the server
    // thread goes on recording.
    QList<QByteArray> requests(int amp) const;
    // Every request received since the start or the last clearRequests(),
    // the forgotten ones included.
    qsizetype requestCount(int amp) const;
    // Blocks until requestCount() is at least count; false when the time-out
    // came first.
    bool waitForRequests(int amp, qsizetype count, std::chrono::milliseconds timeout) const;
    // The request lines alone, without CR LF.
    QList<QByteArray> requestLines(int amp) const;
    void clearRequests(int amp);
    // How many requests each amp keeps; 0 keeps none. Applies to requests
    // that arrive from now on.
    static constexpr qsizetype kDefaultKeptRequests = 16384;
    qsizetype keptRequests() const;
    void setKeptRequests(qsizetype count);
    int connectionsAccepted(int amp) const;
    // Accepted and not yet closed by either side.
    int openConnections(int amp) const;

    // What the commands change.
    QByteArray name(int amp) const;
    QByteArray group(int amp) const;
    void setIdentity(int amp, const QByteArray &name, const QByteArray &group);
    quint8 muteA(int amp) const;  // 0 muted, 1 not muted
    quint8 muteB(int amp) const;
    // The last 18 digits received. The first three set channel A's volume
    // and the next three channel B's (0 to 191, half a decibel a step, 191 is
    // 0 dB): the simulated output voltages and currents follow them, and a
    // muted channel gives none. Until the first settings arrive the amp
    // plays at 0 dB.
    QByteArray groupSettings(int amp) const;
    bool locked(int amp) const;

    // A block to send as it is, instead of the simulated measurements, for
    // tests that need exact field values; an empty one ends that.
    void setServedBlock(int amp, const QByteArray &block);

    // The 3157-byte status block the amp would send now.
    QByteArray statusBlock(int amp) const;
    // The block the amp put into its last answer to a status request (empty
    // before the first), whether or not the answer went out whole.
    QByteArray lastStatusBlockSent(int amp) const;

private:
    struct Shared;
    std::unique_ptr<Shared> m_shared;
};
