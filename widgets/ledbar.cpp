#include "ledbar.h"

#include "ledscale.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {
QColor dimmed(const QColor &color)
{
    return QColor(color.red() / 2, color.green() / 2, color.blue() / 2);
}

// A level read out by assistive tools: Position from 0 to MaxValue.
class AccessibleLedBar final : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit AccessibleLedBar(TDDLedBar *bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return bar()->position(); }
    void setCurrentValue(const QVariant &) override {}  // shown, not set
    QVariant maximumValue() const override { return bar()->maxValue(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const TDDLedBar *bar() const { return static_cast<const TDDLedBar *>(widget()); }
};

QAccessibleInterface *accessibleLedBar(const QString &className, QObject *object)
{
    auto *bar = qobject_cast<TDDLedBar *>(object);
    if (className != QLatin1StringView("TDDLedBar") || !bar)
        return nullptr;
    return new AccessibleLedBar(bar);
}
} // namespace

TDDLedBar::TDDLedBar(QWidget *parent)
    : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleLedBar);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    // Every pixel is painted by paintEvent: the parent need not draw beneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(sizeHint());
}

void TDDLedBar::load(const Description &d)
{
    m_loading = true;
    if (d.geometry)
        setGeometry(*d.geometry);
    if (d.colorLow)
        setColorLow(*d.colorLow);
    if (d.colorMid)
        setColorMid(*d.colorMid);
    if (d.colorHi)
        setColorHi(*d.colorHi);
    if (d.orientation)
        setOrientation(*d.orientation);
    if (d.maxValue)
        setMaxValue(*d.maxValue);
    if (d.backColor)
        setBackColor(*d.backColor);
    if (d.barSize)
        setBarSize(*d.barSize);
    if (d.position)
        setPosition(*d.position);
    if (d.lowToMidPos)
        setLowToMidPos(*d.lowToMidPos);
    if (d.midToHiPos)
        setMidToHiPos(*d.midToHiPos);
    m_loading = false;
}

int TDDLedBar::length() const
{
    return m_orientation == trVertical ? height() : width();
}

int TDDLedBar::segmentCount() const
{
    return std::max(0, (length() - 2) / m_barSize);
}

void TDDLedBar::setColorLow(const QColor &color)
{
    m_colorLow = color;
    repaint();
}

void TDDLedBar::setColorMid(const QColor &color)
{
    m_colorMid = color;
    repaint();
}

void TDDLedBar::setColorHi(const QColor &color)
{
    m_colorHi = color;
    repaint();
}

void TDDLedBar::setBackColor(const QColor &color)
{
    m_backColor = color;
    repaint();
}

void TDDLedBar::setPosition(int position)
{
    m_position = position;
    repaint();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, position);
        QAccessible::updateAccessibility(&event);
    }
}

void TDDLedBar::setOrientation(Orientation orientation)
{
    if (orientation == m_orientation)
        return;
    m_orientation = orientation;
    if (!m_loading)
        resize(height(), width());
    repaint();
}

void TDDLedBar::setMaxValue(int maxValue)
{
    if (maxValue == m_maxValue)
        return;
    m_maxValue = maxValue;
    repaint();
}

void TDDLedBar::setBarSize(int barSize)
{
    if (barSize <= 2 || barSize >= length() - 4)
        return;
    m_barSize = barSize;
    repaint();
}

void TDDLedBar::setLowToMidPos(int percent)
{
    if (percent < 0 || percent >= 100 || percent <= m_midToHiPos)
        return;
    m_lowToMidPos = percent;
    repaint();
}

void TDDLedBar::setMidToHiPos(int percent)
{
    if (percent < 0 || percent > 100 || percent >= m_lowToMidPos)
        return;
    m_midToHiPos = percent;
    repaint();
}

QColor TDDLedBar::zoneColor(int percent) const
{
    switch (LedScale::zoneOf(percent, m_lowToMidPos, m_midToHiPos)) {
    case LedScale::Zone::Low:
        return m_colorLow;
    case LedScale::Zone::Middle:
        return m_colorMid;
    case LedScale::Zone::High:
        break;
    }
    return m_colorHi;
}

bool TDDLedBar::isLit(int percent) const
{
    return LedScale::isLit(percent, m_position, m_maxValue);
}

// Segment 1 is the bottom (vertical) or leftmost (horizontal) one.
QRect TDDLedBar::segmentRect(int segment) const
{
    const int w = width();
    const int h = height();
    if (m_orientation == trVertical) {
        const int top = h - segment * m_barSize;
        const int bottom = h - 2 - (segment - 1) * m_barSize;  // exclusive
        return QRect(2, top, w - 4, bottom - top);
    }
    const int left = (segment - 1) * m_barSize + 2;
    const int right = segment * m_barSize;  // exclusive
    return QRect(left, 2, right - left, h - 4);
}

// Painted whole on every request; the widget's backing store keeps the
// screen from showing a half-drawn bar.
void TDDLedBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_backColor);
    const int count = segmentCount();
    for (int segment = 1; segment <= count; ++segment) {
        const int percent = LedScale::segmentPercent(segment, count);
        const QColor zone = zoneColor(percent);
        painter.fillRect(segmentRect(segment), isLit(percent) ? zone : dimmed(zone));
    }
}
