#include "oscfeedbacktable.h"

#include <algorithm>
#include <limits>

void OscFeedbackTable::update(const std::vector<OscFeedbackItem> &state)
{
    ++m_generation;
    for (const OscFeedbackItem &item : state) {
        const auto [at, inserted] = m_entries.try_emplace(item.address);
        Entry &entry = at->second;
        entry.generation = m_generation;
        if (!inserted && entry.value == item.value)
            continue;
        entry.value = item.value;
        entry.waiting = true;
    }
    std::erase_if(m_entries, [&](const auto &entry) { return entry.second.generation != m_generation; });
}

std::vector<OscFeedbackItem> OscFeedbackTable::takeDue(qint64 nowMs, qint64 intervalMs)
{
    std::vector<OscFeedbackItem> due;
    for (auto &[address, entry] : m_entries) {
        if (!entry.waiting || (entry.sentAtMs && nowMs - *entry.sentAtMs < intervalMs))
            continue;
        entry.waiting = false;
        entry.sentAtMs = nowMs;
        due.push_back({address, entry.value});
    }
    return due;
}

std::optional<qint64> OscFeedbackTable::nextDueMs(qint64 intervalMs) const
{
    std::optional<qint64> next;
    for (const auto &[address, entry] : m_entries) {
        if (!entry.waiting)
            continue;
        const qint64 due = entry.sentAtMs ? *entry.sentAtMs + intervalMs : std::numeric_limits<qint64>::min();
        next = next ? std::min(*next, due) : due;
    }
    return next;
}

std::vector<OscFeedbackItem> OscFeedbackTable::all() const
{
    std::vector<OscFeedbackItem> items;
    items.reserve(m_entries.size());
    for (const auto &[address, entry] : m_entries)
        items.push_back({address, entry.value});
    return items;
}
