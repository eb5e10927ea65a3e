#pragma once

// The scan loop, free of windows: asks every address of a range for its
// status block and reports through hooks. Runs on the calling thread (the
// main thread in the program) and blocks it during each GET.

#include "statusblock.h"

#include <QByteArray>
#include <QString>

#include <functional>

class StatusFetcher;

struct ScanHooks
{
    // One row of the result list: the address text, "Found" or "Not found",
    // and an empty row, in that order for every address.
    std::function<void(const QString &row)> appendRow;
    // Name (body offsets 80..84) and group (75..79), five Latin-1 characters
    // each as they stand, and the address text. Returns false when the device
    // table is full and the device could not be added.
    std::function<bool(const QString &name, const QString &group, const QString &address)>
        addOrUpdateDevice;
    // After each address: tree rebuild and state image refresh, then the
    // pending events.
    std::function<void()> afterAddress;
    // Once per scan, the first time addOrUpdateDevice returns false.
    std::function<void()> tableFull;
    // Optional: asked after each address; true ends the scan there.
    std::function<bool()> stopRequested;
};

// The length of the amplifier's status block, the only test of an answer.
inline constexpr qsizetype kStatusBlockBytes = kStatusBlockSize;

// Scans first .. last inclusive in increasing order, compared as unsigned
// 32-bit address numbers (a range across 128.0.0.0 scans normally, last
// below first scans nothing, last 255.255.255.255 ends there). Hooks left
// empty are skipped.
void runScan(quint32 first, quint32 last, StatusFetcher &fetcher, const ScanHooks &hooks);

// The same loop over any fetch: takes the address text, returns the body or
// an empty array. The seam for ranges that must never reach a network.
using FetchFunction = std::function<QByteArray(const QString &address)>;
void runScan(quint32 first, quint32 last, const FetchFunction &fetch, const ScanHooks &hooks);
