#include "statusblockbuilder.h"

#include "simulatedstate.h"

#include <cmath>

namespace {

void putText(QByteArray &block, int offset, QByteArrayView text, int width)
{
    for (int i = 0; i < width; ++i)
        block[offset + i] = i < text.size() ? text[i] : ' ';
}

void putValue16(QByteArray &block, int offset, quint16 raw)
{
    block[offset] = char(raw & 0xffu);
    block[offset + 1] = char(raw >> 8);
}

// A smooth, repeatable wobble in -1..1 of one quantity of an amp over time.
double wobble(quint32 variation, int quantity, double seconds)
{
    const double phase = double((variation * 2654435761u + quint32(quantity) * 40503u) % 6283u) / 1000.0;
    return std::sin(seconds / (20.0 + quantity * 3.0) + phase);
}

QByteArray threeCharacters(int value, char fill)
{
    return QByteArray::number(value).rightJustified(3, fill);
}

} // namespace

QByteArray buildStatusBlock(const StatusFields &fields)
{
    QByteArray block(kSimulatedBlockSize, '\0');
    for (int i = 0; i < 6; ++i)
        putValue16(block, 6 + 2 * i, fields.outputs[std::size_t(i)]);
    putText(block, 18, fields.firstTemperature, 3);
    putText(block, 21, fields.secondTemperature, 3);
    block[24] = char(fields.stateA);
    block[25] = char(fields.stateB);
    block[26] = char(fields.muteA);
    block[27] = char(fields.muteB);
    putText(block, 28, fields.model, 5);
    putText(block, 33, fields.serial, 5);
    for (int i = 0; i < 4; ++i)
        putText(block, 38 + 5 * i, fields.versions[std::size_t(i)], 5);
    putText(block, 58, fields.impedanceA, 4);
    putText(block, 63, fields.impedanceB, 4);
    putValue16(block, 68, fields.mains);
    putText(block, 70, fields.fan, 4);
    putText(block, 75, fields.group, 5);
    putText(block, 80, fields.name, 5);
    for (int h = 0; h < kSimulatedHistoryCount; ++h) {
        const QByteArray &history = fields.histories[std::size_t(h)];
        const int offset = 85 + h * kSimulatedHistorySamples;
        const auto count = std::min<qsizetype>(history.size(), kSimulatedHistorySamples);
        for (qsizetype k = 0; k < count; ++k)
            block[offset + k] = history[k];
    }
    return block;
}

StatusFields simulatedFields(const SimulatedState &state, qint64 msecsSinceEpoch)
{
    const quint32 variation = state.variation;
    const double now = double(msecsSinceEpoch) / 1000.0;
    const auto around = [variation](int quantity, double centre, double spread, double at) {
        return int(std::lround(centre + spread * wobble(variation, quantity, at)));
    };
    const auto raw = [&](int quantity, double centre, double spread) {
        return quint16(qBound(0, around(quantity, centre, spread, now), 65535));
    };

    StatusFields fields;
    // Peak and average voltage and current of A, then of B, each scaled by
    // its channel's volume and mute.
    const double gains[2] = {outputGain(state, 0), outputGain(state, 1)};
    const auto output = [&](int quantity, double centre, double spread) {
        return quint16(std::lround(raw(quantity, centre, spread) * gains[quantity % 2]));
    };
    fields.outputs = {output(0, 300, 60), output(1, 290, 60), output(2, 120, 30),
                      output(3, 115, 30), output(4, 160, 40), output(5, 150, 40)};
    fields.firstTemperature = threeCharacters(around(6, 42, 4, now), ' ');
    fields.secondTemperature = threeCharacters(around(7, 48, 5, now), ' ');
    fields.muteA = state.muteA;
    fields.muteB = state.muteB;
    fields.serial = QByteArray::number(10000 + variation % 90000);
    fields.mains = raw(8, 314, 3);
    fields.fan = threeCharacters(qBound(0, around(9, 45, 10, now), 100), '0') + '%';
    fields.group = state.group;
    fields.name = state.name;

    // Sample k lies k steps back from the present step; the byte scale is
    // 255 = 200 V, 50 A or 100 degrees Celsius.
    const qint64 step = msecsSinceEpoch / kSimulatedHistoryStepMs;
    constexpr double centres[kSimulatedHistoryCount] = {80, 78, 120, 60, 58, 110};
    for (int h = 0; h < kSimulatedHistoryCount; ++h) {
        QByteArray history(kSimulatedHistorySamples, '\0');
        for (int k = 0; k < kSimulatedHistorySamples; ++k) {
            const double at = double(step - k) * double(kSimulatedHistoryStepMs) / 1000.0;
            history[k] = char(qBound(0, around(10 + h, centres[h], 30, at), 255));
        }
        fields.histories[std::size_t(h)] = history;
    }
    return fields;
}
