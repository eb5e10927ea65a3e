#pragma once

// A strict reader of the Prometheus text exposition format 0.0.4 for tests:
// every sample belongs to a family that has its HELP and TYPE lines before
// it and whose samples stand together, names and label names are valid,
// label values use only the format's three escapes, counters end in _total,
// values parse, and no series appears twice. The first fault found is
// reported with its line.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <cmath>

struct ExpositionSample
{
    QByteArray name;
    QMap<QByteArray, QString> labels;
    double value = 0;
};

struct Exposition
{
    QString error;  // empty when the text is valid
    QList<ExpositionSample> samples;
    QMap<QByteArray, QByteArray> types;

    // The value of the one sample with this name and these labels (a subset
    // of its labels); NaN when there is none.
    double value(const QByteArray &name, const QMap<QByteArray, QString> &labels) const
    {
        for (const ExpositionSample &sample : samples) {
            bool match = sample.name == name;
            for (auto it = labels.begin(); match && it != labels.end(); ++it)
                match = sample.labels.value(it.key()) == it.value();
            if (match)
                return sample.value;
        }
        return std::nan("");
    }
    int count(const QByteArray &name) const
    {
        int n = 0;
        for (const ExpositionSample &sample : samples)
            n += sample.name == name ? 1 : 0;
        return n;
    }
};

namespace ExpositionReader {

inline bool isName(QByteArrayView text, bool colonAllowed)
{
    if (text.isEmpty() || (text[0] >= '0' && text[0] <= '9'))
        return false;
    for (const char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
                        || (colonAllowed && c == ':');
        if (!ok)
            return false;
    }
    return true;
}

// Reads {a="x",b="y"} from the start of text; returns the bytes taken or -1.
inline qsizetype readLabels(QByteArrayView text, QMap<QByteArray, QString> &labels)
{
    qsizetype at = 1;
    while (at < text.size() && text[at] != '}') {
        const qsizetype equals = text.indexOf('=', at);
        if (equals < 0 || !isName(text.sliced(at, equals - at), false) || equals + 1 >= text.size()
            || text[equals + 1] != '"')
            return -1;
        const QByteArray name = text.sliced(at, equals - at).toByteArray();
        QByteArray value;
        qsizetype i = equals + 2;
        for (; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\') {
                if (++i >= text.size())
                    return -1;
                const char escaped = text[i] == 'n' ? '\n' : text[i];
                if (escaped != '\n' && escaped != '\\' && escaped != '"')
                    return -1;
                value += escaped;
            } else {
                value += text[i];
            }
        }
        if (i >= text.size() || labels.contains(name))
            return -1;
        labels.insert(name, QString::fromUtf8(value));
        at = i + 1;
        if (at < text.size() && text[at] == ',')
            ++at;
    }
    return at < text.size() ? at + 1 : -1;
}

inline Exposition read(const QByteArray &text)
{
    Exposition result;
    QMap<QByteArray, QByteArray> help;
    QSet<QByteArray> finished;  // families whose samples have ended
    QSet<QString> series;
    QByteArray current;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype number = 0; number < lines.size() && result.error.isEmpty(); ++number) {
        const QByteArray &line = lines[number];
        const auto fail = [&](const char *why) {
            result.error = QString::fromLatin1(why) + QStringLiteral(" in line ") + QString::number(number + 1) + QStringLiteral(": ")
                           + QString::fromUtf8(line);
        };
        if (line.isEmpty()) {
            if (number != lines.size() - 1)
                fail("empty line");
            continue;
        }
        if (line.startsWith("# HELP ") || line.startsWith("# TYPE ")) {
            const QList<QByteArray> parts = line.sliced(7).split(' ');
            if (parts.size() < 2 || !isName(parts[0], true))
                return fail("bad HELP or TYPE"), result;
            if (line.startsWith("# HELP "))
                help.insert(parts[0], parts[1]);
            else if (QByteArrayList{"counter", "gauge", "histogram", "summary", "untyped"}.contains(parts[1]))
                result.types.insert(parts[0], parts[1]);
            else
                return fail("unknown type"), result;
            if (parts[0] != current) {
                if (!current.isEmpty())
                    finished.insert(current);
                current = parts[0];
            }
            continue;
        }
        if (line.startsWith('#'))
            continue;
        ExpositionSample sample;
        qsizetype end = 0;
        while (end < line.size() && line[end] != '{' && line[end] != ' ')
            ++end;
        sample.name = line.first(end);
        if (!isName(sample.name, true))
            return fail("bad metric name"), result;
        if (end < line.size() && line[end] == '{') {
            const qsizetype taken = readLabels(QByteArrayView(line).sliced(end), sample.labels);
            if (taken < 0)
                return fail("bad labels"), result;
            end += taken;
        }
        if (end >= line.size() || line[end] != ' ')
            return fail("no value"), result;
        bool ok = false;
        sample.value = line.sliced(end + 1).toDouble(&ok);
        if (!ok)
            return fail("bad value"), result;
        if (!help.contains(sample.name) || !result.types.contains(sample.name))
            return fail("sample without HELP and TYPE"), result;
        if (sample.name != current || finished.contains(sample.name))
            return fail("family not together"), result;
        if (result.types[sample.name] == "counter" && !sample.name.endsWith("_total"))
            return fail("counter without _total"), result;
        if (result.types[sample.name] != "counter" && sample.name.endsWith("_total"))
            return fail("_total on a non-counter"), result;
        QString key = QString::fromLatin1(sample.name);
        for (auto it = sample.labels.begin(); it != sample.labels.end(); ++it)
            key += u'\x1f' + QString::fromLatin1(it.key()) + u'=' + it.value();
        if (series.contains(key))
            return fail("series twice"), result;
        series.insert(key);
        result.samples.append(sample);
    }
    return result;
}

} // namespace ExpositionReader
