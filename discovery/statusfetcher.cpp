#include "statusfetcher.h"

#include "httpreply.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>
#include <limits>

namespace {

// What the socket buffers between two reads; keeps a flooding peer from
// filling memory while the reader discards the excess.
constexpr qint64 kReadBufferBytes = 8192;

// One wait: its own time-out, cut short by what is left of the address limit.
int waitMs(std::chrono::milliseconds timeout, const QDeadlineTimer &limit)
{
    const qint64 left = limit.isForever() ? timeout.count() : limit.remainingTime();
    return int(std::clamp<qint64>(qMin(timeout.count(), left), 0, std::numeric_limits<int>::max()));
}

}  // namespace

StatusFetcher::StatusFetcher(quint16 port, std::chrono::milliseconds connectTimeout,
                             std::chrono::milliseconds readTimeout,
                             std::chrono::milliseconds addressLimit)
    : m_port(port)
    , m_connectTimeout(connectTimeout)
    , m_readTimeout(readTimeout)
    , m_addressLimit(addressLimit)
{
}

QByteArray StatusFetcher::request(const QString &address, quint16 port)
{
    QByteArray host = address.toLatin1();
    if (port != 80)
        host += ':' + QByteArray::number(port);
    return "GET /krv.krv HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
}

QByteArray StatusFetcher::get(const QString &address)
{
    const QHostAddress host(address);
    if (host.isNull() || host.protocol() != QAbstractSocket::IPv4Protocol)
        return {};

    const QDeadlineTimer limit(m_addressLimit);
    QTcpSocket socket;
    socket.setReadBufferSize(kReadBufferBytes);
    socket.connectToHost(host, m_port);
    if (!socket.waitForConnected(waitMs(m_connectTimeout, limit)))
        return {};

    socket.write(request(address, m_port));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(waitMs(m_readTimeout, limit)))
            return {};
    }

    HttpReplyReader reader(kBodyLimit);
    for (;;) {
        HttpReplyReader::State state = reader.feed(socket.readAll());
        if (state == HttpReplyReader::State::NeedMore && limit.hasExpired())
            return {};  // no whole answer within the address limit
        if (state == HttpReplyReader::State::NeedMore
            && !socket.waitForReadyRead(waitMs(m_readTimeout, limit))) {
            state = reader.feed(socket.readAll());
            if (state == HttpReplyReader::State::NeedMore) {
                if (socket.state() != QAbstractSocket::ConnectedState)
                    state = reader.peerClosed();
                else
                    return {};  // no answer in time
            }
        }
        if (state == HttpReplyReader::State::Done)
            return reader.body();
        if (state == HttpReplyReader::State::Failed)
            return {};
    }
}
