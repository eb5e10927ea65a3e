#pragma once

// The " Group properties " box: the selected group as a small mixing desk.
// Six faders (volume, input level and limiter for channels A and B), three
// link toggles, the group description, the mute-all and un-mute-all buttons
// and the limiter warning. Dragging a fader changes the selected group at
// once; the settings reach its devices through the group settings command.
//
// It shows the core's group table and the selection it is given, owns the
// fader table, and gives its commands to the core. Main thread only.

#include "fadertable.h"

#include <QGroupBox>

#include <array>
#include <functional>

class ControllerCore;
class FaderPanel;
class PictureControl;
class QLabel;
class QLineEdit;
struct tGroupItem;

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

    // selectedGroupSlot: 1-based slot of the selected group, 0 for none.
    GroupPropertiesBox(ControllerCore &core, std::function<int()> selectedGroupSlot, QWidget *parent = nullptr);

    // The 200 ms refresh: shows or hides the box, copies the description
    // unless the operator is typing in it, reloads the faders from the group,
    // and sets the limiter warning and the link pictures.
    void refresh();
    // Queues the group settings command to the selected group's devices while
    // a fader is dragged; the 150 ms timer and the knob release run it.
    void sendStep();

    // Event handlers, named after their control and event; entry is 1..6.
    void FaderImg1MouseDown(int entry);
    void FaderImg1MouseMove(Qt::KeyboardModifiers modifiers);
    void FaderImg1MouseUp();
    void Vol_LClick() { flipLink(FaderTable::VolumeA); }
    void Sen_LClick() { flipLink(FaderTable::InputLevelA); }
    void Lim_LClick() { flipLink(FaderTable::LimiterA); }
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

    tGroupItem *selectedGroup() const;
    // Stores the faders into the group and shows them.
    void applyFaders(tGroupItem &group);
    void showFaders(const tGroupItem &group);
    void wrapCursorAtScreenEdge();
    void flipLink(int pairFirstEntry);
    void muteAll(bool on);

    ControllerCore &m_core;
    std::function<int()> m_selectedGroupSlot;
    FaderTable m_faders;

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
