// The device panel inside the real main window, offscreen, showing blocks
// served by a simulated amplifier on a loopback address.

#include "ampsimulator.h"
#include "controllerstyle.h"
#include "controllerwindows.h"
#include "coretestaccess.h"
#include "devicepanel.h"
#include "diagramwindow.h"
#include "ledbar.h"
#include "mainwindow.h"
#include "picturecontrol.h"
#include "statusblockbuilder.h"
#include "treehelpers.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kAddress = u"127.0.0.2"_s;

// What the amp reports unless a test changes it; name and group match the
// device record, so no block renames the device and clears the selection.
StatusFields baseFields()
{
    StatusFields fields;
    fields.name = "AMP1 ";
    fields.group = "STAGE";
    return fields;
}

// Every byte zero but the name and group.
QByteArray zeroBlock()
{
    QByteArray block(kSimulatedBlockSize, '\0');
    block.replace(75, 10, "STAGEAMP1 ");
    return block;
}

// A figure as the panel writes it: with the operator's decimal separator,
// which is a comma in many locales.
QString figureText(QString text)
{
    return text.replace(u'.', QLocale().decimalPoint());
}

// Segments drawn at full brightness, read from the painted bar.
int litSegments(TDDLedBar &bar)
{
    const QImage image = bar.grab().toImage();
    const bool vertical = bar.orientation() == TDDLedBar::trVertical;
    int lit = 0;
    for (int s = 1; s <= bar.segmentCount(); ++s) {
        const int along = 2 + (s - 1) * bar.barSize() + 1;
        const QColor colour = vertical ? image.pixelColor(bar.width() / 2, bar.height() - 1 - along)
                                       : image.pixelColor(along, bar.height() / 2);
        if (qMax(colour.red(), qMax(colour.green(), colour.blue())) == 255)
            ++lit;
    }
    return lit;
}

} // namespace

class tst_DevicePanel final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void figuresAndBars_data();
    void figuresAndBars();
    void allZeroBlock();
    void statePictures_data();
    void statePictures();
    void muteClickQueuesTheOpposite();
    void identityTexts();
    void onlyTheFirstCaptionIsTransparent();
    void followsSelectionAndLink();
    void selectorAndNameLeftAloneWhileInUse();

private:
    TForm1 &form() { return m_windows->Form1(); }
    DevicePanel &panel() { return *form().devicePanel(); }
    QLabel *label(const QString &name) { return panel().findChild<QLabel *>(name); }
    PictureControl *picture(const QString &name) { return panel().findChild<PictureControl *>(name); }
    void serve(const QByteArray &block);

    AmpSimulator m_sim;
    quint16 m_port = 0;
    std::unique_ptr<ControllerWindows> m_windows;
};

void tst_DevicePanel::initTestCase()
{
    applyControllerStyle(*qApp);
    m_port = m_sim.start({{kAddress, "AMP1 ", "STAGE"}});
    QVERIFY(m_port != 0);
}

// An online device, selected in the tree, its panel showing.
void tst_DevicePanel::init()
{
    m_sim.setServedBlock(0, buildStatusBlock(baseFields()));
    m_windows = std::make_unique<ControllerWindows>(m_port);
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
    QVERIFY(form().addOrUpdateDevice(u"AMP1 "_s, u"STAGE"_s, kAddress));
    QTRY_COMPARE(form().devices()[1].linkState(), 3);
    pressNode(*form().TreeView1(), findNode(*form().TreeView1(), u"AMP1 "_s), Qt::LeftButton);
    QTRY_VERIFY(form().GroupBox1()->isVisible());
}

void tst_DevicePanel::cleanup()
{
    m_windows.reset();
    m_sim.setFault(0, AmpSimulator::Fault::None);
    m_sim.clearRequests(0);
}

// Waits until the device holds the block, then runs one refresh.
void tst_DevicePanel::serve(const QByteArray &block)
{
    m_sim.setServedBlock(0, block);
    const auto stored = [&] {
        const StatusBlock &status = form().devices()[1].status;
        return QByteArrayView(reinterpret_cast<const char *>(status.data()), kSimulatedBlockSize) == block;
    };
    QTRY_VERIFY(stored());
    form().Timer1Timer();
}

