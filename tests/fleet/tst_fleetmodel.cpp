// The fleet table's model over the fleet's health: what a refresh signals.

#include "ampsimulator.h"
#include "commands.h"
#include "devicetable.h"
#include "fleethealth.h"
#include "fleetmodel.h"
#include "storedblocks.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <cstring>

using namespace Qt::StringLiterals;
namespace Field = StatusField;

namespace {
constexpr qint64 kSecond = 1'000'000'000;
}

class tst_FleetModel final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refreshSignalsOnlyWhatChanged();
};

// Three devices polled once each by hand and then left alone, so that
// between two refreshes nothing moves but the bytes a step writes into the
// second device's block. Each step counts the cells the refresh signals as
// changed, and whether the change covers the first column, which re-sorts
// the row in the worst-first order.
void tst_FleetModel::refreshSignalsOnlyWhatChanged()
{
    AmpSimulator sim;
    const QStringList addresses{u"127.0.0.2"_s, u"127.0.0.3"_s, u"127.0.0.4"_s};
    const quint16 port = sim.start({{addresses[0], "AMP1 ", "STAGE"},
                                    {addresses[1], "AMP2 ", "STAGE"},
                                    {addresses[2], "AMP3 ", "STAGE"}});
    QVERIFY(port != 0);
    tDevices devices(port);
    StoredBlocks blocks(devices);
    QSignalSpy stored(&devices, &tDevices::statusBlockStored);
    for (int slot = 1; slot <= 3; ++slot) {
        QVERIFY(devices.appendDevice(u"AMP"_s + QString::number(slot) + u' ', u"STAGE"_s, addresses[slot - 1]));
        Commands::statusFetch(devices, slot);
    }
    QTRY_COMPARE(stored.count(), 3);
    for (int slot = 1; slot <= 3; ++slot)
        QTRY_COMPARE(devices[slot].linkState(), int(ThSocket::Online));

    const auto write = [&](int offset, QByteArrayView bytes) {
        std::memcpy(devices[2].status.data() + offset, bytes.data(), std::size_t(bytes.size()));
    };
    write(Field::FirstTemperature, " 40");
    write(Field::SecondTemperature, " 40");
    FleetHealth health;
    FleetModel model(health);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDecimalPoint(u"."_s);
    qint64 now = 0;
    for (int slot = 1; slot <= 3; ++slot)
        now = std::max(now, devices[slot].lastSuccessNanoseconds() + kSecond);
    health.refresh(devices, blocks, now);
    model.refresh();
    QCOMPARE(model.rowCount(), 3);

    struct Step
    {
        int offset;
        const char *bytes;
        int cells;
        bool resorts;
        int severity;
    };
    const Step steps[] = {
        {Field::SecondTemperature, " 40", 0, false, 0},  // nothing changed
        {Field::FirstTemperature, " 41", 1, false, 0},   // one figure
        {Field::SecondTemperature, "104", FleetModel::AmpTemperature + 1, true, 1},
        {Field::SecondTemperature, "103", 1, false, 1},  // back onto the boundary
        {Field::SecondTemperature, "104", 1, false, 1},
        {Field::SecondTemperature, "100", FleetModel::AmpTemperature + 1, true, 0},
    };
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    for (const Step &step : steps) {
        write(step.offset, step.bytes);
        changed.clear();
        health.refresh(devices, blocks, now);
        model.refresh();
        int cells = 0;
        bool resorts = false;
        for (const QList<QVariant> &signal : std::as_const(changed)) {
            const auto topLeft = signal[0].value<QModelIndex>();
            const auto bottomRight = signal[1].value<QModelIndex>();
            QCOMPARE(topLeft.row(), 1);
            cells += (bottomRight.row() - topLeft.row() + 1) * (bottomRight.column() - topLeft.column() + 1);
            resorts = resorts || topLeft.column() == 0;
        }
        QCOMPARE(cells, step.cells);
        QCOMPARE(resorts, step.resorts);
        QCOMPARE(model.index(1, 0).data(FleetModel::SeverityRole).toInt(), step.severity);
    }
}

QTEST_GUILESS_MAIN(tst_FleetModel)
#include "tst_fleetmodel.moc"
