// What the windows offer an operator beyond the layout: keyboard shortcuts,
// tooltips, and accessible names and roles by which assistive tools find
// every control, over all windows of the program, offscreen. No amplifier
// is involved: the tables stay empty and nothing is polled.

#include "aboutwindow.h"
#include "controllerwindows.h"
#include "diagramwindow.h"
#include "groupdialog.h"
#include "ledbar.h"
#include "mainwindow.h"
#include "networkstatwindow.h"
#include "picturecontrol.h"
#include "scanwindow.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kNoRole = -1;

// The interface under root, depth first, that has this role and name.
QAccessibleInterface *findAccessible(QAccessibleInterface *root, QAccessible::Role role, const QString &name)
{
    if (!root)
        return nullptr;
    if (root->role() == role && root->text(QAccessible::Name) == name)
        return root;
    for (int i = 0; i < root->childCount(); ++i) {
        if (QAccessibleInterface *found = findAccessible(root->child(i), role, name))
            return found;
    }
    return nullptr;
}

// The controls an operator works with or reads a state from; Qt's own inner
// parts (named qt_...) speak for themselves.
bool isControl(const QWidget *widget)
{
    if (widget->objectName().startsWith(u"qt_"))
        return false;
    return qobject_cast<const PictureControl *>(widget) || qobject_cast<const TDDLedBar *>(widget)
           || qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QComboBox *>(widget)
           || qobject_cast<const QAbstractButton *>(widget) || qobject_cast<const QPlainTextEdit *>(widget)
           || (qobject_cast<const QAbstractItemView *>(widget) && !qobject_cast<const QHeaderView *>(widget));
}

} // namespace

class tst_OperatorHelp final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void shortcutsTooltipsAndNames_data();
    void shortcutsTooltipsAndNames();
    void everyControlHasAName();

private:
    QWidget *windowOf(const QString &key) const;
    QList<QWidget *> windows() const;

    std::unique_ptr<ControllerWindows> m_windows;
};

void tst_OperatorHelp::init()
{
    m_windows = std::make_unique<ControllerWindows>();
}

void tst_OperatorHelp::cleanup()
{
    m_windows.reset();
}

QWidget *tst_OperatorHelp::windowOf(const QString &key) const
{
    const QHash<QString, QWidget *> byKey{{u"main"_s, &m_windows->Form1()}, {u"scan"_s, &m_windows->Form3()},
                                          {u"netstat"_s, &m_windows->Form6()}, {u"group"_s, &m_windows->Form8()},
                                          {u"diagram"_s, &m_windows->Form4()}, {u"about"_s, &m_windows->Form2()}};
    return byKey.value(key);
}

QList<QWidget *> tst_OperatorHelp::windows() const
{
    return {&m_windows->Form1(), &m_windows->Form3(), &m_windows->Form6(),
            &m_windows->Form8(), &m_windows->Form4(), &m_windows->Form2()};
}

