#pragma once

// The in-memory event log: the last 10 000 events, shown newest first, as
// a table model with the columns "Time" (local hh:mm:ss.zzz), "Severity",
// "Amplifier" and "Event". When older events have been dropped, one more row
// at the bottom says how many. Alarms logged since the operator last looked
// are counted until acknowledge(). Each event is given an id as it is
// appended, one more than the last, so readers can ask for what is new.
//
// Nothing is kept between runs. Main thread only.

#include "fleetevent.h"

#include <QAbstractTableModel>
#include <QList>

#include <array>
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

    // Every event logged in this run, dropped ones included.
    quint64 total(EventSeverity severity) const { return m_totals[std::size_t(severity)]; }
    // The id of the newest event; 0 before the first.
    quint64 lastId() const { return m_lastId; }

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
    quint64 m_lastId = 0;
    std::array<quint64, 3> m_totals{};  // by EventSeverity
    int m_unacknowledged = 0;
};
