#include "channelchanges.h"

void ChannelChanges::count(const StatusBlock &block)
{
    for (std::size_t channel = 0; channel < 2; ++channel) {
        const quint8 state = StatusBlockReader::flag(block, StatusField::ChannelStateA + int(channel));
        if (state == 0 || state == 1) {
            if (m_state[channel] != kNoState && m_state[channel] != state)
                ++m_counts.fault[channel];
            m_state[channel] = state;
        }
        const quint8 muted = StatusBlockReader::flag(block, StatusField::MuteA + int(channel)) == 0 ? 1 : 0;
        if (m_muted[channel] != kNoState && m_muted[channel] != muted)
            ++m_counts.mute[channel];
        m_muted[channel] = muted;
    }
}
