#include "historyplot.h"

#include <QPainter>

namespace HistoryPlot {

// Samples sharing a column overlap, so each column shows its tallest one.
void drawTrace(QPainter &painter, const StatusBlock &block, const Trace &trace)
{
    std::array<int, kTraceColumns> tallest{};
    for (int sample = 0; sample < StatusField::HistoryLength; ++sample) {
        int &column = tallest[static_cast<std::size_t>(columnOffset(sample))];
        column = std::max(column, barHeight(StatusBlockReader::historySample(block, trace.history, sample)));
    }

    for (int offset = 0; offset < kTraceColumns; ++offset) {
        const int height = tallest[static_cast<std::size_t>(offset)];
        if (height > 0)
            painter.fillRect(trace.origin.x() - offset, trace.origin.y() - height + 1, 1, height,
                             QColor::fromRgb(kTraceColour));
    }
}

void drawAll(QImage &picture, const StatusBlock &block)
{
    QPainter painter(&picture);
    for (const Trace &trace : kTraces)
        drawTrace(painter, block, trace);
}

} // namespace HistoryPlot
