// The "Search Amplifier" window, offscreen. Every scan here runs over
// loopback addresses set in the fields first; the default range is never
// scanned.

#include "addressscan.h"
#include "ampsimulator.h"
#include "fixedpitchfaces.h"
#include "fixedpitchfont.h"
#include "scanwindow.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;
using Fault = AmpSimulator::Fault;

namespace {

struct Calls
{
    QStringList devices;  // "name|group|address"
    int after = 0;
    QList<bool> buttonEnabledDuringScan;
    bool tableHasRoom = true;
};

QStringList listRows(const QListWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows.append(list->item(i)->text());
    return rows;
}

}  // namespace

class tst_ScanWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void initialState();
    void fixedPitchFamilyChoice_data();
    void fixedPitchFamilyChoice();
    void fieldsUseAVerifiedFixedFont();
    void scanRows();
    void noScanInsideAScan();
    void tableFullToldOnce();
    void invalidFieldRefusesScan_data();
    void invalidFieldRefusesScan();
    void enterValidates_data();
    void enterValidates();
    void leavingValidatesOnce();
    void leavingValidFieldSaysNothing();
    void closeHidesAndKeepsFields();
    void quitEndsScan();

private:
    std::unique_ptr<TForm3> makeWindow();
    void setRange(const QString &first, const QString &last);
    void showActive();

    AmpSimulator m_sim;
    quint16 m_port = 0;
    Calls m_calls;
    QStringList m_messages;
    std::unique_ptr<TForm3> m_window;
};

void tst_ScanWindow::initTestCase()
{
    m_port = m_sim.start({{u"127.0.0.2"_s, "AMP1 ", "STAGE"},
                          {u"127.0.0.3"_s, "WEB  ", "OTHER"},
                          {u"127.0.0.4"_s, "AMP2 ", "FOH  "}});
    QVERIFY(m_port != 0);
}

void tst_ScanWindow::init()
{
    for (int amp = 0; amp < m_sim.ampCount(); ++amp)
        m_sim.setFault(amp, Fault::None);
    m_sim.setFault(1, Fault::OtherLength);
    m_calls = {};
    m_messages.clear();
    m_window = makeWindow();
}

void tst_ScanWindow::cleanup()
{
    m_window.reset();
}

std::unique_ptr<TForm3> tst_ScanWindow::makeWindow()
{
    TForm3::Hooks hooks;
    hooks.addOrUpdateDevice = [this](const QString &name, const QString &group, const QString &address) {
        if (!m_calls.tableHasRoom)
            return false;
        m_calls.devices.append(name + u'|' + group + u'|' + address);
        return true;
    };
    hooks.afterAddress = [this] {
        ++m_calls.after;
        if (const TForm3 *window = m_window.get())
            m_calls.buttonEnabledDuringScan.append(window->Button1()->isEnabled());
    };
    auto window = std::make_unique<TForm3>(m_port, std::move(hooks));
    window->setMessageFunction([this](QWidget *, const QString &text) { m_messages.append(text); });
    return window;
}

void tst_ScanWindow::setRange(const QString &first, const QString &last)
{
    m_window->Edit1()->setText(first);
    m_window->Edit2()->setText(last);
}

