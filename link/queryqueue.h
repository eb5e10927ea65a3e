#pragma once

// The per-device queue of pending requests: 16 entries, merged by path, so a
// request repeated many times a second holds one entry and always carries its
// latest argument. Main thread only.

#include <QByteArray>
#include <QByteArrayView>

#include <array>

struct QueryEntry
{
    QByteArray path;      // for example "/krv.krv"; never empty for an entry in use
    QByteArray argument;  // sent directly after the path; may be empty
};

class QueryQueue final
{
public:
    static constexpr int kCapacity = 16;

    // Replaces the argument of the entry with the same path, in its place, or
    // appends the request. Returns false, changing nothing, when all entries
    // hold other paths.
    bool put(const QByteArray &path, QByteArrayView argument);

    bool isEmpty() const { return m_size == 0; }
    int size() const { return m_size; }
    // Entries 0..size-1, head first.
    const QueryEntry &at(int index) const { return m_entries[static_cast<std::size_t>(index)]; }

    // Removes the head; the later entries move up one place.
    void popHead();
    void clear();

private:
    std::array<QueryEntry, kCapacity> m_entries{};
    int m_size = 0;
};
