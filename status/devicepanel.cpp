#include "devicepanel.h"

#include "artpaths.h"
#include "controllercore.h"
#include "devicetable.h"
#include "diagramwindow.h"
#include "ledbar.h"
#include "operatorhelp.h"
#include "panelbars.h"
#include "panelfigures.h"
#include "picturecontrol.h"
#include "statusblock.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

using namespace Qt::StringLiterals;
namespace Field = StatusField;

namespace {

const QString kUnfilled = u"?????"_s;
constexpr QColor kPanelColour{212, 208, 200};
const QColor kLime{0, 255, 0};
const QColor kYellow{255, 255, 0};
const QColor kRed{255, 0, 0};

// Channel B's controls sit as channel A's do, this much further right.
constexpr int kChannelShift[2] = {0, 328};
// The channel figures' 49 pixels were drawn for a narrower font than most
// machines have; 56 holds "200.0 V" and still ends before the next control.
constexpr int kChannelFigureWidth = 56;

QFont panelFont(const QFont &base, int pixelHeight, bool bold)
{
    QFont font = base;
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

QLabel *addLabel(QWidget *parent, const QRect &geometry, const QString &text, Qt::Alignment align)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
}

// What an output bar and its caption picture show, channel 0 A, 1 B.
QString barName(int channel, int quantity)
{
    static const QString quantities[4] = {u"peak voltage"_s, u"average voltage"_s, u"average current"_s,
                                          u"power"_s};
    return (channel == 0 ? u"Channel A output "_s : u"Channel B output "_s) + quantities[quantity];
}

} // namespace

DevicePanel::DevicePanel(ControllerCore &core, SelectedSlot selectedSlot, QGroupBox *box)
    : QWidget(box),
      m_core(core),
      m_devices(core.devices()),
      m_selectedSlot(std::move(selectedSlot)),
      m_box(box)
{
    setObjectName(u"Panel3"_s);
    setGeometry(8, 16, 785, 345);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, kPanelColour);
    setPalette(grey);
    setAutoFillBackground(true);

    createPictures();
    createBars();
    createLabels();
    createIdentityFields();
}

// Pictures in the order of the layout: front panel, bar captions, channel
// state, mute, diagram button.
void DevicePanel::createPictures()
{
    auto *front = new PictureControl(ArtPath::PanelFront, this);
    describeControl(front, u"Image2"_s, u"Amplifier front panel"_s);
    front->setGeometry(8, 0, 768, 73);

    const QString captions[4] = {ArtPath::CaptionPeakVoltage, ArtPath::CaptionAverageVoltage,
                                 ArtPath::CaptionAverageCurrent, ArtPath::CaptionPower};
    const QString names[2][4] = {{u"Image8"_s, u"Image10"_s, u"Image12"_s, u"Image13"_s},
                                 {u"Image21"_s, u"Image20"_s, u"Image19"_s, u"Image18"_s}};
    for (int channel = 0; channel < 2; ++channel) {
        for (int i = 0; i < 4; ++i) {
            auto *caption = new PictureControl(captions[i], this);
            describeControl(caption, names[channel][i], barName(channel, i) + u" caption"_s);
            caption->setCentred(true);
            caption->setGeometry(40 + kChannelShift[channel] + 40 * i, 80, 17, 193);
            if (!m_firstCaption)
                m_firstCaption = caption;
        }
    }
    // Only the first caption lets the panel show through its background.
    m_firstCaption->setTransparent(true);

    for (int channel = 0; channel < 2; ++channel) {
        const int left = 212 + kChannelShift[channel];
        const QString suffix = channel == 0 ? u"_A"_s : u"_B"_s;
        const QString name = channel == 0 ? u"Channel A"_s : u"Channel B"_s;
        m_stateOk[channel] = new PictureControl(ArtPath::ChannelOk, this);
        describeControl(m_stateOk[channel], u"AS"_s + suffix + u"_O"_s, name + u" OK"_s,
                        name + u" works"_s);
        m_stateFault[channel] = new PictureControl(ArtPath::ChannelFault, this);
        describeControl(m_stateFault[channel], u"AS"_s + suffix + u"_F"_s, name + u" fault"_s,
                        name + u" reports a fault"_s);
        m_muteOn[channel] = new PictureControl(ArtPath::MuteOn, this);
        describeControl(m_muteOn[channel], u"MUTE_ON"_s + suffix, name + u" muted"_s,
                        name + u" is muted; click to un-mute it"_s);
        m_muteOff[channel] = new PictureControl(ArtPath::MuteOff, this);
        describeControl(m_muteOff[channel], u"MUTE_OFF"_s + suffix, name + u" playing"_s,
                        name + u" is not muted; click to mute it"_s);
        for (PictureControl *state : {m_stateOk[channel], m_stateFault[channel]})
            state->setGeometry(left, 80, 134, 23);
        for (PictureControl *mute : {m_muteOn[channel], m_muteOff[channel]}) {
            mute->setAccessibleRole(QAccessible::Button);
            mute->setGeometry(left, 120, 134, 35);
            mute->setCursor(Qt::PointingHandCursor);
            connect(mute, &PictureControl::clicked, this,
                    channel == 0 ? &DevicePanel::MUTE_OFF_AClick : &DevicePanel::MUTE_OFF_BClick);
        }
    }

    m_diagramButton = new PictureControl(ArtPath::DiagramButton, this);
    describeControl(m_diagramButton, u"Image6"_s, u"Diagram"_s,
                    u"Shows this amplifier's histories of the last 100 minutes"_s);
    m_diagramButton->setAccessibleRole(QAccessible::Button);
    m_diagramButton->setGeometry(688, 168, 94, 25);
    connect(m_diagramButton, &PictureControl::clicked, this, &DevicePanel::Image2Click);
}

