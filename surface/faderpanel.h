#pragma once

// One group fader, 89 by 249 pixels: the track with its scale, the knob that
// the operator drags, an LED bar beside it and the value label under it.
// Main thread only.

#include <QWidget>

class PictureControl;
class QLabel;
class TDDLedBar;

class FaderPanel final : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize kSize{89, 249};
    static constexpr QRect kTrack{8, 24, 29, 190};
    static constexpr QSize kKnobSize{27, 59};
    static constexpr int kKnobLeft = kTrack.left() + 14;
    static constexpr int kKnobLowestTop = kTrack.top() + 147;
    static constexpr QRect kLedBar{64, 32, 9, 177};
    static constexpr QRect kValueLabel{3, 236, 78, 13};

    explicit FaderPanel(int maximum, QWidget *parent = nullptr);

    // Places the knob rise pixels above its lowest place, shows the value on
    // the bar (drawn at once) and the text in the label.
    void display(int value, int rise, const QString &label);

    PictureControl *knob() const { return m_knob; }
    PictureControl *track() const { return m_track; }
    TDDLedBar *ledBar() const { return m_ledBar; }
    QLabel *valueLabel() const { return m_valueLabel; }

private:
    PictureControl *m_track = nullptr;
    PictureControl *m_knob = nullptr;
    TDDLedBar *m_ledBar = nullptr;
    QLabel *m_valueLabel = nullptr;
};
