#include "connectioninterrupt.h"

#include <sys/socket.h>

bool ConnectionInterrupt::track(int fd)
{
    const std::lock_guard lock(m_mutex);
    if (m_interrupted)
        return false;
    m_fd = fd;
    return true;
}

void ConnectionInterrupt::untrack()
{
    const std::lock_guard lock(m_mutex);
    m_fd = -1;
}

void ConnectionInterrupt::interrupt()
{
    const std::lock_guard lock(m_mutex);
    m_interrupted = true;
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}
