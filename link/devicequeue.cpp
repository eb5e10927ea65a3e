#include "devicequeue.h"

DeviceQueue DeviceQueue::create()
{
    DeviceQueue queue;
    queue.m_state = std::make_shared<State>();
    return queue;
}

DeviceQueue::Locked::Locked(State &state)
    : m_state(state)
    , m_lock(state.mutex)
{
}

DeviceQueue::Locked DeviceQueue::lock() const
{
    Q_ASSERT(m_state);
    return Locked(*m_state);
}

void DeviceQueue::Locked::popHead()
{
    m_state.entries.popHead();
    m_state.removals.fetch_add(1, std::memory_order_release);
}

quint32 DeviceQueue::removals() const
{
    return m_state ? m_state->removals.load(std::memory_order_acquire) : 0;
}

int DeviceQueue::size() const
{
    return m_state ? Locked(*m_state).entries().size() : 0;
}

QueryEntry DeviceQueue::at(int index) const
{
    Locked locked = lock();
    return locked.entries().at(index);
}
