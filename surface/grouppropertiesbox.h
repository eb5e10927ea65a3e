#pragma once

// The " Group properties " box: the selected group as a small mixing desk.
// Six faders (volume, input level and limiter for channels A and B), three
// link toggles, the group description, the mute-all and un-mute-all buttons
// and the limiter warning. Dragging a fader changes the selected group at
// once; the settings reach its devices through the group settings command.
//
// It shows the core's group record of the selection it is given, owns the
// fader table, and gives every change to the core as a command: a drag moves
// the group's settings through the core and logs once at the release; the
// link toggles and the description are commands too. Main thread only.

#include "fadertable.h"
#include "grouptable.h"

#include <QGroupBox>
#include <QTimer>

#include <array>
#include <functional>

class ControllerCore;
class FaderPanel;
class PictureControl;
class QLabel;
class QLineEdit;

class GroupPropertiesBox final : public QGroupBox
{
    Q_OBJECT

public:
    static constexpr QSize kSize{801, 313};
    // Link toggles ("Channels LOCKED" over "CH A  CH B"), one per column.
    static constexpr QSize kLinkSize{161, 16};
    static constexpr int kRightColumnLeft = 648;
    static constexpr QSize kMuteButtonSize{136, 57};
    static constexpr QSize kWarningSize{136, 32};
    static constexpr int kFaderParameterSendIntervalMs = 150;

    // selectedGroup: the id of the selected group, 0 for none.
    GroupPropertiesBox(ControllerCore &core, std::function<quint64()> selectedGroup, QWidget *parent = nullptr);

    // The 200 ms refresh: shows or hides the box, copies the description
    // unless the operator is typing in it, reloads the faders from the group
    // (the link rule of the last dragged fader goes to the core as a drag),
    // and sets the limiter warning and the link pictures.
    void refresh();
    // Queues the group settings command to the selected group's devices while
    // a fader is dragged; the 150 ms timer and the knob release run it.
    void sendStep();
    // The 150 ms timer that runs it; its owner window starts it.
    void FaderParameterSendTimer() { sendStep(); }
    QTimer &FaderParameterSend() { return m_faderParameterSend; }

    // Event handlers, named after their control and event; entry is 1..6.
    void FaderImg1MouseDown(int entry);
    void FaderImg1MouseMove(Qt::KeyboardModifiers modifiers);
    void FaderImg1MouseUp();
    void Vol_LClick() { flipLink(GroupLink::Volume); }
    void Sen_LClick() { flipLink(GroupLink::InputLevel); }
    void Lim_LClick() { flipLink(GroupLink::Limiter); }
    void MUTE_ON_ALLClick() { muteAll(true); }
    void MUTE_OFF_ALLClick() { muteAll(false); }
    void Edit4KeyDown();
    void Edit4Exit();

    const FaderTable &faders() const { return m_faders; }
    FaderPanel *faderPanel(int entry) const { return m_panels[static_cast<std::size_t>(entry - 1)]; }
    PictureControl *FaderImg(int entry) const;
    QLabel *valueLabel(int entry) const;
    QLabel *heading(int column) const { return m_headings[static_cast<std::size_t>(column)]; }
    // Pair 0 volume, 1 input level, 2 limiter.
    PictureControl *lockedPicture(int pair) const { return m_locked[static_cast<std::size_t>(pair)]; }
    PictureControl *unlockedPicture(int pair) const { return m_unlocked[static_cast<std::size_t>(pair)]; }
    QLineEdit *Edit4() const { return m_edit4; }
    PictureControl *MUTE_OFF_ALL() const { return m_muteOffAll; }
    PictureControl *MUTE_ON_ALL() const { return m_muteOnAll; }
    PictureControl *Image4() const { return m_image4; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void placeControls();
    void connectEvents();
    void describeControls();

    const tGroupItem *selectedGroup() const;
    // The core takes what the faders hold, as a drag does.
    void dragTo(const tGroupItem &draft);
    void showFaders(const tGroupItem &group);
    void wrapCursorAtScreenEdge();
    void flipLink(GroupLink link);
    void muteAll(bool on);

    ControllerCore &m_core;
    std::function<quint64()> m_selectedGroup;
    FaderTable m_faders;
    QTimer m_faderParameterSend;

    std::array<QLabel *, 3> m_headings{};
    std::array<PictureControl *, 3> m_locked{};
    std::array<PictureControl *, 3> m_unlocked{};
    std::array<FaderPanel *, FaderTable::kCount> m_panels{};
    QLabel *m_descriptionLabel = nullptr;
    QLineEdit *m_edit4 = nullptr;
    PictureControl *m_muteOffAll = nullptr;
    PictureControl *m_muteOnAll = nullptr;
    PictureControl *m_image4 = nullptr;
};