void DevicePanel::createBars()
{
    using D = TDDLedBar::Description;
    const auto vertical = [](int left) {
        return D{.geometry = QRect(left, 80, 17, 193), .colorLow = kLime, .colorMid = kYellow,
                 .colorHi = kRed, .orientation = TDDLedBar::trVertical, .maxValue = 255,
                 .backColor = Qt::black, .barSize = 7, .position = 0,
                 .lowToMidPos = 32, .midToHiPos = 16};
    };
    const auto horizontal = [](int top, const PanelBars::RowBar &scale, QColor low, QColor mid, QColor hi) {
        return D{.geometry = QRect(56, top, 633, 9), .colorLow = low, .colorMid = mid,
                 .colorHi = hi, .orientation = TDDLedBar::trHorizontal, .maxValue = scale.maxValue,
                 .backColor = Qt::black, .barSize = PanelBars::kRowBarPitch, .position = 0,
                 .lowToMidPos = scale.lowToMidPos, .midToHiPos = scale.midToHiPos};
    };
    constexpr PanelBars::RowBar kFan{100, PanelBars::kRowBarSegments, 32, 16};
    const D setups[13] = {
        D{},
        vertical(56), vertical(96), vertical(136), vertical(176),
        horizontal(285, PanelBars::kTemperature, kLime, kYellow, kRed),
        horizontal(301, PanelBars::kTemperature, kLime, kYellow, kRed),
        vertical(384), vertical(424), vertical(464), vertical(504),
        horizontal(317, PanelBars::kAcInput, kRed, kLime, kRed),
        horizontal(333, kFan, kLime, kLime, kLime),
    };
    const QString rows[4] = {u"PSU temperature"_s, u"AMP temperature"_s, u"AC input voltage"_s, u"Fan speed"_s};
    const auto title = [&rows](int number) {
        if (number <= 4)
            return barName(0, number - 1);
        if (number <= 6)
            return rows[number - 5];
        if (number <= 10)
            return barName(1, number - 7);
        return rows[number - 9];
    };
    for (int number = 1; number <= 12; ++number) {
        m_bars[number] = new TDDLedBar(this);
        describeControl(m_bars[number], u"DDLedBar"_s + QString::number(number), title(number));
        m_bars[number]->load(setups[number]);
    }
}

