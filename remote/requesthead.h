#pragma once

// The head of an HTTP/1.x request as the monitor reads it from a
// connection's first bytes: request line and header fields up to the empty
// line, at most kMaxBytes of them. Only what the monitor needs is kept: the
// method, the target, whether the connection stays open and whether a body
// follows (which the monitor refuses: nothing can be sent to it). Lines may
// end in CR LF or a bare LF; empty lines before the request line are
// skipped. Pure function, any thread; bytes from the network, so every
// input is read within its bounds and refused rather than guessed at.

#include <QByteArray>
#include <QByteArrayView>

namespace RequestHead {

inline constexpr qsizetype kMaxBytes = 8 * 1024;
inline constexpr qsizetype kMaxTargetBytes = 2 * 1024;

enum class Outcome {
    Incomplete,  // no empty line yet, and fewer than kMaxBytes bytes
    Complete,
    TooLarge,    // no empty line within kMaxBytes bytes
    TargetTooLong,  // a target over kMaxTargetBytes, or no request line within kMaxBytes
    Malformed,   // not a request line, a header line or a Content-Length we can read
};

struct Head
{
    Outcome outcome = Outcome::Incomplete;
    qsizetype length = 0;  // bytes of the head, its empty line included; Complete only
    QByteArray method;
    QByteArray target;     // origin form: starts with '/'
    bool keepAlive = true; // HTTP/1.1 unless "Connection: close"; HTTP/1.0 only with "keep-alive"
    bool hasBody = false;  // a Content-Length above 0 or any Transfer-Encoding
    bool hasHost = false;
    QByteArray host;       // the Host field's value as sent, port included; a second Host is Malformed
};

Head parse(QByteArrayView bytes);

} // namespace RequestHead
