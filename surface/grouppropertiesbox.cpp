#include "grouppropertiesbox.h"

#include "artpaths.h"
#include "controllercore.h"
#include "faderpanel.h"
#include "grouptable.h"
#include "ledbar.h"
#include "operatorhelp.h"
#include "picturecontrol.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRegion>
#include <QScreen>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr int kColumnLefts[] = {16, 240, 464};
constexpr int kHeadingTop = 24;
constexpr int kHeadingWidth = 177;
constexpr int kLinkLeftInset = 8;
constexpr int kLinkTop = 40;
constexpr int kPanelLefts[] = {16, 112, 240, 336, 464, 560};
constexpr int kPanelTop = 56;
constexpr QRect kDescriptionLabel{648, 24, 136, 13};
constexpr QRect kDescriptionField{648, 40, 136, 21};
// A project file keeps this much of a value; a longer description would be
// cut when the project is opened again.
constexpr int kDescriptionMaxLength = 2047;
constexpr int kMuteOffAllTop = 96;
constexpr int kMuteOnAllTop = 200;
constexpr int kWarningTop = 272;

} // namespace

GroupPropertiesBox::GroupPropertiesBox(ControllerCore &core, std::function<quint64()> selectedGroup,
                                       QWidget *parent)
    : QGroupBox(u" Group properties "_s, parent),
      m_core(core),
      m_selectedGroup(std::move(selectedGroup))
{
    createControls();
    placeControls();
    connectEvents();
    describeControls();
}

void GroupPropertiesBox::createControls()
{
    const QString headings[] = {u"Volume"_s, u"Input level"_s, u"Limiter"_s};
    for (std::size_t column = 0; column < m_headings.size(); ++column) {
        QLabel *heading = new QLabel(headings[column], this);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        heading->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        m_headings[column] = heading;
        m_locked[column] = new PictureControl(ArtPath::LinkLocked, this);
        m_unlocked[column] = new PictureControl(ArtPath::LinkUnlocked, this);
    }
    for (int entry = 1; entry <= FaderTable::kCount; ++entry)
        m_panels[static_cast<std::size_t>(entry - 1)] = new FaderPanel(m_faders[entry].maximum, this);

    m_descriptionLabel = new QLabel(u"Group description:"_s, this);
    m_edit4 = new QLineEdit(this);
    m_edit4->setMaxLength(kDescriptionMaxLength);
    m_muteOffAll = new PictureControl(ArtPath::MuteOffAll, this);
    m_muteOnAll = new PictureControl(ArtPath::MuteOnAll, this);
    m_image4 = new PictureControl(ArtPath::LimiterWarning, this);
    m_image4->hide();
}

void GroupPropertiesBox::placeControls()
{
    resize(kSize);
    for (std::size_t column = 0; column < m_headings.size(); ++column) {
        const int left = kColumnLefts[column];
        m_headings[column]->setGeometry(left, kHeadingTop, kHeadingWidth, 13);
        m_locked[column]->setGeometry(QRect(QPoint(left + kLinkLeftInset, kLinkTop), kLinkSize));
        m_unlocked[column]->setGeometry(QRect(QPoint(left + kLinkLeftInset, kLinkTop), kLinkSize));
    }
    for (std::size_t i = 0; i < m_panels.size(); ++i)
        m_panels[i]->setGeometry(QRect(QPoint(kPanelLefts[i], kPanelTop), FaderPanel::kSize));
    m_descriptionLabel->setGeometry(kDescriptionLabel);
    m_edit4->setGeometry(kDescriptionField);
    m_muteOffAll->setGeometry(QRect(QPoint(kRightColumnLeft, kMuteOffAllTop), kMuteButtonSize));
    m_muteOnAll->setGeometry(QRect(QPoint(kRightColumnLeft, kMuteOnAllTop), kMuteButtonSize));
    m_image4->setGeometry(QRect(QPoint(kRightColumnLeft, kWarningTop), kWarningSize));
}

