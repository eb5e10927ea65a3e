#include "statusblockbuilder.h"

#include <cmath>

namespace {

constexpr qint64 kHistoryStepMs = 12000;  // 512 samples cover about 100 minutes

void putText(QByteArray &block, int offset, QByteArrayView text, int width)
{
    for (int i = 0; i < width; ++i)
        block[offset + i] = i < text.size() ? text[i] : ' ';
}

void putValue16(QByteArray &block, int offset, int value)
{
    const auto raw = quint16(qBound(0, value, 65535));
    block[offset] = char(raw & 0xff);
    block[offset + 1] = char(raw >> 8);
}

// A smooth, repeatable wobble in -1..1 for a quantity of an amp at a time.
double wobble(quint32 seed, int quantity, double seconds)
{
    const double phase = double((seed * 2654435761u + quint32(quantity) * 40503u) % 6283u) / 1000.0;
    return std::sin(seconds / (20.0 + quantity * 3.0) + phase);
}

QByteArray threeCharacters(int value)
{
    return QByteArray::number(value).rightJustified(3, ' ');
}

} // namespace

QByteArray buildStatusBlock(const SimulatedState &state, qint64 msecsSinceEpoch)
{
    QByteArray block(kSimulatedBlockSize, '\0');
    const double t = double(msecsSinceEpoch) / 1000.0;
    const quint32 s = state.seed;
    const auto around = [&](int quantity, double centre, double spread, double at) {
        return int(std::lround(centre + spread * wobble(s, quantity, at)));
    };

    // Output peak and average voltages (raw * 200 / 1024 V), currents (raw * 50 / 1024 A).
    putValue16(block, 6, around(0, 300, 60, t));
    putValue16(block, 8, around(1, 290, 60, t));
    putValue16(block, 10, around(2, 120, 30, t));
    putValue16(block, 12, around(3, 115, 30, t));
    putValue16(block, 14, around(4, 160, 40, t));
    putValue16(block, 16, around(5, 150, 40, t));
    putText(block, 18, threeCharacters(around(6, 42, 4, t)), 3);
    putText(block, 21, threeCharacters(around(7, 48, 5, t)), 3);
    block[24] = 1;
    block[25] = 1;
    block[26] = char(state.muteA);
    block[27] = char(state.muteB);
    putText(block, 28, "T1900", 5);
    putText(block, 33, QByteArray::number(10000 + s % 90000), 5);
    putText(block, 38, "1.07a", 5);
    putText(block, 43, "2.01 ", 5);
    putText(block, 48, "0.93 ", 5);
    putText(block, 53, "1.10 ", 5);
    putText(block, 58, "8.0 ", 4);
    putText(block, 63, "4.0 ", 4);
    putValue16(block, 68, around(8, 314, 3, t));  // about 230 V
    putText(block, 70, threeCharacters(around(9, 45, 10, t)).replace(' ', '0') + '%', 4);
    putText(block, 75, state.group, 5);
    putText(block, 80, state.name, 5);

    // Sample 0 is the present; sample k lies k steps back.
    const qint64 step = msecsSinceEpoch / kHistoryStepMs;
    const double centres[] = {80, 78, 120, 60, 58, 110};
    for (int h = 0; h < 6; ++h) {
        for (int k = 0; k < 512; ++k) {
            const double at = double(step - k) * double(kHistoryStepMs) / 1000.0;
            block[85 + h * 512 + k] = char(qBound(0, around(10 + h, centres[h], 30, at), 255));
        }
    }
    return block;
}