void tst_ScanWindow::showActive()
{
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void tst_ScanWindow::initialState()
{
    TForm3 &w = *m_window;
    QCOMPARE(w.windowTitle(), u"Search Amplifier"_s);
    QVERIFY(!w.isModal());
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.Edit1()->text(), u"192.168.1.110"_s);
    QCOMPARE(w.Edit2()->text(), u"192.168.1.119"_s);
    QCOMPARE(w.Button1()->text(), u"Scan"_s);
    QCOMPARE(w.ListBox1()->count(), 0);
    QCOMPARE(w.ListBox1()->objectName(), u"ListBox1"_s);
    QStringList labels;
    for (const QLabel *label : w.findChildren<QLabel *>())
        labels.append(label->text());
    labels.sort();
    QCOMPARE(labels, QStringList({u"First IP"_s, u"Last IP"_s}));
    // Every control lies inside the fixed window.
    for (const QWidget *child : w.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QVERIFY2(w.rect().contains(child->geometry()), qPrintable(child->objectName()));

    showActive();
    if (const QString dir = qEnvironmentVariable("AMP_TEST_OUTPUT"); !dir.isEmpty()) {
        setRange(u"127.0.0.2"_s, u"127.0.0.3"_s);
        w.Button2Click();
        QDir().mkpath(dir);
        w.grab().save(dir + u"/scanwindow.png"_s);
    }
}

// Families stand in for fonts here: the choice must not trust a name that
// resolves to a proportional face.
void tst_ScanWindow::fixedPitchFamilyChoice_data()
{
    QTest::addColumn<QStringList>("candidates");
    QTest::addColumn<QStringList>("fixed");
    QTest::addColumn<QString>("chosen");

    QTest::newRow("system family is fixed") << QStringList{u"Mono"_s, u"Courier"_s}
        << QStringList{u"Mono"_s, u"Courier"_s} << u"Mono"_s;
    QTest::newRow("system family resolves proportional") << QStringList{u"Mono"_s, u"Courier"_s}
        << QStringList{u"Courier"_s} << u"Courier"_s;
    QTest::newRow("none fixed") << QStringList{u"Mono"_s, u"Sans"_s} << QStringList{} << QString();
}

void tst_ScanWindow::fixedPitchFamilyChoice()
{
    QFETCH(QStringList, candidates);
    QFETCH(QStringList, fixed);
    QFETCH(QString, chosen);
    QCOMPARE(firstFixedPitchFamily(candidates, [&](const QString &family) { return fixed.contains(family); }),
             chosen);
}

// Whatever fonts the machine has: when any installed face is fixed pitch,
// the fields' fonts resolve to a fixed-pitch one.
void tst_ScanWindow::fieldsUseAVerifiedFixedFont()
{
    if (!anyFixedPitchFaceInstalled())
        QSKIP("no font face on this machine resolves to fixed pitch");
    TForm3 &w = *m_window;
    QVERIFY(QFontInfo(w.Edit1()->font()).fixedPitch());
    QVERIFY(QFontInfo(w.Edit2()->font()).fixedPitch());
}

void tst_ScanWindow::scanRows()
{
    m_window->ListBox1()->addItem(u"from an earlier scan"_s);
    setRange(u"127.0.0.2"_s, u" 127.0.0.4 "_s);
    m_window->Button2Click();

    QCOMPARE(listRows(m_window->ListBox1()),
             QStringList({u"127.0.0.2"_s, u"Found"_s, QString(), u"127.0.0.3"_s, u"Not found"_s, QString(),
                          u"127.0.0.4"_s, u"Found"_s, QString()}));
    QCOMPARE(m_calls.devices,
             QStringList({u"AMP1 |STAGE|127.0.0.2"_s, u"AMP2 |FOH  |127.0.0.4"_s}));
    QCOMPARE(m_calls.after, 3);
    QCOMPARE(m_calls.buttonEnabledDuringScan, QList<bool>({false, false, false}));
    QVERIFY(m_window->Button1()->isEnabled());
    QVERIFY(!m_window->scanning());
    QVERIFY(m_messages.isEmpty());
    // The fields are left as typed.
    QCOMPARE(m_window->Edit2()->text(), u" 127.0.0.4 "_s);
}

// Pressing Scan again while events run between addresses starts nothing.
void tst_ScanWindow::noScanInsideAScan()
{
    TForm3::Hooks hooks;
    int nested = 0;
    QPointer<TForm3> self;
    hooks.afterAddress = [&] {
        TForm3 *window = self.data();
        if (!window)
            return;
        QVERIFY(window->scanning());
        window->Button2Click();
        QTest::mouseClick(window->Button1(), Qt::LeftButton);
        ++nested;
    };
    m_window = std::make_unique<TForm3>(m_port, std::move(hooks));
    self = m_window.get();
    setRange(u"127.0.0.2"_s, u"127.0.0.3"_s);
    m_window->Button2Click();
    QCOMPARE(nested, 2);
    QCOMPARE(m_window->ListBox1()->count(), 6);
}

void tst_ScanWindow::tableFullToldOnce()
{
    m_calls.tableHasRoom = false;
    setRange(u"127.0.0.2"_s, u"127.0.0.4"_s);
    m_window->Button2Click();
    QCOMPARE(m_messages, QStringList({TForm3::tableFullText()}));
    QCOMPARE(m_window->ListBox1()->count(), 9);
}

void tst_ScanWindow::invalidFieldRefusesScan_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("invalidField");  // 1 or 2

    QTest::newRow("first unreadable") << u"127.0.0"_s << u"127.0.0.3"_s << 1;
    QTest::newRow("last unreadable") << u"127.0.0.2"_s << u"abc"_s << 2;
    QTest::newRow("both unreadable") << QString() << u"x"_s << 1;
}

