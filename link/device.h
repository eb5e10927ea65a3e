#pragma once

// The device record: one amplifier the controller knows.

#include "devicequeue.h"
#include "statusblock.h"
#include "thsocket.h"

#include <QString>

#include <memory>

struct tDevice
{
    QString name;     // upper case, normally padded to at least 5 characters
    QString group;    // matched exactly against the group table's names
    QString address;  // dotted IPv4 text as it was given; the TCP host and the key
    StatusBlock status{};  // the last accepted block and a zero byte; zero until then
    std::shared_ptr<ThSocket> worker;  // none for a slot that holds no device
    DeviceQueue queue;  // shared with the worker

    // Written by the worker from its own thread; 0 for a slot without worker.
    int linkState() const { return worker ? worker->linkState() : ThSocket::NoResultYet; }
    int requestCount() const { return worker ? worker->requestCount() : 0; }
    int successCount() const { return worker ? worker->successCount() : 0; }
    int failureCount() const { return worker ? worker->failureCount() : 0; }
    // Link health of the last success; 0 before the first (see ThSocket).
    qint64 lastExchangeMicroseconds() const { return worker ? worker->lastExchangeMicroseconds() : 0; }
    qint64 lastSuccessNanoseconds() const { return worker ? worker->lastSuccessNanoseconds() : 0; }
};