void DevicePanel::createLabels()
{
    const QFont bold = panelFont(font(), 13, true);
    // A caption wider than its place in the font this machine has grows to
    // the left, so its right edge stays against the figure.
    const auto caption = [&](QRect geometry, const QString &text) {
        const int needed = QFontMetrics(bold).horizontalAdvance(text) + 2;
        if (needed > geometry.width())
            geometry.setLeft(geometry.right() + 1 - needed);
        addLabel(this, geometry, text, Qt::AlignRight)->setFont(bold);
    };
    const auto figure = [&](const QRect &geometry, const QString &name) {
        QLabel *label = addLabel(this, geometry, kUnfilled, Qt::AlignLeft);
        label->setObjectName(name);
        label->setFont(bold);
        return label;
    };

    const QString captions[4] = {u"Out Peak V:"_s, u"Out Aver. V:"_s, u"Out Aver. I:"_s, u"Speaker Imp.:"_s};
    const QString figures[2][4] = {
        {u"PD_CHA_Output_Peak_Voltage"_s, u"PD_CHA_Output_Average_Voltage"_s,
         u"PD_CHA_Output_Average_Current"_s, u"PD_Speaker_Impedance_CHA"_s},
        {u"PD_CHB_Output_Peak_Voltage"_s, u"PD_CHB_Output_Average_Voltage"_s,
         u"PD_CHB_Output_Average_Current"_s, u"PD_Speaker_Impedance_CHB"_s}};
    for (int channel = 0; channel < 2; ++channel) {
        const int shift = kChannelShift[channel];
        for (int i = 0; i < 4; ++i) {
            const int top = 168 + 16 * i;
            caption(QRect(200 + shift, top, 97, 17), captions[i]);
            m_channelFigures[channel][i] =
                figure(QRect(304 + shift, top, kChannelFigureWidth, 17), figures[channel][i]);
        }
    }

    m_model = addLabel(this, QRect(688, 80, 97, 20), kUnfilled, Qt::AlignHCenter);
    m_model->setObjectName(u"PD_Model"_s);
    m_model->setFont(panelFont(font(), 16, false));

    const QString rows[4] = {u"PSU"_s, u"AMP"_s, u"AC IN"_s, u"FAN"_s};
    const QString rowFigures[4] = {u"PD_Amplifier_Temperature"_s, u"PD_PSU_Temperature"_s,
                                   u"PD_Actual_AC_Input"_s, u"PD_Actual_FAN_Speed"_s};
    for (int i = 0; i < 4; ++i) {
        const int top = 281 + 16 * i;
        caption(QRect(0, top, 49, 16), rows[i]);
        m_rowFigures[i] = figure(QRect(696, top, 65, 16), rowFigures[i]);
    }
}

// The group field lies beneath the selector, so it is created first.
void DevicePanel::createIdentityFields()
{
    m_networkGroup = new QLineEdit(this);
    describeControl(m_networkGroup, u"PD_Network_Group"_s, u"Group entry"_s,
                    u"Type a group and press Enter to move this amplifier there"_s);
    m_networkGroup->setMaxLength(Field::IdentityWidth);
    m_networkGroup->setGeometry(736, 112, 73, 21);

    m_groupComboBox = new QComboBox(this);
    describeControl(m_groupComboBox, u"GroupComboBox"_s, u"Group"_s,
                    u"Pick a group to move this amplifier there"_s);
    m_groupComboBox->setGeometry(688, 112, 97, 21);

    m_networkName = new QLineEdit(this);
    describeControl(m_networkName, u"PD_Network_Name"_s, u"Name"_s,
                    u"Type a new name (up to 5 letters, digits or spaces) and press Enter"_s);
    m_networkName->setMaxLength(Field::IdentityWidth);
    m_networkName->setGeometry(688, 136, 97, 21);
}

TDDLedBar *DevicePanel::DDLedBar(int number) const
{
    return m_bars[number];
}

void DevicePanel::refresh()
{
    const int slot = m_selectedSlot();
    if (slot == 0 || m_devices[slot].linkState() <= ThSocket::Offline) {
        m_box->setVisible(false);
        return;
    }
    m_box->setVisible(true);
    showBlock(slot);
}

