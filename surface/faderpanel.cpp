#include "faderpanel.h"

#include "artpaths.h"
#include "ledbar.h"
#include "picturecontrol.h"

#include <QLabel>

FaderPanel::FaderPanel(int maximum, QWidget *parent)
    : QWidget(parent)
{
    resize(kSize);
    m_track = new PictureControl(ArtPath::FaderTrack, this);
    m_track->setGeometry(kTrack);
    m_ledBar = new TDDLedBar(this);
    TDDLedBar::Description bar;
    bar.geometry = kLedBar;
    bar.orientation = TDDLedBar::trVertical;
    bar.maxValue = maximum;
    bar.barSize = 5;
    bar.lowToMidPos = 32;
    bar.midToHiPos = 16;
    m_ledBar->load(bar);
    m_knob = new PictureControl(ArtPath::FaderKnob, this);
    m_knob->setGeometry(QRect(QPoint(kKnobLeft, kKnobLowestTop), kKnobSize));
    m_knob->setCursor(Qt::PointingHandCursor);
    m_valueLabel = new QLabel(QStringLiteral("?????"), this);
    m_valueLabel->setGeometry(kValueLabel);
    m_valueLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

void FaderPanel::display(int value, int rise, const QString &label)
{
    m_ledBar->setPosition(value);
    m_knob->move(kKnobLeft, kKnobLowestTop - rise);
    m_valueLabel->setText(label);
}
