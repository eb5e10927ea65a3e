// The poll worker's response framing fed what a device might send, in pieces
// of every size: the verdict, the announced length and the kept body must be
// the same however the bytes arrive, and the kept body never outgrows a
// status block. The last input byte chooses the piece size.

#include "exchange.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kBlock = 3157;

struct Outcome
{
    ResponseReader::Phase phase;
    int announced;
    qint64 received;
    QByteArray body;
    qsizetype taken;
};

Outcome read(QByteArrayView stream, qsizetype piece)
{
    ResponseReader reader(kBlock);
    qsizetype taken = 0;
    for (qsizetype at = 0; at < stream.size() && !reader.isDone(); at += piece) {
        const QByteArrayView chunk = stream.sliced(at, qMin(piece, stream.size() - at));
        const qsizetype used = reader.feed(chunk);
        if (used < 0 || used > chunk.size())
            std::abort();
        taken += used;
        if (used < chunk.size())
            break;  // the rest belongs to whatever the device sends next
    }
    if (!reader.isDone())
        reader.fail();  // the connection ended
    return {reader.phase(), reader.announcedLength(), reader.bodyBytesReceived(), reader.keptBody(), taken};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView stream(reinterpret_cast<const char *>(data), qsizetype(size - 1));
    const qsizetype piece = qsizetype(data[size - 1]) + 1;

    const Outcome whole = read(stream, qMax<qsizetype>(stream.size(), 1));
    const Outcome split = read(stream, piece);
    if (whole.phase != split.phase || whole.announced != split.announced
        || whole.received != split.received || whole.body != split.body || whole.taken != split.taken)
        std::abort();
    if (whole.body.size() > kBlock)
        std::abort();
    if (whole.phase == ResponseReader::Phase::Succeeded
        && (whole.received != whole.announced || (whole.announced == kBlock && whole.body.size() != kBlock)))
        std::abort();
    return 0;
}
