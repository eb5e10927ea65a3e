#pragma once

// The device record: one amplifier the controller knows.

#include "devicequeue.h"
#include "statusblock.h"
#include "thsocket.h"

#include <QString>

#include <memory>

// Names a device for the whole run: given when the device enters the table,
// never given again, and 0 for a slot that holds none. Everything outside the
// link tells devices apart by it.
using DeviceId = quint64;

struct tDevice
{
    DeviceId id = 0;
    QString name;     // upper case, normally padded to at least 5 characters
    QString group;    // matched exactly against the group table's names
    QString address;  // dotted IPv4 text as it was given; the TCP host and the key
    StatusBlock status{};  // the last accepted block and a zero byte; zero until then
    DeviceQueue queue;  // shared with the worker

    // Written by the worker from its own thread; 0 for a slot without worker.
    int linkState() const { return m_worker ? m_worker->linkState() : ThSocket::NoResultYet; }
    int requestCount() const { return m_worker ? m_worker->requestCount() : 0; }
    int successCount() const { return m_worker ? m_worker->successCount() : 0; }
    int failureCount() const { return m_worker ? m_worker->failureCount() : 0; }
    // Link health of the last success; 0 before the first (see ThSocket).
    qint64 lastExchangeMicroseconds() const { return m_worker ? m_worker->lastExchangeMicroseconds() : 0; }
    qint64 lastSuccessNanoseconds() const { return m_worker ? m_worker->lastSuccessNanoseconds() : 0; }

    // The worker holds a job (see ThSocket::jobFlag()).
    bool jobPending() const { return m_worker && m_worker->jobFlag(); }
    // The worker waits for the main thread to take its result.
    bool awaitsAdoption() const { return m_worker && m_worker->awaitsAdoption(); }

private:
    friend class tDevices;
    std::shared_ptr<ThSocket> m_worker;  // none for a slot that holds no device
};
