#pragma once

// Reads one HTTP/1.x response from bytes as they arrive, without any socket,
// keeping at most a bounded body: the scan only needs to know whether the body
// is exactly one status block long, so a longer one is cut short at
// bodyLimit + 1 bytes and reported at once. Any thread; one reader per reply.

#include <QByteArray>

class HttpReplyReader final
{
public:
    enum class State {
        NeedMore,  // feed more bytes, or call peerClosed()
        Done,      // body() holds the reply's body (2xx status)
        Failed,    // broken reply or a status other than 2xx
    };

    // bodyLimit: the longest body kept whole. A head longer than headerLimit
    // bytes (everything before the CR LF CR LF that ends it), or a chunk size
    // or trailer line longer than that, makes the reply broken, however the
    // bytes arrive.
    explicit HttpReplyReader(qsizetype bodyLimit, qsizetype headerLimit = 16384);

    State feed(QByteArrayView bytes);
    // The peer closed the connection: completes a body that runs until the
    // close, otherwise a reply still incomplete has failed.
    State peerClosed();

    State state() const { return m_state; }
    // Complete when state() is Done; at most bodyLimit + 1 bytes.
    const QByteArray &body() const { return m_body; }

private:
    enum class Framing { Length, Chunked, UntilClose };
    enum class Phase { Head, ChunkSize, ChunkData, ChunkDataEnd, Trailer, Body };

    State parseHead();
    State parseBody();
    State parseChunked();
    State takeBody(qsizetype count);
    State finish() { return m_state = State::Done; }
    State fail() { return m_state = State::Failed; }

    const qsizetype m_bodyLimit;
    const qsizetype m_headerLimit;
    State m_state = State::NeedMore;
    Phase m_phase = Phase::Head;
    Framing m_framing = Framing::UntilClose;
    qint64 m_remaining = 0;  // of the announced length or of the current chunk
    QByteArray m_pending;    // bytes received and not yet consumed
    QByteArray m_body;
};
