#pragma once

// A descriptor that one thread makes readable to wake another out of poll().

#include <QtGlobal>

class WakeUp final
{
    Q_DISABLE_COPY_MOVE(WakeUp)

public:
    WakeUp();
    ~WakeUp();

    int fd() const { return m_fd; }
    // Any thread; wake-ups that come before the waiter looks merge into one.
    void signal();
    // The waiting thread, once woken, before it looks at what changed.
    void clear();

private:
    int m_fd;
};
