#include "queryqueue.h"

#include <algorithm>
#include <cstring>

namespace {

// Into the entry's own storage: the polling tick refills the same entries
// every millisecond, and keeping their buffers spares an allocation each time.
void assignBytes(QByteArray &target, QByteArrayView bytes)
{
    target.resize(bytes.size());
    if (!bytes.isEmpty())
        std::memcpy(target.data(), bytes.data(), std::size_t(bytes.size()));
}

} // namespace

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
                assignBytes(entry.argument, argument);
            return true;
        }
    }
    if (m_size == kCapacity)
        return false;
    QueryEntry &entry = m_entries[static_cast<std::size_t>(m_size++)];
    entry.path = path;
    assignBytes(entry.argument, argument);
    return true;
}

void QueryQueue::popHead()
{
    if (m_size == 0)
        return;
    std::rotate(m_entries.begin(), m_entries.begin() + 1, m_entries.begin() + m_size);
    QueryEntry &freed = m_entries[static_cast<std::size_t>(--m_size)];
    freed.path = QByteArray();
    freed.argument.resize(0);  // keeps its storage for the next request
}

void QueryQueue::clear()
{
    for (QueryEntry &entry : m_entries)
        entry = QueryEntry{};
    m_size = 0;
}
