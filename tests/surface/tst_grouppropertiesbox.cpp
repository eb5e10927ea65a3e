// The group properties box over the wire: its commands against simulated
// amplifiers on loopback addresses. No polling tick runs here, only the
// dispatch of what the box queues, so every settings or mute request an
// amplifier receives came from the box.

#include "ampsimulator.h"
#include "commands.h"
#include "cursordrag.h"
#include "coretestaccess.h"
#include "devicetable.h"
#include "grouppropertiesbox.h"
#include "groupsettings.h"
#include "grouptable.h"
#include "picturecontrol.h"

#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Amps 0 and 1 are on the stage, amp 2 is front of house.
const QList<AmpSimulator::Amp> kAmps = {{u"127.0.0.2"_s, "AMP1 ", "STAGE"},
                                        {u"127.0.0.3"_s, "AMP2 ", "STAGE"},
                                        {u"127.0.0.4"_s, "AMP3 ", "FOH  "}};

QList<QByteArray> linesStartingWith(const QList<QByteArray> &lines, const QByteArray &start)
{
    QList<QByteArray> found;
    for (const QByteArray &line : lines) {
        if (line.startsWith(start))
            found.append(line);
    }
    return found;
}

void setModel(tDevice &device, const char *model)
{
    for (int i = 0; i < StatusField::IdentityWidth; ++i)
        device.status[std::size_t(StatusField::Model + i)] = quint8(model[i]);
}

} // namespace

class tst_GroupPropertiesBox final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void dragSendsTheGroupItsSettings();
    void muteAllReachesExactlyTheGroup();
    void muteAllOnAnEmptyGroupQueuesNothing();
    void limiterWarning_data();
    void limiterWarning();
    void warningClickMutesTheGroup();

private:
    QByteArray settingsLine(int groupSlot) const;
    QList<QByteArray> received(int amp, const QByteArray &path) const
    {
        return linesStartingWith(m_sim.requestLines(amp), "GET " + path);
    }
    void select(const QString &group)
    {
        m_selected = m_core->groupNamed(group);
        m_box->refresh();
    }
    int selectedSlot() const { return m_groups->slotOfGroup(m_selected); }

    AmpSimulator m_sim;
    quint16 m_port = 0;
    std::unique_ptr<ControllerCore> m_core;  // not started: the test dispatches
    tDevices *m_devices = nullptr;
    tGroup *m_groups = nullptr;
    std::unique_ptr<GroupPropertiesBox> m_box;
    QTimer m_dispatch;
    GroupId m_selected = 0;
};

void tst_GroupPropertiesBox::initTestCase()
{
    m_port = m_sim.start(kAmps);
    QVERIFY(m_port != 0);
    m_dispatch.setInterval(1);
    connect(&m_dispatch, &QTimer::timeout, this, [this] {
        for (int slot = 1; slot <= m_devices->count(); ++slot)
            m_devices->dispatch(slot);
    });
}

void tst_GroupPropertiesBox::init()
{
    for (int amp = 0; amp < m_sim.ampCount(); ++amp) {
        m_sim.clearRequests(amp);
        m_sim.setIdentity(amp, kAmps[amp].name, kAmps[amp].group);
    }
    m_core = std::make_unique<ControllerCore>(m_port);
    m_groups = &CoreTestAccess::groups(*m_core);
    m_devices = &CoreTestAccess::devices(*m_core);
    for (const AmpSimulator::Amp &amp : kAmps)
        QVERIFY(m_devices->appendDevice(QString::fromLatin1(amp.name), QString::fromLatin1(amp.group), amp.address));
    // Belongs to the stage as well, as the tree shows it.
    (*m_devices)[2].group = u"stage"_s;
    for (const QString &name : {u"STAGE"_s, u"FOH"_s, u"EMPTY"_s})
        m_groups->addGroup(name);
    m_selected = 0;
    m_box = std::make_unique<GroupPropertiesBox>(*m_core, [this] { return m_selected; });
    m_box->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_box.get()));
    m_dispatch.start();
}

void tst_GroupPropertiesBox::cleanup()
{
    m_dispatch.stop();
    m_box.reset();
    m_core.reset();
}

QByteArray tst_GroupPropertiesBox::settingsLine(int groupSlot) const
{
    const Commands::SettingsDigits digits = groupSettingsDigits((*m_groups)[groupSlot]);
    return "GET " + CommandPath::GroupSettings + QByteArray(digits.data(), qsizetype(digits.size()))
           + " HTTP/1.1";
}

