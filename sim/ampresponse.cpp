#include "ampresponse.h"

#include "statusblockbuilder.h"

#include <QDateTime>

namespace {
constexpr qint64 kBlockFreshMs = 100;
constexpr QByteArrayView kStatusTarget = "/krv.krv";
} // namespace

QByteArray targetOf(QByteArrayView requestLine)
{
    if (!requestLine.startsWith("GET "))
        return {};
    const qsizetype end = requestLine.lastIndexOf(" HTTP/");
    if (end < 4)
        return requestLine.sliced(4).toByteArray();
    return requestLine.sliced(4, end - 4).toByteArray();
}

QByteArray framed(QByteArrayView lengthLine, QByteArrayView contentType, QByteArrayView body)
{
    QByteArray response = "HTTP/1.1 200 OK\r\nServer: ampsim\r\nConnection: keep-alive\r\nContent-Type: ";
    response += contentType;
    response += "\r\n";
    response += lengthLine;
    response += "\r\nCache-Control: no-cache\r\n\r\n";
    response += body;
    return response;
}

QByteArray lengthLine(qint64 length)
{
    return "Content-Length: " + QByteArray::number(length);
}

qint64 simulatorNow()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QByteArray currentBlock(SimulatedState &state)
{
    const qint64 at = simulatorNow();
    if (state.blockBuiltAt < 0 || at - state.blockBuiltAt >= kBlockFreshMs || at < state.blockBuiltAt) {
        state.block = buildStatusBlock(simulatedFields(state, at));
        state.blockBuiltAt = at;
    }
    return state.block;
}

QByteArray actOnRequest(SimulatedState &state, QByteArrayView request)
{
    const QByteArray target = targetOf(request.first(qMax<qsizetype>(0, request.indexOf("\r\n"))));
    // The group settings command comes every other request, mostly with the
    // same values: only a change makes the block stale.
    if (applyCommand(state, target))
        state.blockBuiltAt = -1;
    return target;
}

QByteArray normalAnswer(SimulatedState &state, QByteArrayView target)
{
    if (target == kStatusTarget)
        return framed(lengthLine(kSimulatedBlockSize), "application/octet-stream", currentBlock(state));
    return framed(lengthLine(2), "text/html", "OK");
}
