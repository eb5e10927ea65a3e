#include "eventlinewriter.h"

#include "eventline.h"

using namespace Qt::StringLiterals;

EventLineWriter::EventLineWriter(const EventLog &log, int fd, qsizetype queueBytes, QObject *parent)
    : QObject(parent),
      m_log(log),
      m_output(fd, queueBytes)
{
    connect(&m_log, &QAbstractItemModel::rowsInserted, this, &EventLineWriter::writeNew);
    writeNew();
}

void EventLineWriter::writeNew()
{
    const std::deque<FleetEvent> &events = m_log.events();
    auto first = events.end();
    while (first != events.begin() && std::prev(first)->id > m_lastWritten)
        --first;
    if (first == events.end())
        return;
    for (auto it = first; it != events.end(); ++it)
        write(EventLine::line(*it).toUtf8() + '\n');
    m_lastWritten = events.back().id;
}

void EventLineWriter::write(const QByteArray &line)
{
    QByteArray bytes;
    if (m_lost > 0) {
        const FleetEvent notice{QDateTime::currentDateTime(), EventSeverity::Warning, {},
                                u"%1 event lines were lost: standard output was not being read"_s.arg(m_lost)};
        bytes = EventLine::line(notice).toUtf8() + '\n';
    }
    bytes += line;
    if (m_output.push(std::move(bytes))) {
        m_lost = 0;
        return;
    }
    ++m_lost;
    ++m_droppedTotal;
}
