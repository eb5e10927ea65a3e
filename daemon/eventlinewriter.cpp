#include "eventlinewriter.h"

#include "eventline.h"

EventLineWriter::EventLineWriter(const EventLog &log, std::FILE *stream, QObject *parent)
    : QObject(parent),
      m_log(log),
      m_stream(stream)
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
    for (auto it = first; it != events.end(); ++it) {
        const QByteArray bytes = EventLine::line(*it).toUtf8() + '\n';
        // A full disk or a closed pipe loses the line, not the service.
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_stream);
    }
    std::fflush(m_stream);
    m_lastWritten = events.back().id;
}
