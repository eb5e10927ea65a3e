// The threaded timer. Every wait here is on a condition: the number of ticks
// of the timer under test, or of a second timer that ticks as fast as the
// main thread takes its ticks (interval 0 with allow-zero) and so marks how
// much opportunity the first one had.

#include "threadedtimer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr quint32 kOneHourMs = 3'600'000;

// A timer counting its ticks.
struct CountingTimer
{
    explicit CountingTimer(quint32 intervalMs, bool allowZero = false, QObject *owner = nullptr)
        : timer(new TThreadedTimer(owner))
    {
        timer->setAllowZero(allowZero);
        timer->setInterval(intervalMs);
        timer->setOnTimer([this](TThreadedTimer *) { ++ticks; });
    }

    TThreadedTimer *timer;  // owned by the owner, or by this when there is none
    std::unique_ptr<TThreadedTimer> ownTimer{timer->parent() ? nullptr : timer};
    int ticks = 0;
};

// Runs the event loop until the flat-out pacer has ticked `count` more times.
void letPacerTick(CountingTimer &pacer, int count)
{
    const int until = pacer.ticks + count;
    QTRY_VERIFY(pacer.ticks >= until);
}

bool waitForTickInFlight(const TThreadedTimer &timer)
{
    return timer.waitForTickPending(QDeadlineTimer(60s));
}

} // namespace

class tst_ThreadedTimer final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void zeroIntervalNeedsAllowZeroAtEnabling_data();
    void zeroIntervalNeedsAllowZeroAtEnabling();
    void rewritingAValueDoesNotRestartTheInterval_data();
    void rewritingAValueDoesNotRestartTheInterval();
    void anotherIntervalCutsTheRunningOneShort();
    void raisingHandlerKeepsTheTimerGoing();
    void ticksNeverOverlapNorPileUp();
    void disablingDropsATickInFlight();
    void destructionEndsAtOnceWithoutCallingTheHandler_data();
    void destructionEndsAtOnceWithoutCallingTheHandler();
    void handlerMayDestroyItsOwnTimer();
};

void tst_ThreadedTimer::zeroIntervalNeedsAllowZeroAtEnabling_data()
{
    QTest::addColumn<bool>("reenable");
    QTest::newRow("disabled and enabled again") << true;
    QTest::newRow("interval changed") << false;
}

void tst_ThreadedTimer::zeroIntervalNeedsAllowZeroAtEnabling()
{
    QFETCH(bool, reenable);
    CountingTimer pacer(0, true);
    pacer.timer->setEnabled(true);
    CountingTimer idle(0);
    idle.timer->setEnabled(true);

    letPacerTick(pacer, 20);
    QVERIFY(idle.timer->enabled());
    QCOMPARE(idle.ticks, 0);

    idle.timer->setAllowZero(true);
    letPacerTick(pacer, 20);
    QCOMPARE(idle.ticks, 0);

    if (reenable) {
        idle.timer->setEnabled(false);
        idle.timer->setEnabled(true);
    } else {
        idle.timer->setInterval(1);
    }
    QTRY_VERIFY(idle.ticks >= 3);
}

// Rewritten every 10 ms, a value that restarted the 150 ms interval would
// hold every tick off.
void tst_ThreadedTimer::rewritingAValueDoesNotRestartTheInterval_data()
{
    QTest::addColumn<bool>("rewriteInterval");
    QTest::newRow("the same interval") << true;
    QTest::newRow("enabled again") << false;
}

void tst_ThreadedTimer::rewritingAValueDoesNotRestartTheInterval()
{
    QFETCH(bool, rewriteInterval);
    CountingTimer counted(150);
    counted.timer->setEnabled(true);

    QTimer rewrite;
    rewrite.setInterval(10);
    connect(&rewrite, &QTimer::timeout, this, [&] {
        if (rewriteInterval)
            counted.timer->setInterval(150);
        else
            counted.timer->setEnabled(true);
    });
    rewrite.start();
    QTRY_VERIFY_WITH_TIMEOUT(counted.ticks >= 3, 30000);
}

