#pragma once

// The "NotEnoughDeviceQuerySpace" note: a request to an amplifier was dropped
// because its queue was full. Every face tells the operator the same way: the
// note is shown from the event loop, never inside the queueing code, one at a
// time (the polling tick keeps dropping while a modal note is open), and not
// again within the quiet interval after one was shown. Main thread only.

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>

class ControllerCore;

class QueueFullNote final : public QObject
{
    Q_OBJECT

public:
    static QString text() { return QStringLiteral("NotEnoughDeviceQuerySpace"); }

    // show: puts the text before the operator; it may block (a modal box).
    using Show = std::function<void(const QString &text)>;

    QueueFullNote(const ControllerCore &core, qint64 quietIntervalMs, Show show, QObject *parent = nullptr);

private:
    void raise();

    Show m_show;
    qint64 m_quietIntervalMs;
    bool m_pending = false;
    QElapsedTimer m_sinceShown;
};
