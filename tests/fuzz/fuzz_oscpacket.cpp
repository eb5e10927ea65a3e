// An OSC packet as a sender might send it, read as the server reads it:
// bundles opened by our walker, each message by liblo's lo_message_deserialise,
// then taken as a request. A packet that decodes stays within the bounds
// (messages per packet, arguments kept, an address beginning with "/"), and
// a lone message that decodes reads the same after liblo writes it again.

#include "oscpacket.h"
#include "oscrequest.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray packet(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto messages = OscPacket::decode(packet);
    if (!messages)
        return 0;
    check(messages->size() <= std::size_t(OscPacket::kMaxMessages));
    for (const OscPacket::Message &message : *messages) {
        check(message.address.startsWith('/'));
        check(message.arguments.size() <= std::size_t(OscRequests::kMaxArguments + 1));
        OscRequests::parse(message.address, message.arguments);
    }
    // A lone message with one int or float argument survives liblo's writer.
    if (messages->size() == 1 && !packet.startsWith('#')) {
        const OscPacket::Message &message = messages->front();
        if (message.arguments.size() == 1 && message.arguments[0].type == 'i') {
            const QByteArray again = OscPacket::encode(message.address, OscValue::integer(message.arguments[0].i));
            const auto reread = OscPacket::decode(again);
            check(reread && reread->size() == 1 && reread->front().address == message.address
                  && reread->front().arguments.at(0).i == message.arguments[0].i);
        }
    }
    return 0;
}
