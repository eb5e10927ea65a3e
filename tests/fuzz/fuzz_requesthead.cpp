// Request heads as any client may send them, and the route of each one read
// whole. A head is never taken from beyond its bound or the bytes given; a
// complete head reads the same from its own bytes alone; whatever route it
// gets is one of the answers the monitor gives, and an "after" it reads is
// the number written in the target.

#include "monitorroute.h"
#include "requesthead.h"

#include <QList>

#include <cstdint>
#include <cstdlib>

namespace {

// A query field "after=" with this number, leading zeros allowed.
bool hasAfterField(QByteArrayView target, quint64 after)
{
    const QByteArray number = QByteArray::number(after);
    const qsizetype question = target.indexOf('?');
    for (QByteArrayView field : target.sliced(question + 1).toByteArray().split('&')) {
        if (!field.startsWith("after="))
            continue;
        field = field.sliced(6);
        while (field.size() > 1 && field.front() == '0')
            field = field.sliced(1);
        if (field == number)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const RequestHead::Head head = RequestHead::parse(bytes);
    using RequestHead::Outcome;

    if (head.outcome == Outcome::Incomplete && bytes.size() >= RequestHead::kMaxBytes)
        std::abort();
    if (head.outcome == Outcome::TooLarge && bytes.size() < RequestHead::kMaxBytes)
        std::abort();
    if (head.outcome != Outcome::Complete)
        return 0;
    if (head.length <= 0 || head.length > bytes.size() || head.length > RequestHead::kMaxBytes)
        std::abort();
    const RequestHead::Head again = RequestHead::parse(bytes.first(head.length));
    if (again.outcome != Outcome::Complete || again.length != head.length || again.target != head.target
        || again.method != head.method || again.keepAlive != head.keepAlive || again.hasBody != head.hasBody)
        std::abort();
    if (!head.target.startsWith('/') || head.method.isEmpty())
        std::abort();

    const MonitorRoute::Route route = MonitorRoute::route(head.method, head.target);
    const bool known = route.status == 200 && route.endpoint != MonitorRoute::Endpoint::None;
    const bool refused = (route.status == 400 || route.status == 404 || route.status == 405)
                         && route.endpoint == MonitorRoute::Endpoint::None;
    if (known == refused)
        std::abort();
    if (route.eventsAfter && !hasAfterField(head.target, *route.eventsAfter))
        std::abort();
    return 0;
}
