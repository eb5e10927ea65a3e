#include "ledscale.h"

#include <QtGlobal>

namespace LedScale {

int segmentPercent(int segment, int count)
{
    return count > 0 ? segment * 100 / count : 0;
}

Zone zoneOf(int percent, int lowToMidPos, int midToHiPos)
{
    if (percent < 100 - lowToMidPos)
        return Zone::Low;
    if (percent < 100 - midToHiPos)
        return Zone::Middle;
    return Zone::High;
}

bool isLit(int percent, int position, int maxValue)
{
    if (position == 0)
        return false;
    if (position < maxValue) {
        if (maxValue <= 0)
            return false;
        const qint64 positionPercent = qint64{position} * 100 / maxValue;
        if (percent > positionPercent)
            return false;
    }
    return percent <= position;
}

std::optional<Zone> topLitZone(const Bar &bar, int position)
{
    for (int segment = bar.segments; segment >= 1; --segment) {
        const int percent = segmentPercent(segment, bar.segments);
        if (isLit(percent, position, bar.maxValue))
            return zoneOf(percent, bar.lowToMidPos, bar.midToHiPos);
    }
    return std::nullopt;
}

} // namespace LedScale
