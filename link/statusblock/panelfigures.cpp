#include "panelfigures.h"

using namespace Qt::StringLiterals;

namespace PanelFigures {

namespace {
constexpr quint64 kFullScale = StatusScale::FullScale;
}

QString oneDecimal(quint16 raw, int scale, const QString &decimalPoint)
{
    const quint64 tenthsTimes1024 = quint64{raw} * quint64(scale) * 10;
    const quint64 tenths = (tenthsTimes1024 + kFullScale / 2) / kFullScale;
    return QString::number(tenths / 10) + decimalPoint + QString::number(tenths % 10);
}

int roundedHalfEven(quint16 raw, int scale)
{
    const quint64 scaled = quint64{raw} * quint64(scale);
    quint64 whole = scaled / kFullScale;
    const quint64 rest = scaled % kFullScale;
    if (rest > kFullScale / 2 || (rest == kFullScale / 2 && whole % 2 == 1))
        ++whole;
    return int(whole);
}

QString withUnit(quint16 raw, int scale, const QString &unit, const QString &decimalPoint)
{
    return oneDecimal(raw, scale, decimalPoint) + unit;
}

QString volts()
{
    return u" V"_s;
}

QString amperes()
{
    return u" A"_s;
}

QString temperature(const StatusBlock &block, int offset)
{
    return StatusBlockReader::displayText(block, offset, StatusField::TemperatureWidth) + u" \u00B0C"_s;
}

} // namespace PanelFigures
