// What an OSC sender controls in a message once it is decoded: the address,
// the argument types and values, and the names matched against the tables.
// Input: one byte with the argument count (low three bits), five bytes per
// argument (type tag and a 32-bit value), then the address.
// Whatever parses must be a request the commands can act on as it stands:
// a name of 1..64 bytes, an entry 1..6, a channel 0 or 1, a finite figure.
// A stored name, made into its address form, must match itself in any case.

#include "oscnames.h"
#include "oscrequest.h"

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkRequest(const OscRequest &request)
{
    using Kind = OscRequest::Kind;
    const bool named = request.kind != Kind::Ping && request.kind != Kind::Subscribe;
    check(named == !request.name.isEmpty());
    check(request.name.toUtf8().size() <= OscRequests::kMaxNameBytes);
    if (request.kind == Kind::GroupSetting || request.kind == Kind::GroupSettingStep)
        check(request.entry >= 1 && request.entry <= 6);
    if (request.kind == Kind::GroupSetting)
        check(std::isfinite(request.units));
    if (request.kind == Kind::DeviceMute)
        check(request.channel == 0 || request.channel == 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t count = data[0] & 7U;
    std::size_t at = 1;
    std::vector<OscArgument> arguments;
    for (std::size_t i = 0; i < count && at + 5 <= size; ++i, at += 5) {
        OscArgument argument;
        argument.type = char(data[at]);
        std::memcpy(&argument.i, data + at + 1, 4);
        std::memcpy(&argument.f, data + at + 1, 4);
        arguments.push_back(argument);
    }
    const QByteArray address(reinterpret_cast<const char *>(data + at), qsizetype(size - at));

    if (const std::optional<OscRequest> request = OscRequests::parse(address, arguments))
        checkRequest(*request);

    const QString stored = QString::fromLatin1(address);
    const QString name = OscNames::addressName(stored);
    check(!name.contains(u' ') && name.size() <= stored.size());
    if (OscNames::fitsAddress(name)) {
        check(OscNames::uniqueMatch({name}, name.toLower()) == 0);
        check(OscNames::uniqueMatch({name, name}, name) == -1);
    }
    return 0;
}