void tst_GroupPropertiesBox::dragSendsTheGroupItsSettings()
{
    select(u"STAGE"_s);
    const int stage = selectedSlot();
    CursorDrag drag(*m_box);
    drag.press(m_box->FaderImg(1));
    drag.moveBy(-40);
    m_box->sendStep();  // the 150 ms step during the drag
    const QByteArray during = settingsLine(stage);
    QVERIFY(during.contains("/common_settings_values1=046000000000010010 "));
    QTRY_COMPARE(received(0, CommandPath::GroupSettings), QList<QByteArray>{during});
    QTRY_COMPARE(received(1, CommandPath::GroupSettings), QList<QByteArray>{during});

    drag.moveBy(-40);
    drag.release();  // sends at once; there is no 150 ms step here at all
    const QByteArray atRelease = settingsLine(stage);
    QVERIFY(atRelease != during);
    QTRY_COMPARE(received(0, CommandPath::GroupSettings), (QList<QByteArray>{during, atRelease}));
    QTRY_COMPARE(received(1, CommandPath::GroupSettings), (QList<QByteArray>{during, atRelease}));
    QCOMPARE(m_sim.groupSettings(0), QByteArray("093000000000010010"));

    // A step after the release sends nothing.
    m_box->sendStep();
    QCOMPARE(received(2, CommandPath::GroupSettings), QList<QByteArray>{});
}

void tst_GroupPropertiesBox::muteAllReachesExactlyTheGroup()
{
    select(u"STAGE"_s);
    QTest::mouseClick(m_box->MUTE_ON_ALL(), Qt::LeftButton);
    QTRY_VERIFY(m_sim.muteA(0) == 0 && m_sim.muteB(0) == 0 && m_sim.muteA(1) == 0 && m_sim.muteB(1) == 0);
    QTest::mouseClick(m_box->MUTE_OFF_ALL(), Qt::LeftButton);
    QTRY_VERIFY(m_sim.muteA(0) == 1 && m_sim.muteB(0) == 1 && m_sim.muteA(1) == 1 && m_sim.muteB(1) == 1);
    QCOMPARE(received(2, CommandPath::MuteOn).size() + received(2, CommandPath::MuteOff).size(), 0);
}

void tst_GroupPropertiesBox::muteAllOnAnEmptyGroupQueuesNothing()
{
    select(u"EMPTY"_s);
    QTest::mouseClick(m_box->MUTE_ON_ALL(), Qt::LeftButton);
    for (int slot = 1; slot <= m_devices->count(); ++slot)
        QVERIFY((*m_devices)[slot].queue.isEmpty());
    // A later command to every amp arrives alone: nothing was queued before it.
    for (const QString &group : {u"STAGE"_s, u"FOH  "_s}) {
        select(group);
        QTest::mouseClick(m_box->MUTE_OFF_ALL(), Qt::LeftButton);
    }
    for (int amp = 0; amp < m_sim.ampCount(); ++amp) {
        QTRY_COMPARE(received(amp, CommandPath::MuteOff).size(), 1);
        QCOMPARE(received(amp, CommandPath::MuteOn).size(), 0);
    }
}

void tst_GroupPropertiesBox::limiterWarning_data()
{
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<QString>("group");
    QTest::addColumn<int>("limiterA");
    QTest::addColumn<int>("limiterB");
    QTest::addColumn<bool>("shown");
    QTest::newRow("T1900 at 101 V") << QByteArray("T1900") << u"STAGE"_s << 101 << 10 << true;
    QTest::newRow("T1900 at 100 V") << QByteArray("T1900") << u"STAGE"_s << 100 << 100 << false;
    QTest::newRow("T1900, channel B at 170 V") << QByteArray("T1900") << u"STAGE"_s << 10 << 170 << true;
    QTest::newRow("another model") << QByteArray("T2400") << u"STAGE"_s << 170 << 170 << false;
    QTest::newRow("T1900 only in another group") << QByteArray("T1900") << u"EMPTY"_s << 170 << 170 << false;
}

void tst_GroupPropertiesBox::limiterWarning()
{
    QFETCH(QByteArray, model);
    QFETCH(QString, group);
    QFETCH(int, limiterA);
    QFETCH(int, limiterB);
    QFETCH(bool, shown);
    setModel((*m_devices)[1], model.constData());
    setModel((*m_devices)[2], "T2400");
    setModel((*m_devices)[3], "T1900");  // front of house, never in these groups
    select(group);
    (*m_groups)[selectedSlot()].limiterA = quint8(limiterA);
    (*m_groups)[selectedSlot()].limiterB = quint8(limiterB);
    m_box->refresh();
    QCOMPARE(m_box->Image4()->isVisible(), shown);
}

void tst_GroupPropertiesBox::warningClickMutesTheGroup()
{
    setModel((*m_devices)[1], "T1900");
    select(u"STAGE"_s);
    (*m_groups)[selectedSlot()].limiterA = 150;
    m_box->refresh();
    QVERIFY(m_box->Image4()->isVisible());
    QTest::mouseClick(m_box->Image4(), Qt::LeftButton);
    QTRY_VERIFY(m_sim.muteA(0) == 0 && m_sim.muteA(1) == 0);
    QCOMPARE(received(2, CommandPath::MuteOn).size(), 0);
}

QTEST_MAIN(tst_GroupPropertiesBox)
#include "tst_grouppropertiesbox.moc"
