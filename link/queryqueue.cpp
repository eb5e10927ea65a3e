#include "queryqueue.h"

#include <algorithm>

bool QueryQueue::put(const QByteArray &path, QByteArrayView argument)
{
    for (int i = 0; i < m_size; ++i) {
        QueryEntry &entry = m_entries[static_cast<std::size_t>(i)];
        // The paths are the command set's constants, so the same bytes are
        // mostly the same storage.
        const bool samePath = entry.path.constData() == path.constData() ? entry.path.size() == path.size()
                                                                          : entry.path == path;
        if (samePath) {
            // The polling tick repeats the same argument every millisecond;
            // leave the stored bytes alone when they already match.
            if (entry.argument != argument)
                entry.argument = argument.toByteArray();
            return true;
        }
    }
    if (m_size == kCapacity)
        return false;
    QueryEntry &entry = m_entries[static_cast<std::size_t>(m_size++)];
    entry.path = path;
    entry.argument = argument.toByteArray();
    return true;
}

void QueryQueue::popHead()
{
    if (m_size == 0)
        return;
    std::move(m_entries.begin() + 1, m_entries.begin() + m_size, m_entries.begin());
    m_entries[static_cast<std::size_t>(--m_size)] = QueryEntry{};
}

void QueryQueue::clear()
{
    for (QueryEntry &entry : m_entries)
        entry = QueryEntry{};
    m_size = 0;
}
