#pragma once

// The controller's read-only HTTP monitor: the dashboard page at /, JSON
// under /api/v1/ (devices, groups, events, scenes), Prometheus metrics at /metrics
// and /healthz. Nothing it answers can change anything.
//
// It serves on the main thread's event loop, bounded as HttpListener says.
// An answer's figures are copied from the core at once; the JSON and the
// metrics text are then made on a thread of the monitor's own and the
// answer written when they come back, so the 1 ms tick waits at most for
// the copy. Off until listen() is called. Main thread only.
//
// The work a client can make is bounded: a job whose connections have all
// gone is dropped before it is formatted; a request for the same answer as
// one waiting joins it, and is formatted once; at most kMaxJobs jobs wait,
// and a request beyond them is answered 503 (counted as "busy"). Requests
// must name the monitor in their Host (HostCheck), and the dashboard page
// carries a Content-Security-Policy that lets it load nothing from elsewhere.

#include "answerformatter.h"
#include "httplistener.h"
#include "monitorroute.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <QStringList>

#include <unordered_map>
#include <vector>

class ControllerCore;

class HttpMonitor final : public QObject
{
    Q_OBJECT

public:
    static constexpr std::size_t kMaxJobs = 16;

    explicit HttpMonitor(const ControllerCore &core, QObject *parent = nullptr);
    ~HttpMonitor() override;

    // Starts, restarts or stops (port 0) listening at once; false and a
    // reason a person can read ("Port 8080 on 127.0.0.1 is in use") when it
    // cannot. hosts: the names besides the address and localhost that
    // requests may give as their Host (the "Remote" key HttpHosts).
    bool listen(const QHostAddress &address, quint16 port, QString *error, const QStringList &hosts = {});
    void close();
    // "Listening on 127.0.0.1:8080", the last failure's reason, or "Off".
    QString statusText() const;
    quint64 requestsServed() const;
    quint64 requestsRefused() const;
    const HttpListener::Refusals &refusals() const { return m_listener.refusals(); }
    // Seam for tests: the listener's time limits.
    void setTiming(const HttpListener::Timing &timing) { m_listener.setTiming(timing); }
    // Formatting jobs waiting or running; jobs formatted since the start.
    std::size_t jobsPending() const { return m_pending.size(); }
    quint64 jobsFormatted() const { return m_formatted; }

private:
    void handle(const RequestHead::Head &request, const HttpListener::Responder &respond);
    HttpAnswer answerAtOnce(const MonitorRoute::Route &route) const;
    // Copies the figures now and formats them on the formatting thread.
    void answerLater(const MonitorRoute::Route &route, const HttpListener::Responder &respond);
    void deliver(quint64 ticket, const HttpAnswer &answer);
    void format(const QByteArray &key, AnswerFormatter::Job job, const HttpListener::Responder &respond);
    // True when the request joined a job waiting for the same answer, or was refused.
    bool joinedOrRefused(const QByteArray &key, const HttpListener::Responder &respond);
    void forgetConnection(quint64 connection);

    const ControllerCore &m_core;
    HttpListener m_listener;
    QString m_status;
    QByteArray m_page;
    QByteArray m_pagePolicy;
    struct Pending
    {
        QByteArray key;  // which answer: endpoint and arguments
        std::vector<HttpListener::Responder> responders;
    };
    // Answers being formatted, by ticket; their responders stay on the main thread.
    std::unordered_map<quint64, Pending> m_pending;
    quint64 m_nextTicket = 1;
    quint64 m_formatted = 0;
    AnswerFormatter m_formatter;  // last: its thread ends before the rest goes
};
