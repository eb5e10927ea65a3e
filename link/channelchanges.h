#pragma once

// How often each channel's state (OK or FAULT) and its mute changed between
// the status blocks a device sent, counted as each block is stored, so that
// a fault or a mute that one block reports and the next no longer does is
// seen by whoever looks less often than blocks arrive. A channel state that
// is neither OK nor FAULT shows nothing and changes nothing.
//
// Costs one read of four bytes and four comparisons per stored block. Main
// thread only, with the record it belongs to.

#include "statusblock.h"

#include <array>

class ChannelChanges final
{
public:
    struct Counts
    {
        std::array<quint32, 2> fault{};  // channel A, B: OK to FAULT or back; wrap past 2^32
        std::array<quint32, 2> mute{};   // channel A, B: muted or un-muted
    };

    // With each stored block, in the order they were stored.
    void count(const StatusBlock &block);
    const Counts &counts() const { return m_counts; }

private:
    static constexpr quint8 kNoState = 0xFF;

    Counts m_counts;
    std::array<quint8, 2> m_state{kNoState, kNoState};  // the last OK (1) or FAULT (0)
    std::array<quint8, 2> m_muted{kNoState, kNoState};   // 1 muted, 0 not; none before the first block
};
