#include "addressscan.h"

#include "ipaddress.h"
#include "statusfetcher.h"

#include <QByteArray>

namespace {

constexpr qsizetype kGroupOffset = 75;
constexpr qsizetype kNameOffset = 80;
constexpr qsizetype kFieldBytes = 5;

static_assert(StatusFetcher::kBodyLimit >= kStatusBlockBytes,
              "the fetcher must keep a whole status block");

void appendRow(const ScanHooks &hooks, const QString &row)
{
    if (hooks.appendRow)
        hooks.appendRow(row);
}

// True when the address answered with a status block.
bool scanAddress(const QString &address, const FetchFunction &fetch, const ScanHooks &hooks,
                 bool &tableFullReported)
{
    const QByteArray body = fetch(address);
    if (body.size() != kStatusBlockBytes)
        return false;
    const QString name = QString::fromLatin1(body.mid(kNameOffset, kFieldBytes));
    const QString group = QString::fromLatin1(body.mid(kGroupOffset, kFieldBytes));
    const bool added = !hooks.addOrUpdateDevice || hooks.addOrUpdateDevice(name, group, address);
    if (!added && !tableFullReported) {
        tableFullReported = true;
        if (hooks.tableFull)
            hooks.tableFull();
    }
    return true;
}

}  // namespace

void runScan(quint32 first, quint32 last, StatusFetcher &fetcher, const ScanHooks &hooks)
{
    runScan(first, last, [&fetcher](const QString &address) { return fetcher.get(address); },
            hooks);
}

void runScan(quint32 first, quint32 last, const FetchFunction &fetch, const ScanHooks &hooks)
{
    if (last < first)
        return;
    bool tableFullReported = false;
    for (quint32 number = first;; ++number) {
        const QString address = addressText(number);
        appendRow(hooks, address);
        const bool found = scanAddress(address, fetch, hooks, tableFullReported);
        appendRow(hooks, found ? QStringLiteral("Found") : QStringLiteral("Not found"));
        appendRow(hooks, QString());
        if (hooks.afterAddress)
            hooks.afterAddress();
        // Tested before the increment, so that last == 0xFFFFFFFF ends too.
        if (number == last || (hooks.stopRequested && hooks.stopRequested()))
            return;
    }
}
