#include "eventlog.h"

#include <algorithm>

using namespace Qt::StringLiterals;

EventLog::EventLog(QObject *parent)
    : QAbstractTableModel(parent)
{
}

QString EventLog::droppedText() const
{
    return QString::number(dropped()) + u" earlier events dropped: "_s
           + QString::number(dropped(EventSeverity::Info)) + u" Info, "_s
           + QString::number(dropped(EventSeverity::Warning)) + u" Warning, "_s
           + QString::number(dropped(EventSeverity::Alarm)) + u" Alarm"_s;
}

// Entries that leave go first, then the row counting them appears or
// changes, then the new rows go to the top.
void EventLog::append(const QList<FleetEvent> &events)
{
    if (events.isEmpty())
        return;
    Severities leavingAtOnce{};
    const Severities leaving = victims(events, leavingAtOnce);
    qsizetype left = 0;
    for (std::size_t s = 0; s < leaving.size(); ++s)
        left += leaving[s] + leavingAtOnce[s];
    removeOldest(leaving);
    if (left > 0)
        countDropped(leaving, leavingAtOnce);
    QList<FleetEvent> numbered = events;
    insertAtTop(numbered, leavingAtOnce);
    Q_EMIT appended(numbered);
}

// Infos leave first, then Warnings, then Alarms; of one severity the
// oldest, and entries in the log are older than the events appended.
EventLog::Severities EventLog::victims(const QList<FleetEvent> &events, Severities &leavingAtOnce) const
{
    qsizetype overflow = qsizetype(m_events.size()) + events.size() - kCapacity;
    Severities leaving{};
    if (overflow <= 0)
        return leaving;
    Severities incoming{};
    for (const FleetEvent &event : events)
        ++incoming[std::size_t(event.severity)];
    for (std::size_t s = 0; s < leaving.size() && overflow > 0; ++s) {
        const auto inLog = qsizetype(m_ids[s].size());
        const qsizetype take = std::min(overflow, inLog + incoming[s]);
        leaving[s] = std::min(take, inLog);
        leavingAtOnce[s] = take - leaving[s];
        overflow -= take;
    }
    return leaving;
}

void EventLog::removeOldest(const Severities &count)
{
    std::vector<qsizetype> positions;
    int unacknowledged = m_unacknowledged;
    for (std::size_t s = 0; s < count.size(); ++s) {
        for (qsizetype i = 0; i < count[s]; ++i) {
            const quint64 id = m_ids[s].front();
            m_ids[s].pop_front();
            // Ids rise along the log, gaps and all.
            const auto at = std::lower_bound(m_events.begin(), m_events.end(), id,
                                             [](const FleetEvent &event, quint64 key) { return event.id < key; });
            positions.push_back(at - m_events.begin());
            if (EventSeverity(s) == EventSeverity::Alarm && id > m_acknowledgedId)
                --unacknowledged;
        }
    }
    eraseRows(positions);
    setUnacknowledged(unacknowledged);
}

// Positions count from the oldest, rows from the newest. Each run of
// neighbouring entries leaves in one removal, the newest run first, so that
// the positions of the others stay as they were.
void EventLog::eraseRows(std::vector<qsizetype> &positions)
{
    std::sort(positions.begin(), positions.end());
    for (auto last = positions.rbegin(); last != positions.rend();) {
        auto first = last;
        while (std::next(first) != positions.rend() && *std::next(first) == *first - 1)
            ++first;
        const int newestRow = int(m_events.size()) - 1 - int(*last);
        beginRemoveRows({}, newestRow, newestRow + int(*last - *first));
        m_events.erase(m_events.begin() + *first, m_events.begin() + *last + 1);
        endRemoveRows();
        last = std::next(first);
    }
}

// The row that counts the dropped entries appears with the first of them.
void EventLog::countDropped(const Severities &leaving, const Severities &leavingAtOnce)
{
    const int row = int(m_events.size());
    const bool firstDrop = dropped() == 0;
    if (firstDrop)
        beginInsertRows({}, row, row);
    for (std::size_t s = 0; s < leaving.size(); ++s)
        m_dropped[s] += leaving[s] + leavingAtOnce[s];
    if (firstDrop) {
        endInsertRows();
    } else {
        const QModelIndex last = index(row, Event);
        Q_EMIT dataChanged(last.siblingAtColumn(0), last);
    }
}

void EventLog::insertAtTop(QList<FleetEvent> &events, Severities leavingAtOnce)
{
    qsizetype kept = events.size();
    for (const qsizetype count : leavingAtOnce)
        kept -= count;
    if (kept > 0)
        beginInsertRows({}, 0, int(kept) - 1);
    int alarms = 0;
    for (FleetEvent &event : events) {
        const auto s = std::size_t(event.severity);
        ++m_totals[s];
        event.id = ++m_lastId;
        if (leavingAtOnce[s] > 0) {
            --leavingAtOnce[s];
            continue;
        }
        m_events.push_back(event);
        m_ids[s].push_back(m_lastId);
        alarms += event.severity == EventSeverity::Alarm;
    }
    if (kept > 0)
        endInsertRows();
    setUnacknowledged(m_unacknowledged + alarms);
}

void EventLog::setUnacknowledged(int count)
{
    if (count == m_unacknowledged)
        return;
    m_unacknowledged = count;
    Q_EMIT unacknowledgedAlarmsChanged(count);
}

void EventLog::acknowledge()
{
    m_acknowledgedId = m_lastId;
    setUnacknowledged(0);
}

int EventLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_events.size()) + (dropped() > 0 ? 1 : 0);
}

int EventLog::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int total = int(m_events.size());
    if (index.row() == total) {
        if (role == Qt::DisplayRole && index.column() == Event)
            return droppedText();
        return {};
    }
    const FleetEvent &event = m_events[std::size_t(total - 1 - index.row())];
    if (role == SeverityRole)
        return int(event.severity);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Time:
        return event.time.toString(u"hh:mm:ss.zzz"_s);
    case Severity:
        return FleetEvents::severityText(event.severity);
    case Amplifier:
        return event.amplifier;
    default:
        return event.text;
    }
}

QVariant EventLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QString headers[ColumnCount] = {u"Time"_s, u"Severity"_s, u"Amplifier"_s, u"Event"_s};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return headers[section];
}