void tst_ScanWindow::invalidFieldRefusesScan()
{
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(int, invalidField);

    showActive();
    const auto requests = [this] {
        qsizetype count = 0;
        for (int amp = 0; amp < m_sim.ampCount(); ++amp)
            count += m_sim.requests(amp).size();
        return count;
    };
    const qsizetype before = requests();
    m_window->ListBox1()->addItem(u"from an earlier scan"_s);
    setRange(first, last);
    m_window->Button2Click();

    QCOMPARE(m_messages, QStringList({TForm3::invalidAddressText()}));
    QCOMPARE(m_window->ListBox1()->count(), 0);
    QCOMPARE(m_calls.after, 0);
    QCOMPARE(requests(), before);
    QLineEdit *field = invalidField == 1 ? m_window->Edit1() : m_window->Edit2();
    QTRY_VERIFY(field->hasFocus());
}

void tst_ScanWindow::enterValidates_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("valid");

    QTest::newRow("first, invalid, Return") << 1 << u"127.0.1"_s << int(Qt::Key_Return) << false;
    QTest::newRow("last, invalid, keypad Enter") << 2 << u"1.2.x.4"_s << int(Qt::Key_Enter) << false;
    QTest::newRow("first, valid with blanks") << 1 << u" 127.0.0.2 "_s << int(Qt::Key_Return) << true;
    QTest::newRow("last, five parts") << 2 << u"127.0.0.2.5"_s << int(Qt::Key_Return) << true;
}

void tst_ScanWindow::enterValidates()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(int, key);
    QFETCH(bool, valid);

    showActive();
    QLineEdit *edit = field == 1 ? m_window->Edit1() : m_window->Edit2();
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key(key));

    QCOMPARE(m_messages, valid ? QStringList() : QStringList({TForm3::invalidAddressText()}));
    QCOMPARE(edit->text(), text);
    QTRY_VERIFY(edit->hasFocus());
    // Enter is no press of Scan.
    QCOMPARE(m_calls.after, 0);
    QCOMPARE(m_window->ListBox1()->count(), 0);
}

// With the real message box: leaving an invalid field brings one box, the
// focus goes back, and neither the box nor the return of the focus raises
// another one, even though the other field is invalid too.
void tst_ScanWindow::leavingValidatesOnce()
{
    m_window->setMessageFunction({});
    showActive();
    setRange(u"1.2.3"_s, u"also invalid"_s);
    m_window->Edit1()->setFocus();
    QTRY_VERIFY(m_window->Edit1()->hasFocus());

    QStringList boxes;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [this, &boxes] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxes.append(box->text());
            box->accept();
            // A cascade would nest boxes without end: stop opening real ones
            // so that the comparison below can fail instead of hanging.
            if (boxes.size() >= 3)
                m_window->setMessageFunction([](QWidget *, const QString &) {});
        }
    });
    closer.start(10);

    m_window->Edit2()->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(boxes, QStringList({TForm3::invalidAddressText()}));
    QTRY_VERIFY(m_window->Edit1()->hasFocus());
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(boxes.size(), 1);
}

void tst_ScanWindow::leavingValidFieldSaysNothing()
{
    showActive();
    m_window->Edit1()->setFocus();
    QTRY_VERIFY(m_window->Edit1()->hasFocus());
    m_window->Edit1()->setText(u"127.0.0.300"_s);
    m_window->Edit2()->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(m_window->Edit2()->hasFocus());
    // Then leave an invalid one, to know the validation has had its turn.
    m_window->Edit2()->setText(u"bad"_s);
    m_window->Edit1()->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(m_messages, QStringList({TForm3::invalidAddressText()}));
    QTRY_VERIFY(m_window->Edit2()->hasFocus());
    QCOMPARE(m_window->Edit1()->text(), u"127.0.0.300"_s);
}

void tst_ScanWindow::closeHidesAndKeepsFields()
{
    QPointer<TForm3> window = m_window.get();
    showActive();
    setRange(u"127.0.0.2"_s, u"127.0.0.4"_s);
    QVERIFY(m_window->close());
    QVERIFY(!m_window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(window);
    m_window->show();
    QCOMPARE(m_window->Edit1()->text(), u"127.0.0.2"_s);
    QCOMPARE(m_window->Edit2()->text(), u"127.0.0.4"_s);
}

// The program asked to quit between two addresses: the scan ends there
// instead of running to the end of its range.
void tst_ScanWindow::quitEndsScan()
{
    TForm3::Hooks hooks;
    int after = 0;
    hooks.afterAddress = [&after] {
        if (++after == 1) {
            QEvent quit(QEvent::Quit);
            QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
        }
    };
    m_window = std::make_unique<TForm3>(m_port, std::move(hooks));
    setRange(u"127.0.0.2"_s, u"127.0.0.4"_s);
    m_window->Button2Click();
    QCOMPARE(after, 1);
    QCOMPARE(m_window->ListBox1()->count(), 3);
    QVERIFY(m_window->Button1()->isEnabled());
}

QTEST_MAIN(tst_ScanWindow)
#include "tst_scanwindow.moc"
