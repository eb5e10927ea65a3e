#pragma once

// Feedback on its way out: a queue per destination, drained in slices on
// the owner's event loop, each slice shorter than kSliceNs, so that a whole
// state for many subscribers never holds up the polling tick beside it.
// The items are encoded a packet at a time as they go (OscPacket).
//
// What goes out is capped twice, as token buckets: per destination
// (kDestinationBytesPerSecond unless set otherwise) and in total
// (kTotalBytesPerSecond); each may burst one second's worth. What waits for
// its bucket stays queued; a destination's queue holds at most
// kMaxQueuedItems items, and a batch beyond that is dropped and counted.
//
// A destination keeps its bucket while it is kept (keepOnly), so that
// feedback coming in many small batches is capped like one big one.
//
// Times are milliseconds on the clock given (a steady clock, or a test's).
// Main thread only (the owner's).

#include "oscfeedbacktable.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class OscOutbox final : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kDestinationBytesPerSecond = 64 * 1024;
    static constexpr qint64 kTotalBytesPerSecond = 1024 * 1024;
    static constexpr qint64 kSliceNs = 500'000;
    static constexpr std::size_t kMaxQueuedItems = 16'384;

    using Items = std::shared_ptr<const std::vector<OscFeedbackItem>>;
    using Send = std::function<void(const QByteArray &packet, const QHostAddress &address, quint16 port)>;

    OscOutbox(Send send, std::function<qint64()> clock, QObject *parent = nullptr);
    ~OscOutbox() override;

    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    void setCaps(qint64 destinationBytesPerSecond, qint64 totalBytesPerSecond);

    // Queues the items for the destination; false when its queue is full
    // and they were dropped.
    bool post(const QHostAddress &address, quint16 port, const Items &items);
    // Drops the queues of destinations for which keep is false.
    void keepOnly(const std::function<bool(const QHostAddress &, quint16)> &keep);
    void clear();

    bool isIdle() const;
    quint64 bytesSent() const { return m_bytesSent; }
    quint64 droppedItems() const { return m_droppedItems; }

private:
    struct Bucket
    {
        double tokens = 0;
        qint64 refilledAtMs = 0;
        static Bucket full(qint64 nowMs, qint64 bytesPerSecond);
        void refill(qint64 nowMs, qint64 bytesPerSecond);
    };
    struct Batch
    {
        Items items;
        std::size_t next = 0;
    };
    struct Destination
    {
        QHostAddress address;
        quint16 port = 0;
        std::deque<Batch> batches;
        std::size_t queuedItems = 0;
        QByteArray ready;  // encoded, waiting for its bucket
        Bucket bucket;
    };

    void drain();
    // The next packet of the destination, encoded; empty when it has none.
    const QByteArray &nextPacket(Destination &destination);
    // Sends what the buckets allow until the slice is over; true when it ran out of time.
    bool sendSlice(qint64 nowMs, const QElapsedTimer &slice);
    void schedule(bool outOfTime);

    Send m_send;
    std::function<qint64()> m_clock;
    qint64 m_destinationRate = kDestinationBytesPerSecond;
    qint64 m_totalRate = kTotalBytesPerSecond;
    Bucket m_total;
    std::vector<Destination> m_destinations;
    std::size_t m_turn = 0;  // round robin: whose packet goes first in the next slice
    QTimer m_timer;
    quint64 m_bytesSent = 0;
    quint64 m_droppedItems = 0;
};
