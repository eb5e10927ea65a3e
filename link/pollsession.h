#pragma once

// The I/O side of a poll worker. Lives in the worker's thread and drives one
// attempt at a time, event by event, so that the thread never blocks and can
// be ended at any moment. Internal to ThSocket.

#include "exchange.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

class QTcpSocket;
class ThSocket;

class PollSession final : public QObject
{
    Q_OBJECT

public:
    explicit PollSession(ThSocket &worker);
    // Deleted in the worker thread when it ends.
    ~PollSession() override;

    // Posted by the hand-over and the retry, once per set job flag.
    void startAttempt();
    // Posted by the stop request.
    void stop();

private:
    enum class Step { Idle, Connecting, Reading };

    void createSocket();
    void send();
    void readAvailable();
    void timedOut();
    void connectionLost();
    void finishAttempt();
    void dropConnection();
    void postStatusBlock(const QByteArray &block);
    void postJobDropped();

    ThSocket &m_worker;
    QTcpSocket *m_socket = nullptr;
    QTimer m_timer;  // the connect, line or body time-out of the current step
    std::chrono::milliseconds m_timeout;
    Step m_step = Step::Idle;
    std::optional<ResponseReader> m_reader;
    QByteArray m_unread;  // bytes the device sent after its last response
    bool m_stopAfterAttempt = false;
};
