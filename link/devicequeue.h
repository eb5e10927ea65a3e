#pragma once

// The query queue of one device as the main thread and the device's poll
// worker share it. The main thread queues requests; whichever of the two
// finds the worker free hands it the head: the main thread when it
// dispatches, the worker itself as soon as a job is over. Every access holds
// the queue's lock, which also guards the worker's idle mark (ThSocket).
//
// A handle: copies refer to the same queue. The device record holds one and
// the worker another, so the queue moves with the record.

#include "queryqueue.h"

#include <atomic>
#include <memory>
#include <mutex>

class DeviceQueue final
{
    struct State
    {
        std::mutex mutex;
        QueryQueue entries;
        std::atomic<quint32> removals{0};  // written under the lock
        // Device group commands queued so far; written by the main thread
        // under the lock, so that the main thread reads it without one.
        quint32 groupCommands = 0;
    };

public:
    // No queue: reads as empty. Records without a device hold this.
    DeviceQueue() = default;
    // A queue of its own, empty.
    static DeviceQueue create();

    // The entries, locked for as long as this lives.
    class Locked final
    {
    public:
        const QueryQueue &entries() const { return m_state.entries; }
        bool put(const QByteArray &path, QByteArrayView argument)
        {
            return m_state.entries.put(path, argument);
        }
        void popHead();
        // A device group command was just queued.
        void countGroupCommand() { ++m_state.groupCommands; }
        quint32 groupCommands() const { return m_state.groupCommands; }
        quint32 removals() const { return m_state.removals.load(std::memory_order_relaxed); }

    private:
        friend class DeviceQueue;
        explicit Locked(State &state);

        State &m_state;
        std::unique_lock<std::mutex> m_lock;
    };
    // Only for a handle that refers to a queue.
    Locked lock() const;

    // Without the lock: how many entries have left the queue so far. While it
    // stays the same, whatever was queued is still there.
    quint32 removals() const;
    // Main thread only, without the lock: device group commands queued so far.
    quint32 groupCommands() const { return m_state ? m_state->groupCommands : 0; }
    // Tells queues apart: the same for every handle of one queue.
    const void *identity() const { return m_state.get(); }

    // Readers' conveniences; each takes the lock.
    bool isEmpty() const { return size() == 0; }
    int size() const;
    QueryEntry at(int index) const;

private:
    std::shared_ptr<State> m_state;
};
