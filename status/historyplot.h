#pragma once

// The six history plots of the diagram window, drawn onto its 894 by 441
// picture. Each plot stands on its trace origin, the bottom-right pixel of a
// trace area 171 columns wide and 85 rows high: sample 0 (now) at the
// origin's column, sample 511 (100 minutes ago) 170 columns to its left, about
// three samples to a column. A sample of value v is a yellow bar v * 86 / 256
// pixels high standing on the origin's row, so values 1 and 2 draw nothing
// and 255 reaches the top of the scale. Main thread only (it paints an image).

#include "statusblock.h"

#include <QImage>
#include <QPoint>

class QPainter;

#include <array>

namespace HistoryPlot {

inline constexpr QSize kPictureSize{894, 441};
inline constexpr int kTraceColumns = 171;
inline constexpr int kTraceRows = 85;
inline constexpr QRgb kTraceColour = 0xffffff00;  // yellow

struct Trace
{
    History history;
    QPoint origin;  // column and row in the picture
};

// In drawing order.
inline constexpr std::array<Trace, StatusField::HistoryCount> kTraces{{
    {History::PeakVoltageA, {187, 147}},
    {History::PeakVoltageB, {487, 147}},
    {History::CurrentA, {187, 371}},
    {History::CurrentB, {487, 371}},
    {History::AmplifierTemperature, {787, 147}},
    {History::PsuTemperature, {787, 371}},
}};

// Columns left of the origin: 0 for sample 0, 170 for sample 511.
constexpr int columnOffset(int sample)
{
    return sample * kTraceColumns / StatusField::HistoryLength;
}

// Rows the bar covers, from the origin's row up: 0..85.
constexpr int barHeight(quint8 value)
{
    return value * (kTraceRows + 1) / 256;
}

// Draws one history with a painter open on the picture.
void drawTrace(QPainter &painter, const StatusBlock &block, const Trace &trace);

// Draws all six histories.
void drawAll(QImage &picture, const StatusBlock &block);

} // namespace HistoryPlot
