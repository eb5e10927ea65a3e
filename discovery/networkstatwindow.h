#pragma once

// The "Network stat" window: for every device of the table, the exchanges
// its poll worker has attempted, those that succeeded, the rest (failed or
// still under way) and the attempts started in the last second. Its threaded
// timer rebuilds the rows four times a second from creation, shown or not,
// so the figures are current whenever the window is opened.
//
// Created once at start-up, shown modeless and only hidden afterwards. Main
// thread only.

#include "devicetable.h"
#include "threadedtimer.h"

#include <QWidget>

#include <array>

class QListWidget;

class TForm6 final : public QWidget
{
    Q_OBJECT

public:
    static constexpr quint32 kTickIntervalMs = 250;
    static constexpr int kTicksPerSnapshot = 4;  // a snapshot once a second

    explicit TForm6(const tDevices &devices, QWidget *parent = nullptr);

    QListWidget *ListBox1() const { return m_listBox1; }
    TThreadedTimer *ThreadedTimer1() { return &m_threadedTimer1; }

    // The tick: a snapshot of the request counts every fourth call, then one
    // row per device, rows replaced in place so that the scroll position and
    // the selection stay.
    void ThreadedTimer1Timer();

    // "1:   192.168.1.110   1520   1517   3   PPS: 5"
    static QString rowText(int slot, const QString &address, int requests, int successes, int rate);

private:
    void takeSnapshot();
    int rate(int slot) const;  // attempts started between the last two snapshots
    void matchRowCount();

    const tDevices &m_devices;
    QListWidget *m_listBox1 = nullptr;

    // Request counts of every slot at the last two snapshots.
    std::array<int, tDevices::kCapacity + 1> m_latest{};
    std::array<int, tDevices::kCapacity + 1> m_previous{};
    int m_tickCounter = 0;  // 0..kTicksPerSnapshot - 1

    // Last, so that it is destroyed first: no tick reaches a half-destroyed
    // window.
    TThreadedTimer m_threadedTimer1;
};
