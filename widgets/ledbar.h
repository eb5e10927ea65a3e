#pragma once

// TDDLedBar: a bar graph of equal segments, like a string of LEDs.
//
// The bar shows Position against MaxValue. Each segment takes the colour of
// its zone (low, middle, high, by its place along the bar); segments up to the
// value are drawn in that colour, the others in a half-bright shade of it so
// the whole scale stays visible. A vertical bar grows upwards from the
// bottom, a horizontal bar rightwards from the left.
//
// Geometry, in pixels: BarSize is the segment pitch (segment plus a 2-pixel
// gap); the bar holds (length - 2) / BarSize whole segments, recomputed at
// every paint, so a resize shows at the next paint. Every segment keeps 2
// pixels from the sides and the first starts 2 pixels from the bottom (left).
//
// Setters that change the look repaint at once (repaint(), not update()),
// so a value set by a timer tick is on screen when the setter returns.
// Assistive tools read the bar as a progress bar whose value is Position.
// Main thread only.

#include <QColor>
#include <QWidget>

#include <optional>

class TDDLedBar final : public QWidget {
    Q_OBJECT
public:
    enum Orientation { trHorizontal = 0, trVertical = 1 };

    // The stored description of a bar. Fields left empty keep the value the
    // bar has; the others are applied in the order they are declared here.
    struct Description {
        std::optional<QRect> geometry {};
        std::optional<QColor> colorLow {};
        std::optional<QColor> colorMid {};
        std::optional<QColor> colorHi {};
        std::optional<Orientation> orientation {};
        std::optional<int> maxValue {};
        std::optional<QColor> backColor {};
        std::optional<int> barSize {};
        std::optional<int> position {};
        std::optional<int> lowToMidPos {};
        std::optional<int> midToHiPos {};
    };

    explicit TDDLedBar(QWidget *parent = nullptr);

    // Applies a stored description: the size first, then the properties in
    // declaration order through their setters, so each acceptance rule sees
    // the values applied before it. A stored Orientation does not swap width
    // and height, since the stored size already belongs to it.
    void load(const Description &description);

    QColor colorLow() const { return m_colorLow; }
    QColor colorMid() const { return m_colorMid; }
    QColor colorHi() const { return m_colorHi; }
    QColor backColor() const { return m_backColor; }
    Orientation orientation() const { return m_orientation; }
    int maxValue() const { return m_maxValue; }
    int barSize() const { return m_barSize; }
    int position() const { return m_position; }
    int lowToMidPos() const { return m_lowToMidPos; }
    int midToHiPos() const { return m_midToHiPos; }
    // Whole segments that fit the present size.
    int segmentCount() const;

    // Store and repaint, also when unchanged.
    void setColorLow(const QColor &color);
    void setColorMid(const QColor &color);
    void setColorHi(const QColor &color);
    void setBackColor(const QColor &color);
    void setPosition(int position);
    // A change swaps width and height (position kept) unless loading.
    void setOrientation(Orientation orientation);
    // Repaints only on a change. Must be positive for the bar to show a
    // fraction; a bar with MaxValue 0 or less lights nothing below it.
    void setMaxValue(int maxValue);
    // Accepted when above 2 and below the bar's length minus 4; else ignored.
    void setBarSize(int barSize);
    // The middle zone begins at 100 - LowToMidPos percent of the bar.
    // Accepted when below 100 and above MidToHiPos; else ignored.
    void setLowToMidPos(int percent);
    // The high zone begins at 100 - MidToHiPos percent of the bar.
    // Accepted when at most 100 and below LowToMidPos; else ignored.
    void setMidToHiPos(int percent);

    QSize sizeHint() const override { return {25, 147}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor zoneColor(int percent) const;
    bool isLit(int percent) const;
    QRect segmentRect(int segment) const;
    int length() const;

    QColor m_colorLow{0, 255, 0};
    QColor m_colorMid{255, 255, 0};
    QColor m_colorHi{255, 0, 0};
    Orientation m_orientation = trVertical;
    int m_maxValue = 100;
    QColor m_backColor{0, 0, 0};
    int m_barSize = 5;
    int m_position = 0;
    int m_lowToMidPos = 32;
    int m_midToHiPos = 16;
    bool m_loading = false;
};
