#include "figurezones.h"

#include "ledscale.h"
#include "panelbars.h"
#include "panelfigures.h"

#include <algorithm>
#include <array>
#include <vector>

namespace FigureZones {

namespace {

using LedScale::Zone;

struct Scale
{
    LedScale::Bar bar;
    std::array<Level, 3> levels;  // of the low, middle and high zone
    int margin;
};

constexpr LedScale::Bar bar(const PanelBars::RowBar &row)
{
    return {row.maxValue, row.segments, row.lowToMidPos, row.midToHiPos};
}

const Scale &scaleOf(Figure figure)
{
    static const Scale temperature{bar(PanelBars::kTemperature),
                                   {Level::Normal, Level::Warning, Level::Alarm}, 3};
    static const Scale mains{bar(PanelBars::kAcInput), {Level::Alarm, Level::Normal, Level::Alarm}, 5};
    return figure == Figure::Mains ? mains : temperature;
}

// Positions beyond the bar's full scale light the same segments as full
// scale; the table stops there.
struct LevelTable
{
    explicit LevelTable(const Scale &scale)
    {
        levels.resize(std::size_t(scale.bar.maxValue) + 1);
        for (int position = 0; position <= scale.bar.maxValue; ++position) {
            const Zone zone = LedScale::topLitZone(scale.bar, position).value_or(Zone::Low);
            levels[std::size_t(position)] = scale.levels[std::size_t(zone)];
        }
    }
    Level at(int position) const
    {
        return levels[std::size_t(std::clamp(position, 0, int(levels.size()) - 1))];
    }
    std::vector<Level> levels;
};

const LevelTable &tableOf(Figure figure)
{
    static const LevelTable temperature(scaleOf(Figure::AmplifierTemperature));
    static const LevelTable mains(scaleOf(Figure::Mains));
    return figure == Figure::Mains ? mains : temperature;
}

int temperatureOffset(Figure figure)
{
    return figure == Figure::AmplifierTemperature ? StatusField::SecondTemperature : StatusField::FirstTemperature;
}

} // namespace

int value(Figure figure, const StatusBlock &block)
{
    if (figure == Figure::Mains)
        return PanelFigures::roundedHalfEven(StatusBlockReader::value16(block, StatusField::AcInputVoltage), StatusScale::MainsVolts);
    return StatusBlockReader::threeDigitValue(block, temperatureOffset(figure));
}

Level levelOf(Figure figure, int value)
{
    return tableOf(figure).at(value);
}

int margin(Figure figure)
{
    return scaleOf(figure).margin;
}

Level track(Figure figure, Level current, int value)
{
    const Level now = levelOf(figure, value);
    if (now >= current)
        return now;
    const LevelTable &table = tableOf(figure);
    const int m = margin(figure);
    Level nearby = now;
    for (int v = value - m; v <= value + m; ++v)
        nearby = std::max(nearby, table.at(v));
    return std::min(nearby, current);
}

} // namespace FigureZones