void tst_DevicePanel::figuresAndBars_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("figure");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bar");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("lit");

    const auto with = [](auto change) {
        StatusFields fields = baseFields();
        change(fields);
        return buildStatusBlock(fields);
    };
    QTest::newRow("peak A full scale")
        << with([](StatusFields &f) { f.outputs[0] = 1024; })
        << u"PD_CHA_Output_Peak_Voltage"_s << u"200.0 V"_s << 1 << 256 << 27;
    QTest::newRow("peak A half scale")
        << with([](StatusFields &f) { f.outputs[0] = 512; })
        << u"PD_CHA_Output_Peak_Voltage"_s << u"100.0 V"_s << 1 << 128 << 13;
    QTest::newRow("peak A 6.25 rounds up")
        << with([](StatusFields &f) { f.outputs[0] = 32; })
        << u"PD_CHA_Output_Peak_Voltage"_s << u"6.3 V"_s << 1 << 8 << 1;
    QTest::newRow("peak B half scale")
        << with([](StatusFields &f) { f.outputs[1] = 512; })
        << u"PD_CHB_Output_Peak_Voltage"_s << u"100.0 V"_s << 7 << 128 << 13;
    QTest::newRow("average voltage B")
        << with([](StatusFields &f) { f.outputs[3] = 1; })
        << u"PD_CHB_Output_Average_Voltage"_s << u"0.2 V"_s << 8 << 0 << 0;
    QTest::newRow("current A squared for power")
        << with([](StatusFields &f) { f.outputs[4] = 512; })
        << u"PD_CHA_Output_Average_Current"_s << u"25.0 A"_s << 4 << 256 << 27;
    QTest::newRow("current B at the top of the range")
        << with([](StatusFields &f) { f.outputs[5] = 65535; })
        << u"PD_CHB_Output_Average_Current"_s << u"3200.0 A"_s << 10 << 4194176 << 27;
    QTest::newRow("mains 230 V")
        << with([](StatusFields &f) { f.mains = 314; })
        << u"PD_Actual_AC_Input"_s << u"230.0 V"_s << 11 << 230 << 32;
    QTest::newRow("mains bar rounds a half to even")
        << with([](StatusFields &f) { f.mains = 768; })
        << u"PD_Actual_AC_Input"_s << u"562.5 V"_s << 11 << 562 << 42;
    QTest::newRow("first temperature, space 4 5")
        << with([](StatusFields &f) { f.firstTemperature = " 45"; })
        << u"PD_Amplifier_Temperature"_s << u" 45 \u00B0C"_s << 5 << 45 << 13;
    QTest::newRow("second temperature, 4 k 5")
        << with([](StatusFields &f) { f.secondTemperature = "4k5"; })
        << u"PD_PSU_Temperature"_s << u"4k5 \u00B0C"_s << 6 << 405 << 42;
    QTest::newRow("fan")
        << with([](StatusFields &f) { f.fan = "045%"; })
        << u"PD_Actual_FAN_Speed"_s << u"045%"_s << 12 << 45 << 19;
}

void tst_DevicePanel::figuresAndBars()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, figure);
    QFETCH(QString, text);
    QFETCH(int, bar);
    QFETCH(int, position);
    QFETCH(int, lit);

    serve(block);
    QVERIFY(label(figure));
    QCOMPARE(label(figure)->text(), figureText(text));
    TDDLedBar *shown = panel().DDLedBar(bar);
    QCOMPARE(shown->position(), position);
    QCOMPARE(litSegments(*shown), lit);
}

void tst_DevicePanel::allZeroBlock()
{
    serve(zeroBlock());
    for (const QString &name : {u"PD_CHA_Output_Peak_Voltage"_s, u"PD_CHB_Output_Peak_Voltage"_s,
                                u"PD_CHA_Output_Average_Voltage"_s, u"PD_CHB_Output_Average_Voltage"_s,
                                u"PD_Actual_AC_Input"_s})
        QCOMPARE(label(name)->text(), figureText(u"0.0 V"_s));
    QCOMPARE(label(u"PD_CHA_Output_Average_Current"_s)->text(), figureText(u"0.0 A"_s));
    QCOMPARE(label(u"PD_CHB_Output_Average_Current"_s)->text(), figureText(u"0.0 A"_s));
    QCOMPARE(label(u"PD_Amplifier_Temperature"_s)->text(), u" \u00B0C"_s);
    QCOMPARE(label(u"PD_PSU_Temperature"_s)->text(), u" \u00B0C"_s);
    QCOMPARE(label(u"PD_Speaker_Impedance_CHA"_s)->text(), QString());
    QCOMPARE(label(u"PD_Actual_FAN_Speed"_s)->text(), QString());
    QCOMPARE(panel().PD_Model()->text(), u"Q"_s);
    for (const QString &name : {u"AS_A_F"_s, u"AS_B_F"_s, u"MUTE_ON_A"_s, u"MUTE_ON_B"_s})
        QVERIFY2(picture(name)->isVisible(), qPrintable(name));
    for (const QString &name : {u"AS_A_O"_s, u"AS_B_O"_s, u"MUTE_OFF_A"_s, u"MUTE_OFF_B"_s})
        QVERIFY2(!picture(name)->isVisible(), qPrintable(name));
    for (int bar = 1; bar <= 12; ++bar)
        QCOMPARE(litSegments(*panel().DDLedBar(bar)), 0);
}

void tst_DevicePanel::statePictures_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("mute");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("OK, not muted") << 1 << 1 << QStringList{u"AS_A_O"_s, u"MUTE_OFF_A"_s};
    QTest::newRow("fault, muted") << 0 << 0 << QStringList{u"AS_A_F"_s, u"MUTE_ON_A"_s};
    QTest::newRow("state 2, mute byte 7") << 2 << 7 << QStringList{u"MUTE_OFF_A"_s};
}