// object: an object name, a menu item's text, or empty for the window
// itself. role kNoRole: no accessibility check; an empty tooltip: none is
// expected; a shortcut is checked on a menu item, and sent to a window.
void tst_OperatorHelp::shortcutsTooltipsAndNames_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("object");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("shortcut");

    const auto row = [](const char *window, const char *object, int role, const QString &name,
                        const QString &toolTip = {}, const QString &shortcut = {}) {
        QTest::addRow("%s %s", window, *object ? object : "window")
            << QString::fromLatin1(window) << QString::fromLatin1(object) << role << name << toolTip << shortcut;
    };
    using A = QAccessible;
    const QString fader = u"Drag up or down; hold Shift for fine steps"_s;

    row("main", "Open...", kNoRole, {}, {}, u"Ctrl+O"_s);
    row("main", "Save as...", kNoRole, {}, {}, u"Ctrl+Shift+S"_s);
    row("main", "Exit", kNoRole, {}, {}, u"Ctrl+Q"_s);
    row("main", "TreeView1", A::Tree, u"Device tree"_s,
        u"Groups and their amplifiers; a right click adds or deletes them"_s);
    row("main", "Button1", A::Button, u"Scan"_s, u"Searches a range of addresses for amplifiers"_s);
    row("main", "CheckBox1", A::CheckBox, u"Show IP"_s,
        u"Shows each amplifier's address beside its name in the tree"_s);
    row("main", "FaderImg1", A::Slider, u"Volume A fader"_s, fader);
    row("main", "FaderImg4", A::Slider, u"Input level B fader"_s, fader);
    row("main", "FaderImg6", A::Slider, u"Limiter B fader"_s, fader);
    row("main", "FaderLedBar5", A::Client, u"Limiter A level"_s);
    row("main", "Vol_L", A::Button, u"Volume channels locked"_s,
        u"Channels A and B move together; click to free them"_s);
    row("main", "Lim_U", A::Button, u"Limiter channels free"_s, u"Click to tie channels A and B together"_s);
    row("main", "MUTE_ON_ALL", A::Button, u"Mute group"_s,
        u"Mutes both channels of every amplifier in this group"_s);
    row("main", "MUTE_OFF_ALL", A::Button, u"Un-mute group"_s,
        u"Un-mutes both channels of every amplifier in this group"_s);
    row("main", "Image4", A::Button, u"Limiter warning"_s,
        u"The limiter is set above 100 V, the most a T1900 of this group takes; click to mute the group"_s);
    row("main", "Edit4", A::EditableText, u"Group description"_s,
        u"Press Enter to keep the text; leaving without Enter brings the old one back"_s);
    row("main", "AS_A_O", A::Graphic, u"Channel A OK"_s, u"Channel A works"_s);
    row("main", "AS_B_F", A::Graphic, u"Channel B fault"_s, u"Channel B reports a fault"_s);
    row("main", "MUTE_ON_A", A::Button, u"Channel A muted"_s, u"Channel A is muted; click to un-mute it"_s);
    row("main", "MUTE_OFF_B", A::Button, u"Channel B playing"_s, u"Channel B is not muted; click to mute it"_s);
    row("main", "Image6", A::Button, u"Diagram"_s, u"Shows this amplifier's histories of the last 100 minutes"_s);
    row("main", "Image21", A::Graphic, u"Channel B output peak voltage caption"_s);
    row("main", "DDLedBar10", A::Client, u"Channel B output power"_s);
    row("main", "DDLedBar11", A::Client, u"AC input voltage"_s);
    row("main", "GroupComboBox", A::ComboBox, u"Group"_s, u"Pick a group to move this amplifier there"_s);
    row("main", "PD_Network_Name", A::EditableText, u"Name"_s,
        u"Type a new name (up to 5 letters, digits or spaces) and press Enter"_s);
    row("main", "PD_Network_Group", A::EditableText, u"Group entry"_s,
        u"Type a group and press Enter to move this amplifier there"_s);
    row("scan", "", kNoRole, {}, {}, u"Esc"_s);
    row("scan", "Button1", A::Button, u"Scan"_s, u"Asks every address from First IP to Last IP"_s);
    row("scan", "Edit2", A::EditableText, u"Last IP"_s);
    row("scan", "ListBox1", A::List, u"Scanned addresses"_s,
        u"Found: an amplifier answered there. Not found: nothing answered as one"_s);
    row("netstat", "", kNoRole, {}, {}, u"Esc"_s);
    row("netstat", "ListBox1", A::List, u"Exchanges per amplifier"_s);
    row("diagram", "", kNoRole, {}, {}, u"Esc"_s);
    row("diagram", "Image1", A::Graphic, u"Histories of the last 100 minutes"_s);
    row("about", "", kNoRole, {}, {}, u"Esc"_s);
    row("about", "Memo1", A::EditableText, u"About"_s);
    row("group", "Edit1", A::EditableText, u"Group name"_s);
}

void tst_OperatorHelp::shortcutsTooltipsAndNames()
{
    QFETCH(QString, window);
    QFETCH(QString, object);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(QString, toolTip);
    QFETCH(QString, shortcut);
    QWidget *top = windowOf(window);
    QVERIFY(top);

    if (object.isEmpty()) {
        // Escape closes the window.
        top->show();
        top->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(top));
        QTest::keySequence(top, QKeySequence(shortcut));
        QTRY_VERIFY(!top->isVisible());
        return;
    }

    if (!shortcut.isEmpty()) {
        const QList<QAction *> actions = top->findChildren<QAction *>();
        const auto item = std::find_if(actions.cbegin(), actions.cend(),
                                       [&](const QAction *action) { return action->text() == object; });
        QVERIFY(item != actions.cend());
        QCOMPARE((*item)->shortcut().toString(QKeySequence::PortableText), shortcut);
        QCOMPARE((*item)->text(), object);  // the shortcut shows beside the text, never in it
        return;
    }

    auto *control = top->findChild<QWidget *>(object);
    QVERIFY(control);
    QCOMPARE(control->toolTip(), toolTip);
    if (role == kNoRole)
        return;
    QAccessibleInterface *found =
        findAccessible(QAccessible::queryAccessibleInterface(top), QAccessible::Role(role), name);
    QVERIFY2(found, qPrintable(u"no %1 named \"%2\""_s.arg(role).arg(name)));
    QCOMPARE(found->object(), static_cast<QObject *>(control));
}

// Pictures, bars, fields, buttons and lists in every window, hidden ones too.
void tst_OperatorHelp::everyControlHasAName()
{
    QStringList unnamed;
    for (QWidget *top : windows()) {
        for (QWidget *widget : top->findChildren<QWidget *>()) {
            if (widget->window() != top || !isControl(widget))
                continue;
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
            if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
                unnamed.append(top->windowTitle() + u": "_s + QString::fromLatin1(widget->metaObject()->className()) + u' '
                               + widget->objectName());
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", "_s)));
}

QTEST_MAIN(tst_OperatorHelp)
#include "tst_operatorhelp.moc"