// A timer waiting out an hour is set to 1 ms: the ticks must come now, not
// after the hour that was under way. A restart that cuts the wait short only
// when the timing thread happens to look at the right moment fails one of
// the rounds.
void tst_ThreadedTimer::anotherIntervalCutsTheRunningOneShort()
{
    CountingTimer counted(kOneHourMs);
    counted.timer->setEnabled(true);
    CountingTimer pacer(0, true);
    pacer.timer->setEnabled(true);
    for (int round = 0; round < 20; ++round) {
        counted.timer->setInterval(kOneHourMs);
        letPacerTick(pacer, 5);  // the hour's wait is surely under way
        const int before = counted.ticks;
        counted.timer->setInterval(1);
        QTRY_VERIFY(counted.ticks > before);
    }
}

void tst_ThreadedTimer::raisingHandlerKeepsTheTimerGoing()
{
    QTest::failOnWarning(QRegularExpression(u".*"_s));
    TThreadedTimer timer;
    int calls = 0;
    timer.setOnTimer([&calls](TThreadedTimer *) {
        ++calls;
        throw std::runtime_error("handler failed");
    });
    timer.setInterval(1);
    timer.setEnabled(true);
    QTRY_VERIFY(calls >= 3);
}

// The first tick runs a nested event loop while a flat-out pacer ticks 20
// times: a second tick handed over meanwhile would run inside it.
void tst_ThreadedTimer::ticksNeverOverlapNorPileUp()
{
    CountingTimer pacer(0, true);
    TThreadedTimer timer;
    timer.setAllowZero(true);
    timer.setInterval(0);
    int calls = 0;
    int depth = 0;
    int deepest = 0;
    int ticksDuringFirst = -1;
    timer.setOnTimer([&](TThreadedTimer *) {
        ++calls;
        deepest = std::max(deepest, ++depth);
        if (calls == 1) {
            pacer.timer->setEnabled(true);
            QEventLoop slow;
            pacer.timer->setOnTimer([&](TThreadedTimer *) {
                if (++pacer.ticks == 20)
                    slow.quit();
            });
            slow.exec();
            ticksDuringFirst = calls - 1;
        }
        --depth;
    });
    timer.setEnabled(true);
    QTRY_VERIFY(calls >= 5);
    QCOMPARE(ticksDuringFirst, 0);
    QCOMPARE(deepest, 1);
}

void tst_ThreadedTimer::disablingDropsATickInFlight()
{
    CountingTimer counted(0, true);
    counted.timer->setEnabled(true);
    QVERIFY(waitForTickInFlight(*counted.timer));
    counted.timer->setEnabled(false);
    QTRY_VERIFY(!counted.timer->tickPending());
    QCOMPARE(counted.ticks, 0);
}

void tst_ThreadedTimer::destructionEndsAtOnceWithoutCallingTheHandler_data()
{
    QTest::addColumn<quint32>("intervalMs");
    QTest::addColumn<bool>("enable");
    QTest::addColumn<bool>("withTickPending");
    QTest::newRow("never enabled") << kOneHourMs << false << false;
    QTest::newRow("in the middle of an interval") << kOneHourMs << true << false;
    QTest::newRow("enabled at interval 0 without allow-zero") << 0u << true << false;
    QTest::newRow("a tick handed over, not yet run") << 0u << true << true;
}

// The timer belongs to a window-like owner and goes with it.
void tst_ThreadedTimer::destructionEndsAtOnceWithoutCallingTheHandler()
{
    QFETCH(quint32, intervalMs);
    QFETCH(bool, enable);
    QFETCH(bool, withTickPending);
    auto window = std::make_unique<QObject>();
    CountingTimer counted(intervalMs, withTickPending, window.get());
    counted.timer->setEnabled(enable);

    if (withTickPending)
        QVERIFY(waitForTickInFlight(*counted.timer));
    window.reset();
    QCoreApplication::processEvents();
    QCOMPARE(counted.ticks, 0);
}

void tst_ThreadedTimer::handlerMayDestroyItsOwnTimer()
{
    auto window = std::make_unique<QObject>();
    auto *timer = new TThreadedTimer(window.get());
    int calls = 0;
    timer->setOnTimer([&](TThreadedTimer *) {
        ++calls;
        window.reset();
    });
    timer->setInterval(1);
    timer->setEnabled(true);
    QTRY_VERIFY(!window);
    QCoreApplication::processEvents();
    QCOMPARE(calls, 1);
}

QTEST_GUILESS_MAIN(tst_ThreadedTimer)
#include "tst_threadedtimer.moc"
