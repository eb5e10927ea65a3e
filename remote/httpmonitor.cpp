#include "httpmonitor.h"

#include "controllercore.h"
#include "coreviews.h"
#include "metricstext.h"
#include "monitorjson.h"

#include <QCryptographicHash>
#include <QFile>
#include <QNetworkInterface>

using namespace Qt::StringLiterals;

namespace {

constexpr char kJson[] = "application/json";

QByteArray dashboardPage()
{
    QFile file(u":/remote/dashboard.html"_s);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The page's own inline style and script, by their hashes, and nothing from
// anywhere else: a name or text in the page cannot bring in code.
QByteArray contentSecurityPolicy(const QByteArray &page)
{
    const auto hashOf = [&](const QByteArray &open, const QByteArray &close) {
        const qsizetype start = page.indexOf('>', page.indexOf(open)) + 1;
        const qsizetype end = page.indexOf(close, start);
        if (start <= 0 || end < 0)
            return QByteArray();
        return " 'sha256-" + QCryptographicHash::hash(page.sliced(start, end - start), QCryptographicHash::Sha256)
                                 .toBase64() + '\'';
    };
    return "default-src 'self'; script-src" + hashOf("<script", "</script>") + "; style-src"
           + hashOf("<style", "</style>") + "; frame-ancestors 'none'";
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
      m_pagePolicy(contentSecurityPolicy(m_page)),
      m_formatter([this](quint64 ticket, const HttpAnswer &answer) { deliver(ticket, answer); })
{
    connect(&m_listener, &HttpListener::connectionClosed, this, &HttpMonitor::forgetConnection);
}

HttpMonitor::~HttpMonitor()
{
    // The connections go while what their closing touches is still there.
    m_listener.close();
}

bool HttpMonitor::listen(const QHostAddress &address, quint16 port, QString *error, const QStringList &hosts)
{
    m_listener.setHostCheck(HostCheck(address, hosts, QNetworkInterface::allAddresses()));
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
    case Endpoint::Scenes:
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
    HttpAnswer page = withBody("text/html; charset=utf-8", m_page);
    page.extraFields.append(qMakePair(QByteArray("Content-Security-Policy"), m_pagePolicy));
    return page;
}

void HttpMonitor::answerLater(const MonitorRoute::Route &route, const HttpListener::Responder &respond)
{
    using MonitorRoute::Endpoint;
    QByteArray key = QByteArray::number(int(route.endpoint));
    if (route.eventsAfter)
        key += ' ' + QByteArray::number(*route.eventsAfter);
    if (joinedOrRefused(key, respond))
        return;
    switch (route.endpoint) {
    case Endpoint::Devices:
        format(key, [devices = CoreViews::devices(m_core)] { return withBody(kJson, MonitorJson::devices(devices)); },
               respond);
        return;
    case Endpoint::Groups:
        format(key, [groups = CoreViews::groups(m_core)] { return withBody(kJson, MonitorJson::groups(groups)); },
               respond);
        return;
    case Endpoint::Events:
        format(key, [events = CoreViews::events(m_core, route.eventsAfter)] {
            return withBody(kJson, MonitorJson::events(events));
        }, respond);
        return;
    case Endpoint::Scenes:
        format(key, [scenes = CoreViews::scenes(m_core)] { return withBody(kJson, MonitorJson::scenes(scenes)); },
               respond);
        return;
    default: {
        MonitorViews::Controller controller = CoreViews::controller(m_core);
        controller.httpRequests = m_listener.requestsServed() + m_listener.requestsRefused();
        controller.httpRefused = m_listener.requestsRefused();
        format(key, [devices = CoreViews::devices(m_core), controller, refusals = m_listener.refusals()] {
            return withBody(MetricsText::kContentType, MetricsText::exposition(devices, controller, refusals));
        }, respond);
        return;
    }
    }
}

bool HttpMonitor::joinedOrRefused(const QByteArray &key, const HttpListener::Responder &respond)
{
    for (auto &[ticket, pending] : m_pending) {
        if (pending.key == key) {
            pending.responders.push_back(respond);
            return true;
        }
    }
    if (m_pending.size() < kMaxJobs)
        return false;
    respond.refuse(HttpAnswer::plain(503, "Too many requests at once"), HttpListener::Refusal::Busy);
    return true;
}

void HttpMonitor::format(const QByteArray &key, AnswerFormatter::Job job, const HttpListener::Responder &respond)
{
    const quint64 ticket = m_nextTicket++;
    m_pending.emplace(ticket, Pending{key, {respond}});
    m_formatter.submit(ticket, std::move(job));
}

void HttpMonitor::forgetConnection(quint64 connection)
{
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        std::erase_if(it->second.responders,
                      [&](const HttpListener::Responder &r) { return r.connection() == connection; });
        // Nobody waits for it: unformatted, it is dropped; started, its answer goes nowhere.
        if (it->second.responders.empty() && m_formatter.cancel(it->first))
            it = m_pending.erase(it);
        else
            ++it;
    }
}

void HttpMonitor::deliver(quint64 ticket, const HttpAnswer &answer)
{
    ++m_formatted;
    const auto found = m_pending.find(ticket);
    if (found == m_pending.end())
        return;
    const std::vector<HttpListener::Responder> responders = std::move(found->second.responders);
    m_pending.erase(found);
    for (const HttpListener::Responder &respond : responders)
        respond(answer);
}
