#include "eventlog.h"

using namespace Qt::StringLiterals;

EventLog::EventLog(QObject *parent)
    : QAbstractTableModel(parent)
{
}

QString EventLog::droppedText(qint64 dropped)
{
    return QString::number(dropped) + u" earlier events dropped"_s;
}

// New rows go to the top; the oldest leave at the bottom, above the row that
// counts the dropped ones, which appears with the first drop.
void EventLog::append(const QList<FleetEvent> &events)
{
    if (events.isEmpty())
        return;
    const qsizetype kept = std::min<qsizetype>(events.size(), kCapacity);
    const qsizetype skipped = events.size() - kept;
    const qsizetype overflow = qsizetype(m_events.size()) + kept - kCapacity;
    if (overflow > 0) {
        const int total = int(m_events.size());
        beginRemoveRows({}, total - int(overflow), total - 1);
        m_events.erase(m_events.begin(), m_events.begin() + overflow);
        endRemoveRows();
    }
    const bool firstDrop = m_dropped == 0 && overflow + skipped > 0;
    m_dropped += std::max<qsizetype>(0, overflow) + skipped;
    if (firstDrop) {
        beginInsertRows({}, int(m_events.size()), int(m_events.size()));
        endInsertRows();
    } else if (overflow + skipped > 0) {
        const QModelIndex last = index(rowCount() - 1, Event);
        Q_EMIT dataChanged(last.siblingAtColumn(0), last);
    }

    int alarms = 0;
    for (const FleetEvent &event : events)
        ++m_totals[std::size_t(event.severity)];
    m_lastId += quint64(skipped);
    beginInsertRows({}, 0, int(kept) - 1);
    for (qsizetype i = skipped; i < events.size(); ++i) {
        m_events.push_back(events[i]);
        m_events.back().id = ++m_lastId;
        if (events[i].severity == EventSeverity::Alarm)
            ++alarms;
    }
    endInsertRows();
    if (alarms > 0) {
        m_unacknowledged += alarms;
        Q_EMIT unacknowledgedAlarmsChanged(m_unacknowledged);
    }
}

void EventLog::acknowledge()
{
    if (m_unacknowledged == 0)
        return;
    m_unacknowledged = 0;
    Q_EMIT unacknowledgedAlarmsChanged(0);
}

int EventLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_events.size()) + (m_dropped > 0 ? 1 : 0);
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
            return droppedText(m_dropped);
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
