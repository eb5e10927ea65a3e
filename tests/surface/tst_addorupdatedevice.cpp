// The one way devices enter the table. No device listens here: the lock
// command it queues goes to a loopback port that refuses connections.

#include "addorupdatedevice.h"
#include "devicetable.h"
#include "grouptable.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// A port on which nothing is expected to listen.
constexpr quint16 kClosedPort = 9;
} // namespace

class tst_AddOrUpdateDevice final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesArePreparedAndTheGroupAdded();
    void knownAddressUpdatesItsSlot();
    void fullTableRefuses();
};

void tst_AddOrUpdateDevice::namesArePreparedAndTheGroupAdded()
{
    tDevices devices(kClosedPort);
    tGroup groups;
    QCOMPARE(addOrUpdateDevice(devices, groups, u"amp-1"_s, u"foh"_s, u"127.0.0.2"_s), 1);

    QCOMPARE(devices.count(), 1);
    QCOMPARE(devices[1].name, u"AMP 1"_s);
    QCOMPARE(devices[1].group, u"FOH  "_s);
    QCOMPARE(devices[1].address, u"127.0.0.2"_s);
    QCOMPARE(groups.count(), 1);
    QCOMPARE(groups[1].name, u"FOH  "_s);

    // The group keeps characters that a group name would lose; the table
    // gets the normalised name as a group of its own.
    addOrUpdateDevice(devices, groups, u"amp2"_s, u"f-h"_s, u"127.0.0.3"_s);
    QCOMPARE(devices[2].group, u"F-H  "_s);
    QCOMPARE(groups[2].name, u"F H  "_s);
}

void tst_AddOrUpdateDevice::knownAddressUpdatesItsSlot()
{
    tDevices devices(kClosedPort);
    tGroup groups;
    addOrUpdateDevice(devices, groups, u"AMP1"_s, u"A"_s, u"127.0.0.2"_s);
    addOrUpdateDevice(devices, groups, u"AMP2"_s, u"A"_s, u"127.0.0.3"_s);
    const DeviceId id = devices[1].id;

    QCOMPARE(addOrUpdateDevice(devices, groups, u"NEW"_s, u"B"_s, u"127.0.0.2"_s), 1);
    QCOMPARE(devices.count(), 2);
    QCOMPARE(devices[1].name, u"NEW  "_s);
    QCOMPARE(devices[1].group, u"B    "_s);
    QCOMPARE(devices[1].id, id);  // still the same device

    // "127.0.0.02" is another text, so another device.
    QCOMPARE(addOrUpdateDevice(devices, groups, u"X"_s, u"A"_s, u"127.0.0.02"_s), 3);
}

void tst_AddOrUpdateDevice::fullTableRefuses()
{
    tDevices devices(kClosedPort);
    tGroup groups;
    for (int i = 1; i <= tDevices::kCapacity; ++i)
        QVERIFY(devices.appendDevice(u"D"_s, u"G    "_s, u"127.0.1."_s + QString::number(i)));

    QCOMPARE(addOrUpdateDevice(devices, groups, u"LATE"_s, u"G"_s, u"127.0.2.1"_s), 0);
    QCOMPARE(devices.count(), tDevices::kCapacity);
    QCOMPARE(devices.findDevice(u"127.0.2.1"_s), 0);

    // Updating a device that is already there still works.
    QCOMPARE(addOrUpdateDevice(devices, groups, u"OLD"_s, u"G"_s, u"127.0.1.9"_s), 9);
    QCOMPARE(devices[9].name, u"OLD  "_s);
}

QTEST_GUILESS_MAIN(tst_AddOrUpdateDevice)
#include "tst_addorupdatedevice.moc"
