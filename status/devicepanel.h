#pragma once

// The device panel: the selected amplifier's measurements, states, model,
// name and group, redrawn from its stored status block on every refresh.
//
// The panel is the grey surface inside the " Device parameters " box it is
// given; refresh() shows that box only while an online device is selected
// and hides it otherwise. It keeps no state of its own: every refresh reads
// the selected device's record as it is at that moment. The mute pictures
// queue a mute command for the selected device; the diagram picture asks
// for the diagram window.
//
// The group selector and the name and group fields are filled here; what
// the operator does with them belongs to the group editing. The refresh
// selects a group entry with setCurrentIndex(), which is not an operator
// choice: operator choices arrive through QComboBox::activated.
//
// Main thread only.

#include <QWidget>

#include <functional>

class PictureControl;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class TDDLedBar;
class TForm4;
class ControllerCore;
class tDevices;

class DevicePanel final : public QWidget {
    Q_OBJECT
public:
    // The 1-based slot of the selected device, 0 when none.
    using SelectedSlot = std::function<int()>;

    DevicePanel(ControllerCore &core, SelectedSlot selectedSlot, QGroupBox *box);

    // The diagram window whose labels the refresh fills; may be none.
    void setDiagramWindow(TForm4 *diagram) { m_diagram = diagram; }

    // Redraws the panel from the selected device's stored block.
    void refresh();

    // Mute picture clicks: toggle the reported mute state of one channel.
    void MUTE_OFF_AClick();
    void MUTE_OFF_BClick();
    // The diagram button.
    void Image2Click();

    QComboBox *GroupComboBox() const { return m_groupComboBox; }
    QLineEdit *PD_Network_Group() const { return m_networkGroup; }
    QLineEdit *PD_Network_Name() const { return m_networkName; }

    // The other controls carry their names as object names, for tools and
    // tests (findChild<QLabel *>(u"PD_Actual_AC_Input"_s)).
    QLabel *PD_Model() const { return m_model; }
    // DDLedBar1 to DDLedBar12 by their number.
    TDDLedBar *DDLedBar(int number) const;
    PictureControl *Image6() const { return m_diagramButton; }
    PictureControl *Image8() const { return m_firstCaption; }

Q_SIGNALS:
    void diagramRequested();

private:
    enum Figure { PeakVoltage, AverageVoltage, AverageCurrent, SpeakerImpedance };
    enum Row { FirstTemperature, SecondTemperature, AcInput, FanSpeed };

    void createPictures();
    void createBars();
    void createLabels();
    void createIdentityFields();
    void toggleMute(int channel);
    void showBlock(int slot);
    void showGroupEntry(int slot);

    ControllerCore &m_core;
    const tDevices &m_devices;
    SelectedSlot m_selectedSlot;
    QGroupBox *m_box;
    TForm4 *m_diagram = nullptr;

    TDDLedBar *m_bars[13] = {};  // by number, [0] unused
    QLabel *m_channelFigures[2][4] = {};
    QLabel *m_rowFigures[4] = {};
    QLabel *m_model = nullptr;
    PictureControl *m_stateOk[2] = {};
    PictureControl *m_stateFault[2] = {};
    PictureControl *m_muteOn[2] = {};
    PictureControl *m_muteOff[2] = {};
    PictureControl *m_diagramButton = nullptr;
    PictureControl *m_firstCaption = nullptr;
    QComboBox *m_groupComboBox = nullptr;
    QLineEdit *m_networkGroup = nullptr;
    QLineEdit *m_networkName = nullptr;
};