void GroupPropertiesBox::connectEvents()
{
    for (int entry = 1; entry <= FaderTable::kCount; ++entry) {
        PictureControl *knob = FaderImg(entry);
        connect(knob, &PictureControl::mousePressed, this, [this, entry] { FaderImg1MouseDown(entry); });
        connect(knob, &PictureControl::mouseMoved, this, &GroupPropertiesBox::FaderImg1MouseMove);
        connect(knob, &PictureControl::mouseReleased, this, &GroupPropertiesBox::FaderImg1MouseUp);
    }
    void (GroupPropertiesBox::*const linkClicks[])() = {&GroupPropertiesBox::Vol_LClick,
                                                        &GroupPropertiesBox::Sen_LClick,
                                                        &GroupPropertiesBox::Lim_LClick};
    for (std::size_t pair = 0; pair < m_locked.size(); ++pair) {
        connect(m_locked[pair], &PictureControl::clicked, this, linkClicks[pair]);
        connect(m_unlocked[pair], &PictureControl::clicked, this, linkClicks[pair]);
    }
    connect(m_muteOnAll, &PictureControl::clicked, this, &GroupPropertiesBox::MUTE_ON_ALLClick);
    connect(m_image4, &PictureControl::clicked, this, &GroupPropertiesBox::MUTE_ON_ALLClick);
    connect(m_muteOffAll, &PictureControl::clicked, this, &GroupPropertiesBox::MUTE_OFF_ALLClick);
    connect(m_edit4, &QLineEdit::returnPressed, this, &GroupPropertiesBox::Edit4KeyDown);
    m_edit4->installEventFilter(this);
    m_faderParameterSend.setInterval(kFaderParameterSendIntervalMs);
    connect(&m_faderParameterSend, &QTimer::timeout, this, &GroupPropertiesBox::FaderParameterSendTimer);
}

// Names after the layout's controls; tooltips where a newcomer would not
// guess what a press or a drag does.
void GroupPropertiesBox::describeControls()
{
    const QString faders[] = {u"Volume A"_s, u"Volume B"_s, u"Input level A"_s, u"Input level B"_s,
                              u"Limiter A"_s, u"Limiter B"_s};
    for (int entry = 1; entry <= FaderTable::kCount; ++entry) {
        const QString &name = faders[entry - 1];
        const QString number = QString::number(entry);
        describeControl(FaderImg(entry), u"FaderImg"_s + number, name + u" fader"_s,
                        u"Drag up or down; hold Shift for fine steps"_s);
        FaderImg(entry)->setAccessibleRole(QAccessible::Slider);
        describeControl(faderPanel(entry)->track(), u"FaderTrack"_s + number, name + u" scale"_s);
        describeControl(faderPanel(entry)->ledBar(), u"FaderLedBar"_s + number, name + u" level"_s);
    }
    const QString pairs[] = {u"Vol"_s, u"Sen"_s, u"Lim"_s};
    const QString columns[] = {u"Volume"_s, u"Input level"_s, u"Limiter"_s};
    for (std::size_t pair = 0; pair < m_locked.size(); ++pair) {
        describeControl(m_locked[pair], pairs[pair] + u"_L"_s, columns[pair] + u" channels locked"_s,
                        u"Channels A and B move together; click to free them"_s);
        describeControl(m_unlocked[pair], pairs[pair] + u"_U"_s, columns[pair] + u" channels free"_s,
                        u"Click to tie channels A and B together"_s);
        m_locked[pair]->setAccessibleRole(QAccessible::Button);
        m_unlocked[pair]->setAccessibleRole(QAccessible::Button);
    }
    describeControl(m_edit4, u"Edit4"_s, u"Group description"_s,
                    u"Press Enter to keep the text; leaving without Enter brings the old one back"_s);
    describeControl(m_muteOffAll, u"MUTE_OFF_ALL"_s, u"Un-mute group"_s,
                    u"Un-mutes both channels of every amplifier in this group"_s);
    describeControl(m_muteOnAll, u"MUTE_ON_ALL"_s, u"Mute group"_s,
                    u"Mutes both channels of every amplifier in this group"_s);
    describeControl(m_image4, u"Image4"_s, u"Limiter warning"_s,
                    u"The limiter is set above 100 V, the most a T1900 of this group takes; "
                    "click to mute the group"_s);
    for (PictureControl *button : {m_muteOffAll, m_muteOnAll, m_image4})
        button->setAccessibleRole(QAccessible::Button);
}

PictureControl *GroupPropertiesBox::FaderImg(int entry) const
{
    return faderPanel(entry)->knob();
}

QLabel *GroupPropertiesBox::valueLabel(int entry) const
{
    return faderPanel(entry)->valueLabel();
}

const tGroupItem *GroupPropertiesBox::selectedGroup() const
{
    return m_core.group(m_selectedGroup());
}

