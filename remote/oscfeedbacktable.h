#pragma once

// The feedback addresses and their values, and which of them are due to be
// sent: an address goes out when its value changed (or it is new) and at
// least the interval has passed since it last went out; a change within the
// interval waits, and only the latest value goes then.
//
// The state is given whole every time, normally with the same addresses in
// the same order as before: then each value is compared in place, so that a
// look at thousands of addresses costs a few microseconds. When the
// addresses change (a table changed), entries are matched by address.
//
// Times are milliseconds on a steady clock. Main thread only.

#include <QByteArray>
#include <QtGlobal>

#include <optional>
#include <vector>

// A feedback value: 'i' with i, 'f' with f, or 'n' with i and then text as
// a string (a number and its name).
struct OscValue
{
    char type = 'i';
    qint32 i = 0;
    float f = 0.0F;
    QByteArray text;  // 'n': UTF-8 without a zero byte

    static OscValue integer(qint32 value) { return {'i', value, 0.0F, {}}; }
    static OscValue real(float value) { return {'f', 0, value, {}}; }
    static OscValue numbered(qint32 value, QByteArray name) { return {'n', value, 0.0F, std::move(name)}; }
    friend bool operator==(const OscValue &, const OscValue &) = default;
};

struct OscFeedbackItem
{
    QByteArray address;
    OscValue value;
};

class OscFeedbackTable final
{
public:
    // Takes the whole state as it is now; addresses not in it are forgotten.
    void update(const std::vector<OscFeedbackItem> &state);

    // The changed addresses whose interval has passed, in the state's order;
    // they count as sent at nowMs.
    std::vector<OscFeedbackItem> takeDue(qint64 nowMs, qint64 intervalMs);

    // When the next waiting change becomes due; none when nothing waits.
    std::optional<qint64> nextDueMs(qint64 intervalMs) const;

    // Every address with its value, in the state's order.
    std::vector<OscFeedbackItem> all() const;

    std::size_t size() const { return m_entries.size(); }

private:
    struct Entry
    {
        OscFeedbackItem item;
        bool waiting = true;  // changed since it last went out, or never sent
        std::optional<qint64> sentAtMs;
    };

    bool sameAddresses(const std::vector<OscFeedbackItem> &state) const;
    void rebuild(const std::vector<OscFeedbackItem> &state);

    std::vector<Entry> m_entries;
};
