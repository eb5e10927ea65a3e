#pragma once

// Follows the event log and writes every event appended to it to a file
// descriptor as one line (EventLine), oldest first, so that a journal or a
// pipe sees it as it happens. That includes events the log let go at once
// to keep its alarms (a full log of warnings and alarms keeps no new info):
// the journal keeps what the log in memory cannot.
//
// The lines go out through a LineOutput: a reader that does not keep up
// never holds up the thread of the log (and the polling tick on it). When
// the output's queue is full, lines are dropped and counted; the next line
// that goes out is preceded by a Warning line saying how many were lost.
//
// Main thread only, like the log.

#include "eventlog.h"
#include "lineoutput.h"

#include <QObject>

class EventLineWriter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EventLineWriter)

public:
    static constexpr qsizetype kQueueBytes = 1024 * 1024;

    // Writes the events already in the log, then every new one. The log and
    // the descriptor outlive the writer.
    EventLineWriter(const EventLog &log, int fd, qsizetype queueBytes = kQueueBytes, QObject *parent = nullptr);

    // Lines dropped since the start because the output's queue was full.
    quint64 droppedLines() const { return m_droppedTotal; }

private:
    void write(const FleetEvent &event);

    LineOutput m_output;
    quint64 m_lost = 0;         // dropped since the last line that went out
    quint64 m_droppedTotal = 0;
};
