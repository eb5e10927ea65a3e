#include "httpanswer.h"

HttpAnswer HttpAnswer::plain(int status, const QByteArray &text)
{
    HttpAnswer answer;
    answer.status = status;
    answer.contentType = "text/plain; charset=utf-8";
    answer.body = (text.isEmpty() ? reasonPhrase(status) : text) + '\n';
    return answer;
}

QByteArray HttpAnswer::reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 421:
        return "Misdirected Request";
    case 503:
        return "Service Unavailable";
    default:
        break;
    }
    return "Error";
}

QByteArray HttpAnswer::bytes(bool withBody, bool keepAlive) const
{
    QByteArray out;
    out.reserve(160 + (withBody ? body.size() : 0));
    out += "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    if (!contentType.isEmpty())
        out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\n";
    out += "X-Content-Type-Options: nosniff\r\n";
    for (const auto &[name, value] : extraFields)
        out += name + ": " + value + "\r\n";
    out += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (withBody)
        out += body;
    return out;
}
