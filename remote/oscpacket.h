#pragma once

// OSC packets as they cross the wire, read and written with liblo's message
// codec (lo_message_deserialise, lo_message_serialise). Bundles are opened
// here rather than by liblo's server, so that their depth and the messages a
// packet may carry are bounded, and a packet is taken whole or not at all:
// one malformed element drops the packet. Time tags are not honoured; a
// bundle's messages act as they arrive, in order.
//
// Pure functions, any thread.

#include "oscfeedbacktable.h"
#include "oscrequest.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

namespace OscPacket {

inline constexpr qsizetype kMaxPacketBytes = 8192;
inline constexpr int kMaxBundleDepth = 4;     // a bundle in a bundle in ... four deep at most
inline constexpr int kMaxMessages = 64;       // per packet
// Feedback bundles stay below a common Ethernet payload, so that no datagram
// is fragmented on its way.
inline constexpr qsizetype kMaxSentPacketBytes = 1400;

struct Message
{
    QByteArray address;
    // At most OscRequests::kMaxArguments + 1: a message with more is as
    // refused with one more as with a thousand.
    std::vector<OscArgument> arguments;
};

// The messages of a packet in order; none when the packet is malformed or
// exceeds the bounds above.
std::optional<std::vector<Message>> decode(QByteArrayView packet);

// One message with its value ('n': an int and a string), or no argument.
QByteArray encode(const QByteArray &address, const std::optional<OscValue> &value);

// The items as packets of at most kMaxSentPacketBytes: a bundle of several
// messages each, or a lone message where one is all that fits or is left.
std::vector<QByteArray> encodeAll(const std::vector<OscFeedbackItem> &items);

// The next of those packets, from items[next] on; next moves past what it holds.
QByteArray encodeNext(const std::vector<OscFeedbackItem> &items, std::size_t &next);

} // namespace OscPacket
