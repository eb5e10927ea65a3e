// The scan's reply reader fed what any web server on the range might send, in
// pieces of every size, with or without a close after it: the state and the
// body must not depend on how the bytes arrive, and the body stays within
// one byte past a status block. The last input byte chooses the piece size
// and whether the peer closes.

#include "httpreply.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr qsizetype kBlock = 3157;

HttpReplyReader read(QByteArrayView stream, qsizetype piece, bool closed)
{
    HttpReplyReader reader(kBlock);
    for (qsizetype at = 0; at < stream.size(); at += piece)
        reader.feed(stream.sliced(at, qMin(piece, stream.size() - at)));
    if (closed)
        reader.peerClosed();
    return reader;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView stream(reinterpret_cast<const char *>(data), qsizetype(size - 1));
    const qsizetype piece = qsizetype(data[size - 1] & 0x7F) + 1;
    const bool closed = (data[size - 1] & 0x80) != 0;

    const HttpReplyReader whole = read(stream, qMax<qsizetype>(stream.size(), 1), closed);
    const HttpReplyReader split = read(stream, piece, closed);
    if (whole.state() != split.state())
        std::abort();
    if (whole.state() == HttpReplyReader::State::Done && whole.body() != split.body())
        std::abort();
    if (whole.body().size() > kBlock + 1)
        std::abort();
    return 0;
}
