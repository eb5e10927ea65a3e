#include "statusblock.h"

namespace StatusBlockReader {

quint16 value16(const StatusBlock &block, int offset)
{
    const auto at = static_cast<std::size_t>(offset);
    return static_cast<quint16>(block[at] | (block[at + 1] << 8));
}

quint8 flag(const StatusBlock &block, int offset)
{
    return block[static_cast<std::size_t>(offset)];
}

QString displayText(const StatusBlock &block, int offset, int width)
{
    QString text;
    text.reserve(width);
    for (int i = 0; i < width; ++i) {
        const quint8 byte = block[static_cast<std::size_t>(offset + i)];
        if (byte != 0)
            text.append(QLatin1Char(static_cast<char>(byte)));
    }
    return text;
}

int identityLength(const StatusBlock &block, int offset, int width)
{
    int length = 0;
    while (length < width && block[static_cast<std::size_t>(offset + length)] != 0)
        ++length;
    return length;
}

QString identityText(const StatusBlock &block, int offset, int width)
{
    const auto *start = reinterpret_cast<const char *>(block.data() + offset);
    return QString::fromLatin1(start, identityLength(block, offset, width));
}

int threeDigitValue(const StatusBlock &block, int offset)
{
    int value = 0;
    for (int weight = 100, i = 0; i < 3; weight /= 10, ++i) {
        const quint8 c = block[static_cast<std::size_t>(offset + i)];
        if (c >= '0' && c <= '9')
            value += weight * (c - '0');
    }
    return value;
}

quint8 historySample(const StatusBlock &block, History history, int sample)
{
    const int offset = StatusField::FirstHistory
                       + static_cast<int>(history) * StatusField::HistoryLength + sample;
    return block[static_cast<std::size_t>(offset)];
}

double voltage(const StatusBlock &block, int offset)
{
    return value16(block, offset) * double(StatusScale::OutputVolts) / StatusScale::FullScale;
}

double current(const StatusBlock &block, int offset)
{
    return value16(block, offset) * double(StatusScale::Amperes) / StatusScale::FullScale;
}

double acInputVoltage(const StatusBlock &block)
{
    return value16(block, StatusField::AcInputVoltage) * double(StatusScale::MainsVolts) / StatusScale::FullScale;
}

} // namespace StatusBlockReader