// Every control is rewritten on every refresh, also when nothing changed.
void DevicePanel::showBlock(int slot)
{
    namespace R = StatusBlockReader;
    const StatusBlock &block = m_devices[slot].status;
    const auto raw = [&](int offset) { return R::value16(block, offset); };
    const auto text = [&](int offset, int width) { return R::displayText(block, offset, width); };
    const auto squared = [&](int offset) { return int(quint32{raw(offset)} * raw(offset) / StatusScale::FullScale); };

    m_bars[1]->setPosition(raw(Field::OutputPeakVoltageA) / 4);
    m_bars[2]->setPosition(raw(Field::OutputAverageVoltageA) / 4);
    m_bars[3]->setPosition(raw(Field::OutputAverageCurrentA) / 4);
    m_bars[4]->setPosition(squared(Field::OutputAverageCurrentA));
    m_bars[7]->setPosition(raw(Field::OutputPeakVoltageB) / 4);
    m_bars[8]->setPosition(raw(Field::OutputAverageVoltageB) / 4);
    m_bars[9]->setPosition(raw(Field::OutputAverageCurrentB) / 4);
    m_bars[10]->setPosition(squared(Field::OutputAverageCurrentB));

    m_rowFigures[FirstTemperature]->setText(PanelFigures::temperature(block, Field::FirstTemperature));
    m_rowFigures[SecondTemperature]->setText(PanelFigures::temperature(block, Field::SecondTemperature));
    m_bars[5]->setPosition(R::threeDigitValue(block, Field::FirstTemperature));
    m_bars[6]->setPosition(R::threeDigitValue(block, Field::SecondTemperature));
    m_bars[11]->setPosition(PanelFigures::roundedHalfEven(raw(Field::AcInputVoltage), StatusScale::MainsVolts));
    m_bars[12]->setPosition(R::threeDigitValue(block, Field::FanSpeed));

    for (int channel = 0; channel < 2; ++channel) {
        const bool muted = R::flag(block, Field::MuteA + channel) == 0;
        m_muteOn[channel]->setVisible(muted);
        m_muteOff[channel]->setVisible(!muted);
    }

    m_model->setText(u'Q' + text(Field::Model, Field::IdentityWidth));

    if (m_diagram) {
        m_diagram->PD_Serial_Number()->setText(text(Field::SerialNumber, Field::IdentityWidth));
        m_diagram->PD_Main_SW_Version()->setText(text(Field::MainSoftwareVersion, Field::IdentityWidth));
        m_diagram->PD_Webserver_SW_version()->setText(text(Field::WebServerSoftwareVersion, Field::IdentityWidth));
        m_diagram->PD_PSU_SW_Version()->setText(text(Field::PsuSoftwareVersion, Field::IdentityWidth));
        m_diagram->PD_DDS_SW_Version()->setText(text(Field::DdsSoftwareVersion, Field::IdentityWidth));
    }

    const QString decimalPoint = QLocale().decimalPoint();
    const auto withUnit = [&](quint16 value, int scale, const QString &unit) {
        return PanelFigures::withUnit(value, scale, unit, decimalPoint);
    };
    const QString volts = PanelFigures::volts();
    const QString amperes = PanelFigures::amperes();
    for (int channel = 0; channel < 2; ++channel) {
        const auto &figures = m_channelFigures[channel];
        figures[PeakVoltage]->setText(withUnit(raw(Field::OutputPeakVoltageA + 2 * channel), StatusScale::OutputVolts, volts));
        figures[AverageVoltage]->setText(withUnit(raw(Field::OutputAverageVoltageA + 2 * channel), StatusScale::OutputVolts, volts));
        figures[AverageCurrent]->setText(withUnit(raw(Field::OutputAverageCurrentA + 2 * channel), StatusScale::Amperes, amperes));
    }
    m_channelFigures[0][SpeakerImpedance]->setText(text(Field::SpeakerImpedanceA, Field::ImpedanceWidth));
    m_channelFigures[1][SpeakerImpedance]->setText(text(Field::SpeakerImpedanceB, Field::ImpedanceWidth));

    m_rowFigures[AcInput]->setText(withUnit(raw(Field::AcInputVoltage), StatusScale::MainsVolts, volts));
    m_rowFigures[FanSpeed]->setText(text(Field::FanSpeed, 4));

    for (int channel = 0; channel < 2; ++channel) {
        const quint8 state = R::flag(block, Field::ChannelStateA + channel);
        m_stateOk[channel]->setVisible(state == 1);
        m_stateFault[channel]->setVisible(state == 0);
    }

    showGroupEntry(slot);
    if (!m_networkName->hasFocus())
        m_networkName->setText(text(Field::Name, Field::IdentityWidth));
}

// Selects every entry that equals the block's five group characters
// exactly, zero bytes included; left alone while the operator has the list
// open. No match keeps the present selection.
void DevicePanel::showGroupEntry(int slot)
{
    if (m_groupComboBox->view()->isVisible())
        return;
    const StatusBlock &block = m_devices[slot].status;
    const QString group = QString::fromLatin1(reinterpret_cast<const char *>(block.data()) + Field::Group,
                                              Field::IdentityWidth);
    for (int index = 0; index < m_groupComboBox->count(); ++index) {
        if (m_groupComboBox->itemText(index) == group && m_groupComboBox->currentIndex() != index)
            m_groupComboBox->setCurrentIndex(index);
    }
}

void DevicePanel::MUTE_OFF_AClick()
{
    toggleMute(0);
}

void DevicePanel::MUTE_OFF_BClick()
{
    toggleMute(1);
}

// Asks for the opposite of the reported state; the pictures follow when a
// later block reports it.
void DevicePanel::toggleMute(int channel)
{
    const int slot = m_selectedSlot();
    if (slot == 0)
        return;
    const bool notMuted = StatusBlockReader::flag(m_devices[slot].status, Field::MuteA + channel) != 0;
    m_core.muteChannel(m_devices[slot].id, channel, notMuted, CommandSource::window());
}

void DevicePanel::Image2Click()
{
    Q_EMIT diagramRequested();
}
