#pragma once

// The in-memory event log: the last 10 000 events, shown newest first, as
// a table model with the columns "Time" (local hh:mm:ss.zzz), "Severity",
// "Amplifier" and "Event". When older events have been dropped, one more row
// at the bottom says how many. Alarms logged since the operator last looked
// are counted until acknowledge().
//
// Nothing is kept between runs. Main thread only.

#include "fleetevent.h"

#include <QAbstractTableModel>
#include <QList>

#include <deque>

class EventLog final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kCapacity = 10'000;
    enum Column { Time, Severity, Amplifier, Event, ColumnCount };
    enum Role { SeverityRole = Qt::UserRole };

    explicit EventLog(QObject *parent = nullptr);

    // Adds events that happened in this order, as one insertion at the top.
    void append(const QList<FleetEvent> &events);
    void append(const FleetEvent &event) { append(QList<FleetEvent>{event}); }

    // Oldest first.
    const std::deque<FleetEvent> &events() const { return m_events; }
    qint64 dropped() const { return m_dropped; }
    static QString droppedText(qint64 dropped);  // "123 earlier events dropped"

    int unacknowledgedAlarms() const { return m_unacknowledged; }
    void acknowledge();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void unacknowledgedAlarmsChanged(int count);

private:
    std::deque<FleetEvent> m_events;
    qint64 m_dropped = 0;
    int m_unacknowledged = 0;
};
