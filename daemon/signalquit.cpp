#include "signalquit.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// [0] read on the main thread, [1] written by the handler; -1 when closed.
int signalPair[2] = {-1, -1};

void onSignal(int number)
{
    const int savedErrno = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPair[1], &byte, 1);
    errno = savedErrno;
}

void setHandler(int number, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(number, &action, nullptr);
}

} // namespace

SignalQuit::SignalQuit(QObject *parent)
    : QObject(parent)
{
    setHandler(SIGPIPE, SIG_IGN);
    // Non-blocking on the handler's side: a burst of signals that fills the
    // pair loses bytes, never blocks inside the handler.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalPair) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPair[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalQuit::onReadable);
    setHandler(SIGTERM, onSignal);
    setHandler(SIGINT, onSignal);
}

SignalQuit::~SignalQuit()
{
    if (!m_notifier)
        return;
    setHandler(SIGTERM, SIG_DFL);
    setHandler(SIGINT, SIG_DFL);
    delete m_notifier;
    ::close(signalPair[0]);
    ::close(signalPair[1]);
    signalPair[0] = signalPair[1] = -1;
}

void SignalQuit::onReadable()
{
    char byte = 0;
    while (::read(signalPair[0], &byte, 1) == 1) {
        if (m_received == 0)
            m_received = byte;
    }
    QCoreApplication::quit();
}
