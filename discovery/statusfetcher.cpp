#include "statusfetcher.h"

#include "httpreply.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>
#include <limits>

namespace {

// What the socket buffers between two reads; keeps a flooding peer from
// filling memory while the reader discards the excess.
constexpr qint64 kReadBufferBytes = 8192;

int milliseconds(std::chrono::milliseconds duration)
{
    return int(std::clamp<qint64>(duration.count(), 0, std::numeric_limits<int>::max()));
}

}  // namespace

StatusFetcher::StatusFetcher(quint16 port, std::chrono::milliseconds connectTimeout,
                             std::chrono::milliseconds readTimeout)
    : m_port(port), m_connectTimeout(connectTimeout), m_readTimeout(readTimeout)
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

    QTcpSocket socket;
    socket.setReadBufferSize(kReadBufferBytes);
    socket.connectToHost(host, m_port);
    if (!socket.waitForConnected(milliseconds(m_connectTimeout)))
        return {};

    socket.write(request(address, m_port));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(milliseconds(m_readTimeout)))
            return {};
    }

    HttpReplyReader reader(kBodyLimit);
    for (;;) {
        HttpReplyReader::State state = reader.feed(socket.readAll());
        if (state == HttpReplyReader::State::NeedMore
            && !socket.waitForReadyRead(milliseconds(m_readTimeout))) {
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
