#pragma once

// Follows the event log and writes each event it takes to a stream as one
// line (EventLine), flushed at once, so that a journal or a pipe sees it as
// it happens. A batch the log inserts at the top (newest first) is written
// oldest first, by the events' ids. Events the log dropped before they could
// be written (more than its capacity in one batch) are skipped.
//
// Main thread only, like the log.

#include "eventlog.h"

#include <QObject>

#include <cstdio>

class EventLineWriter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EventLineWriter)

public:
    // Writes the events already in the log, then every new one. The log and
    // the stream outlive the writer.
    EventLineWriter(const EventLog &log, std::FILE *stream, QObject *parent = nullptr);

private:
    void writeNew();

    const EventLog &m_log;
    std::FILE *m_stream;
    quint64 m_lastWritten = 0;  // the id of the newest event written; 0 before the first
};
