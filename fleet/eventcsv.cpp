#include "eventcsv.h"

#include "eventlog.h"

#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

// A spreadsheet takes a cell that starts with one of these as a formula (or
// strips the character), and a device chooses its own name: such a cell is
// written behind an apostrophe, which the spreadsheet shows as text.
bool startsLikeAFormula(QStringView text)
{
    constexpr QStringView kFormulaStarts = u"=+-@\t\r";
    return !text.isEmpty() && kFormulaStarts.contains(text.front());
}

} // namespace

namespace EventCsv {

QByteArray field(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (startsLikeAFormula(text))
        bytes.prepend('\'');
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r')) {
        bytes.replace("\"", "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

QByteArray toCsv(const EventLog &log)
{
    const auto line = [](const QString &time, const QString &severity, const QString &amplifier, const QString &text) {
        return field(time) + ',' + field(severity) + ',' + field(amplifier) + ',' + field(text) + "\r\n";
    };
    QByteArray csv = line(u"Time"_s, u"Severity"_s, u"Amplifier"_s, u"Event"_s);
    if (log.dropped() > 0)
        csv += line({}, FleetEvents::severityText(EventSeverity::Info), {}, log.droppedText());
    for (const FleetEvent &event : log.events())
        csv += line(event.time.toString(u"yyyy-MM-dd hh:mm:ss.zzz"_s), FleetEvents::severityText(event.severity),
                    event.amplifier, event.text);
    return csv;
}

bool save(const EventLog &log, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray csv = toCsv(log);
    if (file.write(csv) != csv.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace EventCsv
