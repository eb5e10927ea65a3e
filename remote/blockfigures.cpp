#include "blockfigures.h"

#include "names.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace BlockFigures {

namespace {

namespace Field = StatusField;
namespace R = StatusBlockReader;

constexpr int kVoltScale = 200;
constexpr int kAmpereScale = 50;
constexpr int kMainsScale = 750;
constexpr quint64 kFullScale = 1024;

// The characters of a field as a number; blanks around it are allowed.
std::optional<double> number(const StatusBlock &block, int offset, int width)
{
    bool ok = false;
    const double value = R::displayText(block, offset, width).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// "045%": the level is the number before the percent sign.
std::optional<int> fanLevel(const StatusBlock &block)
{
    QString text = R::displayText(block, Field::FanSpeed, 4).trimmed();
    if (text.endsWith(u'%'))
        text.chop(1);
    bool ok = false;
    const int level = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(level) : std::nullopt;
}

double roundedToTenths(double value)
{
    return double(qRound64(value * 10)) / 10;
}

Channel channel(const StatusBlock &block, int index)
{
    const quint16 peak = R::value16(block, Field::OutputPeakVoltageA + 2 * index);
    const quint16 average = R::value16(block, Field::OutputAverageVoltageA + 2 * index);
    const quint16 current = R::value16(block, Field::OutputAverageCurrentA + 2 * index);
    const quint8 state = R::flag(block, Field::ChannelStateA + index);

    Channel result;
    if (state <= 1)
        result.ok = state == 1;
    result.muted = R::flag(block, Field::MuteA + index) == 0;
    result.outputPeakVolts = tenths(peak, kVoltScale);
    result.outputAverageVolts = tenths(average, kVoltScale);
    result.currentAmperes = tenths(current, kAmpereScale);
    result.powerWatts = roundedToTenths(R::voltage(block, Field::OutputAverageVoltageA + 2 * index)
                                        * R::current(block, Field::OutputAverageCurrentA + 2 * index));
    result.impedanceOhms = number(block, index == 0 ? Field::SpeakerImpedanceA : Field::SpeakerImpedanceB,
                                  Field::ImpedanceWidth);
    return result;
}

} // namespace

double tenths(quint16 raw, int scale)
{
    const quint64 tenthsTimes1024 = quint64{raw} * quint64(scale) * 10;
    return double((tenthsTimes1024 + kFullScale / 2) / kFullScale) / 10;
}

Figures read(const StatusBlock &block)
{
    Figures figures;
    figures.model = withoutTrailingBlanks(R::displayText(block, Field::Model, Field::IdentityWidth));
    figures.serial = withoutTrailingBlanks(R::displayText(block, Field::SerialNumber, Field::IdentityWidth));
    figures.channels = {channel(block, 0), channel(block, 1)};
    figures.ampTemperatureCelsius = number(block, Field::SecondTemperature, Field::TemperatureWidth);
    figures.psuTemperatureCelsius = number(block, Field::FirstTemperature, Field::TemperatureWidth);
    figures.mainsVolts = tenths(R::value16(block, Field::AcInputVoltage), kMainsScale);
    figures.fanPercent = fanLevel(block);
    return figures;
}

} // namespace BlockFigures
