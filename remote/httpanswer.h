#pragma once

// One HTTP/1.1 answer of the monitor and its bytes on the wire. Every
// answer says "Cache-Control: no-store": what the monitor shows is only
// true at the moment it is asked. Pure, any thread.

#include <QByteArray>
#include <QList>
#include <QPair>

struct HttpAnswer
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> extraFields;  // e.g. "Allow" with a 405

    // A short plain text answer: the reason phrase, or the text given.
    static HttpAnswer plain(int status, const QByteArray &text = {});

    // Status line, fields and, unless withBody is false (a HEAD request), the
    // body. The Content-Length is the body's in either case.
    QByteArray bytes(bool withBody, bool keepAlive) const;

    static QByteArray reasonPhrase(int status);
};