void tst_DevicePanel::statePictures()
{
    QFETCH(int, state);
    QFETCH(int, mute);
    QFETCH(QStringList, shown);

    StatusFields fields = baseFields();
    fields.stateA = quint8(state);
    fields.muteA = quint8(mute);
    serve(buildStatusBlock(fields));
    for (const QString &name : {u"AS_A_O"_s, u"AS_A_F"_s, u"MUTE_ON_A"_s, u"MUTE_OFF_A"_s})
        QCOMPARE(picture(name)->isVisible(), shown.contains(name));
    QVERIFY(picture(u"AS_B_O"_s)->isVisible());  // channel B keeps its own
}

// A press toggles the reported state; the picture follows a later block.
void tst_DevicePanel::muteClickQueuesTheOpposite()
{
    StatusFields fields = baseFields();
    fields.muteA = 0;
    fields.muteB = 7;
    serve(buildStatusBlock(fields));

    QTest::mouseClick(picture(u"MUTE_ON_A"_s), Qt::LeftButton);
    QTRY_VERIFY(m_sim.requestLines(0).contains("GET /mute_a_off.html HTTP/1.1"));
    QTest::mouseClick(picture(u"MUTE_OFF_B"_s), Qt::LeftButton);
    QTRY_VERIFY(m_sim.requestLines(0).contains("GET /mute_b_on.html HTTP/1.1"));
    QVERIFY(picture(u"MUTE_ON_A"_s)->isVisible());
}

void tst_DevicePanel::identityTexts()
{
    StatusFields fields = baseFields();
    fields.model = "T1900";
    fields.serial = QByteArray("12\0" "34", 5);
    fields.versions = {"1.07a", "2.01 ", "0.93 ", "1.10 "};
    fields.impedanceA = "8.0 ";
    serve(buildStatusBlock(fields));

    QCOMPARE(panel().PD_Model()->text(), u"QT1900"_s);
    QCOMPARE(label(u"PD_Speaker_Impedance_CHA"_s)->text(), u"8.0 "_s);
    TForm4 &diagram = m_windows->Form4();
    QVERIFY(!diagram.isVisible());
    QCOMPARE(diagram.PD_Serial_Number()->text(), u"1234"_s);
    QCOMPARE(diagram.PD_Main_SW_Version()->text(), u"1.07a"_s);
    QCOMPARE(diagram.PD_Webserver_SW_version()->text(), u"2.01 "_s);
    QCOMPARE(diagram.PD_PSU_SW_Version()->text(), u"0.93 "_s);
    QCOMPARE(diagram.PD_DDS_SW_Version()->text(), u"1.10 "_s);

    QTest::mouseClick(panel().Image6(), Qt::LeftButton);
    QVERIFY(diagram.isVisible());
}

void tst_DevicePanel::onlyTheFirstCaptionIsTransparent()
{
    const QImage first = panel().Image8()->rendered();
    QCOMPARE(qAlpha(first.pixel(0, first.height() - 1)), 0);
    const QImage second = picture(u"Image10"_s)->rendered();
    QCOMPARE(qAlpha(second.pixel(0, second.height() - 1)), 255);
}

// Hidden without a selection or while the device fails; back with the
// newest block when it answers again.
void tst_DevicePanel::followsSelectionAndLink()
{
    m_sim.setFault(0, AmpSimulator::Fault::Refuse);
    QTRY_COMPARE(form().devices()[1].linkState(), 1);
    QTRY_VERIFY(!form().GroupBox1()->isVisible());

    StatusFields fields = baseFields();
    fields.outputs[0] = 512;
    m_sim.setServedBlock(0, buildStatusBlock(fields));
    m_sim.setFault(0, AmpSimulator::Fault::None);
    QTRY_VERIFY(form().GroupBox1()->isVisible());
    QTRY_COMPARE(label(u"PD_CHA_Output_Peak_Voltage"_s)->text(), figureText(u"100.0 V"_s));

    form().TreeView1()->clearSelection();
    QTRY_VERIFY(!form().GroupBox1()->isVisible());
}

void tst_DevicePanel::selectorAndNameLeftAloneWhileInUse()
{
    QComboBox *selector = panel().GroupComboBox();
    CoreTestAccess::groups(form().core()).addGroup(u"FOH"_s);  // the selector refills: FOH, STAGE
    selector->setCurrentIndex(0);
    QLineEdit *name = panel().PD_Network_Name();

    selector->showPopup();
    QTRY_VERIFY(selector->view()->isVisible());
    QApplication::setActiveWindow(&form());
    name->setFocus();
    QTRY_VERIFY(name->hasFocus());
    name->setText(u"NEW"_s);
    form().Timer1Timer();
    QCOMPARE(selector->currentText(), u"FOH  "_s);
    QCOMPARE(name->text(), u"NEW"_s);

    selector->hidePopup();
    name->clearFocus();
    form().Timer1Timer();
    QCOMPARE(selector->currentText(), u"STAGE"_s);
    QCOMPARE(name->text(), u"AMP1 "_s);
}

QTEST_MAIN(tst_DevicePanel)
#include "tst_devicepanel.moc"