void GroupPropertiesBox::dragTo(const tGroupItem &draft)
{
    m_core.dragGroupSettings(draft.id, FaderTable::valuesOf(draft));
}

void GroupPropertiesBox::refresh()
{
    const tGroupItem *group = selectedGroup();
    if (!group) {
        if (isVisible())
            hide();
        return;
    }
    if (isHidden())
        show();
    if (!m_edit4->hasFocus())
        m_edit4->setText(group->description);
    tGroupItem draft = *group;
    m_faders.loadGroup(draft);
    dragTo(draft);
    showFaders(*group);
    m_image4->setVisible(m_core.limiterWarning(group->id));
    for (std::size_t pair = 0; pair < m_locked.size(); ++pair) {
        const bool locked = FaderTable::linked(*group, FaderTable::VolumeA + 2 * int(pair));
        m_locked[pair]->setVisible(locked);
        m_unlocked[pair]->setVisible(!locked);
    }
}

void GroupPropertiesBox::showFaders(const tGroupItem &group)
{
    for (int entry = 1; entry <= FaderTable::kCount; ++entry) {
        const tFaderItem &fader = m_faders[entry];
        faderPanel(entry)->display(fader.value, FaderTable::knobRise(fader.value, fader.maximum),
                                   FaderTable::labelText(group, entry));
    }
    // One synchronous repaint of the six panels' area: drawn and put on the
    // screen once per mouse move, not once per panel.
    QRegion panels;
    for (const FaderPanel *panel : m_panels)
        panels += panel->geometry();
    repaint(panels);
}

void GroupPropertiesBox::sendStep()
{
    if (m_faders.dragging())
        m_core.sendGroupSettings(m_selectedGroup());
}

void GroupPropertiesBox::FaderImg1MouseDown(int entry)
{
    m_faders.press(entry, QCursor::pos().y());
}

void GroupPropertiesBox::FaderImg1MouseMove(Qt::KeyboardModifiers modifiers)
{
    if (!m_faders.dragging())
        return;
    // The cursor's screen row, not the event's position: the knob itself
    // moves under the cursor, and the cursor may have been wrapped.
    const tGroupItem *group = selectedGroup();
    std::optional<tGroupItem> draft;
    if (group)
        draft = *group;
    m_faders.move(QCursor::pos().y(), modifiers.testFlag(Qt::ShiftModifier), draft ? &*draft : nullptr);
    if (draft) {
        dragTo(*draft);
        showFaders(*group);
    }
    wrapCursorAtScreenEdge();
}

void GroupPropertiesBox::FaderImg1MouseUp()
{
    const bool dragged = m_faders.dragging();
    m_faders.release();
    if (dragged)
        m_core.groupSettingsSet(m_selectedGroup(), CommandSource::window());
}

// A drag never stops at the top or bottom of the screen: the cursor goes on
// from the other edge, and the jump itself is not a movement. It lands one
// row inside that edge: putting the cursor there moves it, and on the edge
// row itself that move would wrap it straight back, again and again.
void GroupPropertiesBox::wrapCursorAtScreenEdge()
{
    const QPoint cursor = QCursor::pos();
    const QScreen *screen = QGuiApplication::screenAt(cursor);
    if (!screen)
        screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    int row = cursor.y();
    if (row <= area.top())
        row = area.bottom() - 1;
    else if (row >= area.bottom())
        row = area.top() + 1;
    else
        return;
    QCursor::setPos(cursor.x(), row);
    m_faders.cursorMovedTo(QCursor::pos().y());
}

void GroupPropertiesBox::flipLink(GroupLink link)
{
    if (const tGroupItem *group = selectedGroup())
        m_core.setGroupLink(group->id, link, !group->linked(link), CommandSource::window());
}

void GroupPropertiesBox::muteAll(bool on)
{
    m_core.muteGroup(m_selectedGroup(), on, CommandSource::window());
}

void GroupPropertiesBox::Edit4KeyDown()
{
    if (const tGroupItem *group = selectedGroup())
        m_core.setGroupDescription(group->id, m_edit4->text(), CommandSource::window());
}

// Text typed without Enter is dropped when the field loses the focus.
void GroupPropertiesBox::Edit4Exit()
{
    if (const tGroupItem *group = selectedGroup())
        m_edit4->setText(group->description);
}

bool GroupPropertiesBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit4 && event->type() == QEvent::FocusOut)
        Edit4Exit();
    return QGroupBox::eventFilter(watched, event);
}
