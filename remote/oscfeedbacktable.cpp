#include "oscfeedbacktable.h"

#include <QHash>

#include <algorithm>
#include <limits>

bool OscFeedbackTable::sameAddresses(const std::vector<OscFeedbackItem> &state) const
{
    if (state.size() != m_entries.size())
        return false;
    for (std::size_t i = 0; i < state.size(); ++i) {
        if (state[i].address != m_entries[i].item.address)
            return false;
    }
    return true;
}

void OscFeedbackTable::rebuild(const std::vector<OscFeedbackItem> &state)
{
    QHash<QByteArray, Entry> known;
    known.reserve(qsizetype(m_entries.size()));
    for (Entry &entry : m_entries)
        known.insert(entry.item.address, std::move(entry));
    m_entries.clear();
    m_entries.reserve(state.size());
    for (const OscFeedbackItem &item : state) {
        const auto found = known.constFind(item.address);
        m_entries.push_back(found == known.cend() ? Entry{item, true, std::nullopt} : found.value());
    }
}

void OscFeedbackTable::update(const std::vector<OscFeedbackItem> &state)
{
    if (!sameAddresses(state))
        rebuild(state);
    for (std::size_t i = 0; i < state.size(); ++i) {
        Entry &entry = m_entries[i];
        if (entry.item.value == state[i].value)
            continue;
        entry.item.value = state[i].value;
        entry.waiting = true;
    }
}

std::vector<OscFeedbackItem> OscFeedbackTable::takeDue(qint64 nowMs, qint64 intervalMs)
{
    std::vector<OscFeedbackItem> due;
    for (Entry &entry : m_entries) {
        if (!entry.waiting || (entry.sentAtMs && nowMs - *entry.sentAtMs < intervalMs))
            continue;
        entry.waiting = false;
        entry.sentAtMs = nowMs;
        due.push_back(entry.item);
    }
    return due;
}

std::optional<qint64> OscFeedbackTable::nextDueMs(qint64 intervalMs) const
{
    std::optional<qint64> next;
    for (const Entry &entry : m_entries) {
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
    for (const Entry &entry : m_entries)
        items.push_back(entry.item);
    return items;
}
