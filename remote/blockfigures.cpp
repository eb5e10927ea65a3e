#include "blockfigures.h"

#include "names.h"
#include "panelnumber.h"

using namespace Qt::StringLiterals;

namespace BlockFigures {

namespace {

namespace Field = StatusField;
namespace R = StatusBlockReader;

constexpr int kVoltScale = 200;
constexpr int kAmpereScale = 50;
constexpr int kMainsScale = 750;
constexpr quint64 kFullScale = 1024;

// "045%": the level is the number before the percent sign.
std::optional<int> fanLevel(const StatusBlock &block)
{
    const std::optional<double> level = PanelNumber::field(block, Field::FanSpeed, 4);
    return level ? std::optional<int>(qRound(*level)) : std::nullopt;
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
    result.impedanceOhms = PanelNumber::field(block, index == 0 ? Field::SpeakerImpedanceA : Field::SpeakerImpedanceB,
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
    figures.ampTemperatureCelsius = PanelNumber::field(block, Field::SecondTemperature, Field::TemperatureWidth);
    figures.psuTemperatureCelsius = PanelNumber::field(block, Field::FirstTemperature, Field::TemperatureWidth);
    figures.mainsVolts = tenths(R::value16(block, Field::AcInputVoltage), kMainsScale);
    figures.fanPercent = fanLevel(block);
    return figures;
}

} // namespace BlockFigures
