#pragma once

// The controller's read-only HTTP monitor: the dashboard page at /, JSON
// under /api/v1/ (devices, groups, events), Prometheus metrics at /metrics
// and /healthz. Nothing it answers can change anything.
//
// It serves on the main thread's event loop, bounded as HttpListener says.
// An answer's figures are copied from the core at once; the JSON and the
// metrics text are then made on a thread of the monitor's own and the
// answer written when they come back, so the 1 ms tick waits at most for
// the copy. Off until listen() is called. Main thread only.

#include "answerformatter.h"
#include "httplistener.h"
#include "monitorroute.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <unordered_map>

class ControllerCore;

class HttpMonitor final : public QObject
{
    Q_OBJECT

public:
    explicit HttpMonitor(const ControllerCore &core, QObject *parent = nullptr);
    ~HttpMonitor() override;

    // Starts, restarts or stops (port 0) listening at once; false and a
    // reason a person can read ("Port 8080 on 127.0.0.1 is in use") when it
    // cannot.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    void close();
    // "Listening on 127.0.0.1:8080", the last failure's reason, or "Off".
    QString statusText() const;
    quint64 requestsServed() const;
    quint64 requestsRefused() const;

private:
    void handle(const RequestHead::Head &request, const HttpListener::Responder &respond);
    HttpAnswer answerAtOnce(const MonitorRoute::Route &route) const;
    // Copies the figures now and formats them on the formatting thread.
    void answerLater(const MonitorRoute::Route &route, const HttpListener::Responder &respond);
    void deliver(quint64 ticket, const HttpAnswer &answer);
    void format(AnswerFormatter::Job job, const HttpListener::Responder &respond);

    const ControllerCore &m_core;
    HttpListener m_listener;
    QString m_status;
    QByteArray m_page;
    // Answers being formatted, by ticket; their responders stay on the main thread.
    std::unordered_map<quint64, HttpListener::Responder> m_pending;
    quint64 m_nextTicket = 1;
    AnswerFormatter m_formatter;  // last: its thread ends before the rest goes
};
