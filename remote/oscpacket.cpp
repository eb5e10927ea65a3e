#include "oscpacket.h"

#include <lo/lo.h>

#include <QtEndian>

#include <cstring>
#include <memory>

namespace {

constexpr QByteArrayView kBundleTag{"#bundle\0", 8};
constexpr qsizetype kBundleHeaderBytes = 16;  // tag and time tag
constexpr char kImmediateTimeTag[8] = {0, 0, 0, 0, 0, 0, 0, 1};

struct MessageDeleter
{
    void operator()(lo_message message) const { lo_message_free(message); }
};
using MessagePointer = std::unique_ptr<std::remove_pointer_t<lo_message>, MessageDeleter>;

bool decodeElement(QByteArrayView data, int depth, std::vector<OscPacket::Message> &messages);

bool decodeBundle(QByteArrayView data, int depth, std::vector<OscPacket::Message> &messages)
{
    // depth counts the bundles around this one.
    if (depth >= OscPacket::kMaxBundleDepth || data.size() < kBundleHeaderBytes)
        return false;
    qsizetype at = kBundleHeaderBytes;
    while (at < data.size()) {
        if (data.size() - at < 4)
            return false;
        const qint32 size = qFromBigEndian<qint32>(data.data() + at);
        at += 4;
        if (size <= 0 || size % 4 != 0 || size > data.size() - at)
            return false;
        if (!decodeElement(data.sliced(at, size), depth + 1, messages))
            return false;
        at += size;
    }
    return true;
}

bool decodeMessage(QByteArrayView data, std::vector<OscPacket::Message> &messages)
{
    if (messages.size() >= OscPacket::kMaxMessages || data.isEmpty() || data[0] != '/')
        return false;
    // liblo's reader takes a writable buffer; it gets a copy of its own.
    QByteArray copy = data.toByteArray();
    int result = 0;
    const MessagePointer message(lo_message_deserialise(copy.data(), std::size_t(copy.size()), &result));
    if (!message)
        return false;
    OscPacket::Message decoded;
    // The reader checked that the address is a terminated, padded string.
    decoded.address = QByteArray(copy.constData(), qsizetype(std::strlen(copy.constData())));
    const char *types = lo_message_get_types(message.get());
    lo_arg **values = lo_message_get_argv(message.get());
    const int count = std::min(lo_message_get_argc(message.get()), int(OscRequests::kMaxArguments + 1));
    for (int i = 0; i < count; ++i) {
        OscArgument argument;
        argument.type = types[i];
        // An argument is aligned to four bytes only, lo_arg to eight: its
        // bytes are read as they lie, never through a member of the union.
        const char *raw = reinterpret_cast<const char *>(values[i]);
        if (argument.type == LO_INT32)
            std::memcpy(&argument.i, raw, sizeof argument.i);
        else if (argument.type == LO_FLOAT)
            std::memcpy(&argument.f, raw, sizeof argument.f);
        else if (argument.type == LO_STRING)
            argument.s = QByteArray(raw);  // the reader checked its termination
        decoded.arguments.push_back(argument);
    }
    messages.push_back(std::move(decoded));
    return true;
}

bool decodeElement(QByteArrayView data, int depth, std::vector<OscPacket::Message> &messages)
{
    if (data.startsWith(kBundleTag))
        return decodeBundle(data, depth, messages);
    return decodeMessage(data, messages);
}

QByteArray bundleOf(const std::vector<QByteArray> &messages)
{
    QByteArray bundle;
    bundle.append(kBundleTag);
    bundle.append(kImmediateTimeTag, sizeof kImmediateTimeTag);
    for (const QByteArray &message : messages) {
        char size[4];
        qToBigEndian<qint32>(qint32(message.size()), size);
        bundle.append(size, 4);
        bundle.append(message);
    }
    return bundle;
}

} // namespace

namespace OscPacket {

std::optional<std::vector<Message>> decode(QByteArrayView packet)
{
    if (packet.size() > kMaxPacketBytes || packet.size() % 4 != 0)
        return std::nullopt;
    std::vector<Message> messages;
    if (!decodeElement(packet, 0, messages))
        return std::nullopt;
    return messages;
}

QByteArray encode(const QByteArray &address, const std::optional<OscValue> &value)
{
    const MessagePointer message(lo_message_new());
    if (value && value->type == 'f')
        lo_message_add_float(message.get(), value->f);
    else if (value)
        lo_message_add_int32(message.get(), value->i);
    if (value && value->type == 'n')
        lo_message_add_string(message.get(), value->text.constData());
    std::size_t size = 0;
    std::unique_ptr<void, decltype(&std::free)> bytes(
        lo_message_serialise(message.get(), address.constData(), nullptr, &size), &std::free);
    if (!bytes)
        return {};
    return QByteArray(static_cast<const char *>(bytes.get()), qsizetype(size));
}

QByteArray encodeNext(const std::vector<OscFeedbackItem> &items, std::size_t &next)
{
    std::vector<QByteArray> pending;
    qsizetype pendingBytes = kBundleHeaderBytes;
    for (; next < items.size(); ++next) {
        QByteArray message = encode(items[next].address, items[next].value);
        if (!pending.empty() && pendingBytes + 4 + message.size() > kMaxSentPacketBytes)
            break;
        pendingBytes += 4 + message.size();
        pending.push_back(std::move(message));
    }
    if (pending.size() == 1)
        return pending.front();
    return pending.empty() ? QByteArray() : bundleOf(pending);
}

std::vector<QByteArray> encodeAll(const std::vector<OscFeedbackItem> &items)
{
    std::vector<QByteArray> packets;
    for (std::size_t next = 0; next < items.size();)
        packets.push_back(encodeNext(items, next));
    return packets;
}

} // namespace OscPacket
