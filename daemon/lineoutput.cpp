#include "lineoutput.h"

#include <QElapsedTimer>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

LineOutput::LineOutput(int fd, qsizetype capacityBytes)
    : m_fd(fd), m_capacityBytes(capacityBytes)
{
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wake[0] = m_wake[1] = -1;
    m_thread = std::thread([this] { run(); });
}

LineOutput::~LineOutput()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    wake();
    m_thread.join();
    for (const int fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool LineOutput::push(QByteArray bytes)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_queuedBytes + bytes.size() > m_capacityBytes)
            return false;
        m_queuedBytes += bytes.size();
        m_chunks.push_back(std::move(bytes));
    }
    wake();
    return true;
}

void LineOutput::wake()
{
    const char byte = 0;
    // A full wake-up pipe already says "look again": the failed write changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &byte, 1);
}

bool LineOutput::writeSome(QByteArray &chunk, int timeoutMs)
{
    pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_wake[0], POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) <= 0)
        return false;
    if (fds[1].revents & POLLIN) {
        char drain[64];
        while (::read(m_wake[0], drain, sizeof drain) > 0) {
        }
    }
    if (fds[0].revents & POLLNVAL) {
        chunk.clear();  // no descriptor: the chunk is lost
        return true;
    }
    // POLLERR on a pipe: the reader is gone. The write fails with EPIPE
    // (ampcontrold ignores SIGPIPE) and the chunk is lost.
    if (!(fds[0].revents & (POLLOUT | POLLHUP | POLLERR)))
        return false;
    // At most PIPE_BUF bytes: a pipe that polled writable takes them without blocking.
    const auto size = std::min<qsizetype>(chunk.size(), PIPE_BUF);
    const ssize_t written = ::write(m_fd, chunk.constData(), std::size_t(size));
    if (written > 0)
        chunk.remove(0, qsizetype(written));
    else if (written < 0 && errno != EAGAIN && errno != EINTR)
        chunk.clear();
    return true;
}

void LineOutput::run()
{
    pthread_setname_np(pthread_self(), "standard output");
    QByteArray chunk;
    QElapsedTimer finalWrite;
    while (true) {
        bool stop = false;
        if (chunk.isEmpty()) {
            const std::lock_guard lock(m_mutex);
            stop = m_stop;
            if (!m_chunks.empty()) {
                chunk = std::move(m_chunks.front());
                m_chunks.pop_front();
                m_queuedBytes -= chunk.size();
            }
        } else {
            const std::lock_guard lock(m_mutex);
            stop = m_stop;
        }
        if (stop && !finalWrite.isValid())
            finalWrite.start();
        if (chunk.isEmpty()) {
            if (stop)
                return;
            pollfd woken{m_wake[0], POLLIN, 0};
            ::poll(&woken, 1, -1);
            char drain[64];
            while (::read(m_wake[0], drain, sizeof drain) > 0) {
            }
            continue;
        }
        const int timeoutMs = stop ? int(std::max<qint64>(0, kFinalWriteMs - finalWrite.elapsed())) : -1;
        if (!writeSome(chunk, timeoutMs) && stop)
            return;
    }
}
