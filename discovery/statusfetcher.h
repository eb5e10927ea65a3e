#pragma once

// The scan's HTTP client: a plain blocking GET of "/krv.krv" from one address.
//
// get() blocks the calling thread (the scan runs it on the main thread, which
// processes no events meanwhile): each wait for the connection or for bytes
// has its own time-out, and the whole GET ends after the address limit, so a
// peer that drips its answer cannot hold the scan. A real amplifier answers
// within milliseconds. One object serves every address of a scan; each GET
// uses a socket of its own.

#include "statusblock.h"

#include <QByteArray>
#include <QString>

#include <chrono>

class StatusFetcher final
{
public:
    // Bodies longer than this are never kept whole: the scan only asks
    // whether a body is exactly one status block long.
    static constexpr qsizetype kBodyLimit = kStatusBlockSize;

    explicit StatusFetcher(quint16 port = 80,
                           std::chrono::milliseconds connectTimeout = std::chrono::milliseconds(300),
                           std::chrono::milliseconds readTimeout = std::chrono::milliseconds(300),
                           std::chrono::milliseconds addressLimit = std::chrono::milliseconds(1000));

    // address: a dotted IPv4 text; anything else fails without touching the
    // network (no name lookups). Returns the body of a 2xx reply, or an empty
    // array on any failure: no connection in time, no answer within a read
    // time-out, no whole reply within the address limit, another status, a
    // broken reply. A body longer than kBodyLimit
    // comes back cut to kBodyLimit + 1 bytes, the rest unread.
    QByteArray get(const QString &address);

    static QByteArray request(const QString &address, quint16 port);

private:
    quint16 m_port;
    std::chrono::milliseconds m_connectTimeout;
    std::chrono::milliseconds m_readTimeout;
    std::chrono::milliseconds m_addressLimit;
};
