#pragma once

// The in-memory event log: the last 10 000 events, shown newest first, as
// a table model with the columns "Time" (local hh:mm:ss.zzz), "Severity",
// "Amplifier" and "Event". Each event is given an id as it is appended, one
// more than the last, so readers can ask for what is new.
//
// When the log is full, an event leaves to make room in this order: the
// oldest Info, else the oldest Warning, else the oldest Alarm, so that a
// flood of lesser events cannot push an alarm out. An event appended to a
// full log may so leave at once. One more row at the bottom says how many
// of each severity have left. Alarms logged since the operator last looked
// are counted until acknowledge(), as long as they are in the log.
// appended() hands on every event, also one that left at once, so that a
// follower such as a journal misses none.
//
// An append costs a constant time plus, when the log is full and the entry
// to drop is not the oldest of all, moving the entries between the two.
//
// Nothing is kept between runs. Main thread only.

#include "fleetevent.h"

#include <QAbstractTableModel>
#include <QList>

#include <array>
#include <deque>
#include <vector>

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
    qint64 dropped() const { return m_dropped[0] + m_dropped[1] + m_dropped[2]; }
    qint64 dropped(EventSeverity severity) const { return m_dropped[std::size_t(severity)]; }
    // "123 earlier events dropped: 100 Info, 23 Warning, 0 Alarm"
    QString droppedText() const;

    // Every event logged in this run, dropped ones included.
    quint64 total(EventSeverity severity) const { return m_totals[std::size_t(severity)]; }
    // The id of the newest event; 0 before the first.
    quint64 lastId() const { return m_lastId; }

    // At most kCapacity.
    int unacknowledgedAlarms() const { return m_unacknowledged; }
    void acknowledge();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void unacknowledgedAlarmsChanged(int count);
    // The events of one append(), in order and with their ids, whether they
    // stayed in the log or not.
    void appended(const QList<FleetEvent> &events);

private:
    using Severities = std::array<qsizetype, 3>;  // a count per EventSeverity

    // How many of each severity leave to make room for these events; those
    // beyond what the log holds leave from the events themselves.
    Severities victims(const QList<FleetEvent> &events, Severities &leavingAtOnce) const;
    void removeOldest(const Severities &count);
    void eraseRows(std::vector<qsizetype> &positions);
    void countDropped(const Severities &leaving, const Severities &leavingAtOnce);
    // Gives each event its id.
    void insertAtTop(QList<FleetEvent> &events, Severities leavingAtOnce);
    void setUnacknowledged(int count);

    std::deque<FleetEvent> m_events;
    // Per severity, the ids of its entries in the log, oldest first: the
    // entry to drop is the front of one of them.
    std::array<std::deque<quint64>, 3> m_ids;
    std::array<qint64, 3> m_dropped{};  // by EventSeverity
    quint64 m_lastId = 0;
    std::array<quint64, 3> m_totals{};  // by EventSeverity
    quint64 m_acknowledgedId = 0;  // alarms up to this id have been seen
    int m_unacknowledged = 0;  // alarms in the log after m_acknowledgedId
};
