#include "httpmonitor.h"

#include "controllercore.h"
#include "coreviews.h"
#include "metricstext.h"
#include "monitorjson.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace {

constexpr char kJson[] = "application/json";

QByteArray dashboardPage()
{
    QFile file(u":/remote/dashboard.html"_s);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

HttpAnswer withBody(const char *contentType, QByteArray body)
{
    HttpAnswer answer;
    answer.contentType = contentType;
    answer.body = std::move(body);
    return answer;
}

} // namespace

HttpMonitor::HttpMonitor(const ControllerCore &core, QObject *parent)
    : QObject(parent),
      m_core(core),
      m_listener([this](const RequestHead::Head &request, const HttpListener::Responder &respond) {
          handle(request, respond);
      }),
      m_status(u"Off"_s),
      m_page(dashboardPage()),
      m_formatter([this](quint64 ticket, const HttpAnswer &answer) { deliver(ticket, answer); })
{
}

HttpMonitor::~HttpMonitor() = default;

bool HttpMonitor::listen(const QHostAddress &address, quint16 port, QString *error)
{
    QString reason;
    if (!m_listener.listen(address, port, &reason)) {
        m_status = reason;
        if (error)
            *error = reason;
        return false;
    }
    m_status = port == 0 ? u"Off"_s : u"Listening on "_s + HttpListener::hostAndPort(address, port);
    return true;
}

void HttpMonitor::close()
{
    m_listener.close();
    m_status = u"Off"_s;
}

QString HttpMonitor::statusText() const
{
    return m_status;
}

quint64 HttpMonitor::requestsServed() const
{
    return m_listener.requestsServed();
}

quint64 HttpMonitor::requestsRefused() const
{
    return m_listener.requestsRefused();
}

void HttpMonitor::handle(const RequestHead::Head &request, const HttpListener::Responder &respond)
{
    using MonitorRoute::Endpoint;
    const MonitorRoute::Route route = MonitorRoute::route(request.method, request.target);
    switch (route.endpoint) {
    case Endpoint::Devices:
    case Endpoint::Groups:
    case Endpoint::Events:
    case Endpoint::Metrics:
        answerLater(route, respond);
        return;
    default:
        respond(answerAtOnce(route));
        return;
    }
}

HttpAnswer HttpMonitor::answerAtOnce(const MonitorRoute::Route &route) const
{
    if (route.status == 405) {
        HttpAnswer answer = HttpAnswer::plain(405);
        answer.extraFields.append(qMakePair(QByteArray("Allow"), QByteArray("GET, HEAD")));
        return answer;
    }
    if (route.status != 200)
        return HttpAnswer::plain(route.status);
    if (route.endpoint == MonitorRoute::Endpoint::Health)
        return m_core.tickRunning() ? HttpAnswer::plain(200, "ok") : HttpAnswer::plain(503, "tick stopped");
    return withBody("text/html; charset=utf-8", m_page);
}

void HttpMonitor::answerLater(const MonitorRoute::Route &route, const HttpListener::Responder &respond)
{
    using MonitorRoute::Endpoint;
    switch (route.endpoint) {
    case Endpoint::Devices:
        format([devices = CoreViews::devices(m_core)] { return withBody(kJson, MonitorJson::devices(devices)); },
               respond);
        return;
    case Endpoint::Groups:
        format([groups = CoreViews::groups(m_core)] { return withBody(kJson, MonitorJson::groups(groups)); },
               respond);
        return;
    case Endpoint::Events:
        format([events = CoreViews::events(m_core, route.eventsAfter)] {
            return withBody(kJson, MonitorJson::events(events));
        }, respond);
        return;
    default: {
        MonitorViews::Controller controller = CoreViews::controller(m_core);
        controller.httpRequests = m_listener.requestsServed() + m_listener.requestsRefused();
        controller.httpRefused = m_listener.requestsRefused();
        format([devices = CoreViews::devices(m_core), controller] {
            return withBody(MetricsText::kContentType, MetricsText::exposition(devices, controller));
        }, respond);
        return;
    }
    }
}

void HttpMonitor::format(AnswerFormatter::Job job, const HttpListener::Responder &respond)
{
    const quint64 ticket = m_nextTicket++;
    m_pending.emplace(ticket, respond);
    m_formatter.submit(ticket, std::move(job));
}

void HttpMonitor::deliver(quint64 ticket, const HttpAnswer &answer)
{
    const auto found = m_pending.find(ticket);
    if (found == m_pending.end())
        return;
    const HttpListener::Responder respond = std::move(found->second);
    m_pending.erase(found);
    respond(answer);
}
