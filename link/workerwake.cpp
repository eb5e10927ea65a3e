#include "workerwake.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <ctime>

namespace {

long futex(std::atomic<quint32> &word, int operation, quint32 value, const timespec *timeout)
{
    return ::syscall(SYS_futex, reinterpret_cast<quint32 *>(&word), operation, value, timeout, nullptr, 0);
}

} // namespace

void WorkerWake::wait(quint32 seen, int timeoutMs)
{
    if (timeoutMs < 0) {
        futex(m_sequence, FUTEX_WAIT_PRIVATE, seen, nullptr);
        return;
    }
    const timespec timeout{timeoutMs / 1000, long(timeoutMs % 1000) * 1'000'000};
    futex(m_sequence, FUTEX_WAIT_PRIVATE, seen, &timeout);
}

void WorkerWake::signal()
{
    m_sequence.fetch_add(1, std::memory_order_release);
    futex(m_sequence, FUTEX_WAKE_PRIVATE, quint32(INT_MAX), nullptr);
}
