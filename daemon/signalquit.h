#pragma once

// Ends the application's event loop on SIGTERM or SIGINT. The handler only
// writes the signal's number into a socket pair (write() is
// async-signal-safe); a QSocketNotifier on the other end quits the loop on
// the main thread. SIGPIPE is ignored: a reader of standard output that went
// away must not end the polling.
//
// One per process, made on the main thread once the QCoreApplication exists.

#include <QObject>

class QSocketNotifier;

class SignalQuit final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SignalQuit)

public:
    explicit SignalQuit(QObject *parent = nullptr);
    // Puts the default handlers back before the socket pair closes.
    ~SignalQuit() override;

    // False when the socket pair or the handlers could not be set up.
    bool armed() const { return m_notifier != nullptr; }
    // The signal that ended the loop; 0 before one came.
    int received() const { return m_received; }

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
    int m_received = 0;
};
