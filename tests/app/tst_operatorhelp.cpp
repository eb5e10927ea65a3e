// Shortcuts, Escape, tooltips and the accessible roles and names by which
// assistive tools find the controls, over every window, offscreen, with
// empty tables (nothing is polled).

#include "aboutwindow.h"
#include "controllerwindows.h"
#include "diagramwindow.h"
#include "eventswindow.h"
#include "fleetwindow.h"
#include "fleetwindows.h"
#include "groupdialog.h"
#include "ledbar.h"
#include "mainwindow.h"
#include "networkstatwindow.h"
#include "picturecontrol.h"
#include "scanwindow.h"
#include "sceneswindow.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QMetaEnum>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QAccessibleInterface *findAccessible(QAccessibleInterface *root, QAccessible::Role role, const QString &name)
{
    if (!root || (root->role() == role && root->text(QAccessible::Name) == name))
        return root;
    for (int i = 0; i < root->childCount(); ++i) {
        if (QAccessibleInterface *found = findAccessible(root->child(i), role, name))
            return found;
    }
    return nullptr;
}

// What an operator works with or reads a state from; Qt's inner parts
// (named qt_...) speak for themselves.
bool isControl(const QWidget *w)
{
    return !w->objectName().startsWith(u"qt_")
           && (qobject_cast<const PictureControl *>(w) || qobject_cast<const TDDLedBar *>(w)
               || qobject_cast<const QLineEdit *>(w) || qobject_cast<const QComboBox *>(w)
               || qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QPlainTextEdit *>(w)
               || (qobject_cast<const QAbstractItemView *>(w) && !qobject_cast<const QHeaderView *>(w)));
}

} // namespace

class tst_OperatorHelp final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_windows = std::make_unique<ControllerWindows>(); }
    void cleanup() { m_windows.reset(); }
    void windowsHelpTheOperator_data();
    void windowsHelpTheOperator();

private:
    std::unique_ptr<ControllerWindows> m_windows;
};

// object: an object name, a menu item's text (expected: its shortcut), or
// empty for the window (expected: the key that closes it). Otherwise
// expected is the control's accessible role and name, "role:name", and a
// trailing "?" asks for a tooltip as well.
void tst_OperatorHelp::windowsHelpTheOperator_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *window, const char *object, const char *expected) {
        QTest::addRow("%s %s", window, object) << QString::fromLatin1(window) << QString::fromLatin1(object)
                                               << QString::fromLatin1(expected);
    };
    row("main", "Open...", "Ctrl+O");
    row("main", "Save as...", "Ctrl+Shift+S");
    row("main", "Exit", "Ctrl+Q");
    row("main", "Scenes", "");  // no key recalls a scene from here
    row("main", "TreeView1", "Tree:Device tree?");
    row("main", "Button1", "Button:Scan?");
    row("main", "CheckBox1", "CheckBox:Show IP?");
    row("main", "FaderImg1", "Slider:Volume A fader?");
    row("main", "FaderImg6", "Slider:Limiter B fader?");
    row("main", "Vol_L", "Button:Volume channels locked?");
    row("main", "Lim_U", "Button:Limiter channels free?");
    row("main", "MUTE_ON_ALL", "Button:Mute group?");
    row("main", "MUTE_OFF_ALL", "Button:Un-mute group?");
    row("main", "Image4", "Button:Limiter warning?");
    row("main", "Edit4", "EditableText:Group description?");
    row("main", "AS_B_F", "Graphic:Channel B fault?");
    row("main", "MUTE_ON_A", "Button:Channel A muted?");
    row("main", "Image6", "Button:Diagram?");
    row("main", "DDLedBar10", "ProgressBar:Channel B output power");
    row("main", "GroupComboBox", "ComboBox:Group?");
    row("main", "PD_Network_Name", "EditableText:Name?");
    row("main", "PD_Network_Group", "EditableText:Group entry?");
    row("scan", "", "Esc");
    row("scan", "Button1", "Button:Scan?");
    row("netstat", "", "Esc");
    row("netstat", "ListBox1", "List:Exchanges per amplifier");
    row("diagram", "", "Esc");
    row("about", "", "Esc");
    row("about", "Memo1", "EditableText:About");
    row("group", "Edit1", "EditableText:Group name");
    row("fleet", "", "Esc");
    row("fleet", "FleetFilter", "EditableText:Filter?");
    row("fleet", "WorstFirst", "Button:Worst first?");
    row("fleet", "FleetTable", "Table:Fleet table?");
    row("events", "", "Esc");
    row("events", "EventTable", "Table:Event log?");
    row("events", "ExportEvents", "Button:Export events?");
    row("scenes", "", "Esc");
    row("scenes", "SceneTable", "Tree:Scenes?");
    row("scenes", "RecallScene", "Button:Recall?");
    row("scenes", "SceneName", "EditableText:Scene name?");
    row("scenes", "DeleteScene", "Button:Delete?");
    row("scenes", "SceneAllGroups", "CheckBox:All groups?");
    row("scenes", "SceneFade", "SpinBox:Fade?");
    row("scenes", "RecallSafeGroups", "List:Recall-safe groups?");
}

void tst_OperatorHelp::windowsHelpTheOperator()
{
    QFETCH(QString, window);
    QFETCH(QString, object);
    QFETCH(QString, expected);
    const QHash<QString, QWidget *> windows{{u"main"_s, &m_windows->Form1()}, {u"scan"_s, &m_windows->Form3()},
                                            {u"netstat"_s, &m_windows->Form6()}, {u"group"_s, &m_windows->Form8()},
                                            {u"diagram"_s, &m_windows->Form4()}, {u"about"_s, &m_windows->Form2()},
                                            {u"fleet"_s, &m_windows->fleet().fleet()},
                                            {u"events"_s, &m_windows->fleet().events()},
                                            {u"scenes"_s, &m_windows->scenesWindow()}};
    QWidget *top = windows.value(window);
    if (object.isEmpty()) {
        top->show();
        top->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(top));
        QTest::keySequence(top, QKeySequence(expected));
        QTRY_VERIFY(!top->isVisible());
    } else if (auto *control = top->findChild<QWidget *>(object)) {
        const QStringList parts = expected.chopped(expected.endsWith(u'?') ? 1 : 0).split(u':');
        const int role = QMetaEnum::fromType<QAccessible::Role>().keyToValue(parts[0].toLatin1().constData());
        const QAccessibleInterface *found =
            findAccessible(QAccessible::queryAccessibleInterface(top), QAccessible::Role(role), parts[1]);
        QVERIFY2(found && found->object() == control, qPrintable(expected));
        QCOMPARE(!control->toolTip().isEmpty(), expected.endsWith(u'?'));
    } else {
        const QList<QAction *> actions = top->findChildren<QAction *>();
        const auto item = std::find_if(actions.cbegin(), actions.cend(),
                                       [&](const QAction *action) { return action->text() == object; });
        QVERIFY(item != actions.cend());
        QCOMPARE((*item)->shortcut().toString(QKeySequence::PortableText), expected);
    }

    // No control in this window without an accessible name, hidden ones too.
    for (QWidget *widget : top->findChildren<QWidget *>()) {
        if (widget->window() == top && isControl(widget)) {
            const QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
            QVERIFY2(!accessible->text(QAccessible::Name).trimmed().isEmpty(), widget->metaObject()->className());
        }
    }
}

QTEST_MAIN(tst_OperatorHelp)
#include "tst_operatorhelp.moc"
