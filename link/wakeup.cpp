#include "wakeup.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

WakeUp::WakeUp()
    : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (m_fd < 0)
        qFatal("cannot create a wake-up descriptor");
}

WakeUp::~WakeUp()
{
    ::close(m_fd);
}

void WakeUp::signal()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(m_fd, &one, sizeof one);
}

void WakeUp::clear()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const auto read = ::read(m_fd, &count, sizeof count);
}
