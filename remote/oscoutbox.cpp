#include "oscoutbox.h"

#include "oscpacket.h"

#include <algorithm>
#include <cmath>

namespace {

// A wait for tokens shorter than this is not worth a wake-up of its own;
// one longer is cut to the longest, which also follows a clock set by a test.
constexpr qint64 kMinWaitMs = 5;
constexpr qint64 kMaxWaitMs = 100;

// One second's worth, and never less than a packet: any cap lets a packet through.
double burstOf(qint64 bytesPerSecond)
{
    return double(std::max<qint64>(bytesPerSecond, OscPacket::kMaxSentPacketBytes));
}

} // namespace

OscOutbox::Bucket OscOutbox::Bucket::full(qint64 nowMs, qint64 bytesPerSecond)
{
    return {burstOf(bytesPerSecond), nowMs};
}

void OscOutbox::Bucket::refill(qint64 nowMs, qint64 bytesPerSecond)
{
    const qint64 elapsed = std::max<qint64>(0, nowMs - refilledAtMs);
    tokens = std::min(burstOf(bytesPerSecond), tokens + double(elapsed) * double(bytesPerSecond) / 1000.0);
    refilledAtMs = nowMs;
}

OscOutbox::OscOutbox(Send send, std::function<qint64()> clock, QObject *parent)
    : QObject(parent), m_send(std::move(send)), m_clock(std::move(clock))
{
    m_total = Bucket::full(m_clock(), m_totalRate);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &OscOutbox::drain);
}

OscOutbox::~OscOutbox() = default;

void OscOutbox::setCaps(qint64 destinationBytesPerSecond, qint64 totalBytesPerSecond)
{
    m_destinationRate = destinationBytesPerSecond;
    m_totalRate = totalBytesPerSecond;
    m_total = Bucket::full(m_clock(), m_totalRate);
    for (Destination &destination : m_destinations)
        destination.bucket = Bucket::full(m_clock(), m_destinationRate);
}

bool OscOutbox::post(const QHostAddress &address, quint16 port, const Items &items)
{
    if (!items || items->empty())
        return true;
    auto found = std::find_if(m_destinations.begin(), m_destinations.end(), [&](const Destination &d) {
        return d.port == port && d.address.isEqual(address, QHostAddress::StrictConversion);
    });
    if (found == m_destinations.end()) {
        m_destinations.push_back({address, port, {}, 0, {}, Bucket::full(m_clock(), m_destinationRate)});
        found = std::prev(m_destinations.end());
    }
    if (found->queuedItems + items->size() > kMaxQueuedItems) {
        m_droppedItems += items->size();
        return false;
    }
    found->batches.push_back({items, 0});
    found->queuedItems += items->size();
    if (!m_timer.isActive() || m_timer.interval() > 0)
        m_timer.start(0);
    return true;
}

void OscOutbox::keepOnly(const std::function<bool(const QHostAddress &, quint16)> &keep)
{
    std::erase_if(m_destinations, [&](const Destination &d) { return !keep(d.address, d.port); });
    if (m_destinations.empty())
        m_timer.stop();
}

void OscOutbox::clear()
{
    m_destinations.clear();
    m_timer.stop();
}

bool OscOutbox::isIdle() const
{
    return std::all_of(m_destinations.begin(), m_destinations.end(),
                       [](const Destination &d) { return d.batches.empty() && d.ready.isEmpty(); });
}

const QByteArray &OscOutbox::nextPacket(Destination &destination)
{
    while (destination.ready.isEmpty() && !destination.batches.empty()) {
        Batch &batch = destination.batches.front();
        const std::size_t from = batch.next;
        destination.ready = OscPacket::encodeNext(*batch.items, batch.next);
        destination.queuedItems -= batch.next - from;
        if (batch.next >= batch.items->size())
            destination.batches.pop_front();
    }
    return destination.ready;
}

bool OscOutbox::sendSlice(qint64 nowMs, const QElapsedTimer &slice)
{
    m_total.refill(nowMs, m_totalRate);
    for (Destination &destination : m_destinations)
        destination.bucket.refill(nowMs, m_destinationRate);
    // Round robin, a packet per destination per turn, while any can send.
    bool sentAny = true;
    while (sentAny) {
        sentAny = false;
        for (std::size_t i = 0; i < m_destinations.size(); ++i) {
            if (slice.nsecsElapsed() >= kSliceNs)
                return true;
            Destination &destination = m_destinations[(m_turn + i) % m_destinations.size()];
            const QByteArray &packet = nextPacket(destination);
            const auto size = double(packet.size());
            if (packet.isEmpty() || destination.bucket.tokens < size || m_total.tokens < size)
                continue;
            m_send(packet, destination.address, destination.port);
            destination.bucket.tokens -= size;
            m_total.tokens -= size;
            m_bytesSent += quint64(packet.size());
            destination.ready.clear();
            sentAny = true;
        }
        m_turn = m_destinations.empty() ? 0 : (m_turn + 1) % m_destinations.size();
    }
    return false;
}

void OscOutbox::drain()
{
    QElapsedTimer slice;
    slice.start();
    schedule(sendSlice(m_clock(), slice));
}

// Again at once when the slice ran out of time; else when the first waiting
// packet's buckets hold enough.
void OscOutbox::schedule(bool outOfTime)
{
    if (outOfTime) {
        m_timer.start(0);
        return;
    }
    qint64 waitMs = -1;
    for (const Destination &destination : m_destinations) {
        if (destination.ready.isEmpty())
            continue;
        const double size = double(destination.ready.size());
        const double missing = std::max(size - destination.bucket.tokens, size - m_total.tokens);
        const double rate = double(destination.bucket.tokens < m_total.tokens ? m_destinationRate : m_totalRate);
        const auto ms = qint64(std::ceil(std::max(0.0, missing) * 1000.0 / std::max(1.0, rate)));
        waitMs = waitMs < 0 ? ms : std::min(waitMs, ms);
    }
    if (waitMs >= 0)
        m_timer.start(int(std::clamp(waitMs, kMinWaitMs, kMaxWaitMs)));
}
