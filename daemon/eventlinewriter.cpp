#include "eventlinewriter.h"

#include "eventline.h"

using namespace Qt::StringLiterals;

EventLineWriter::EventLineWriter(const EventLog &log, int fd, qsizetype queueBytes, QObject *parent)
    : QObject(parent),
      m_output(fd, queueBytes)
{
    for (const FleetEvent &event : log.events())
        write(event);
    connect(&log, &EventLog::appended, this, [this](const QList<FleetEvent> &events) {
        for (const FleetEvent &event : events)
            write(event);
    });
}

void EventLineWriter::write(const FleetEvent &event)
{
    QByteArray bytes;
    if (m_lost > 0) {
        const FleetEvent notice{QDateTime::currentDateTime(), EventSeverity::Warning, {},
                                u"%1 event lines were lost: standard output was not being read"_s.arg(m_lost)};
        bytes = EventLine::line(notice).toUtf8() + '\n';
    }
    bytes += EventLine::line(event).toUtf8() + '\n';
    if (m_output.push(std::move(bytes))) {
        m_lost = 0;
        return;
    }
    ++m_lost;
    ++m_droppedTotal;
}
