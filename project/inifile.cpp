#include "inifile.h"

#include "codepage1252.h"

using namespace Qt::StringLiterals;

namespace {

constexpr char kLineEnd[] = "\r\n";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmedBlanks(QByteArrayView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && (isBlank(text[last - 1]) || text[last - 1] == '\r'))
        --last;
    return text.sliced(first, last - first);
}

QByteArray folded(QByteArrayView name)
{
    return trimmedBlanks(name).toByteArray().toLower();
}

QByteArray folded(QStringView name)
{
    return folded(QByteArrayView(toCodePage1252(name)));
}

// A line without its LF or CR LF.
QByteArrayView withoutLineEnd(QByteArrayView line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

QByteArrayView lineEndOf(QByteArrayView line)
{
    return line.sliced(withoutLineEnd(line).size());
}

enum class LineKind { Other, Header, Entry };

struct ParsedLine
{
    LineKind kind = LineKind::Other;
    QByteArrayView name;  // section or key name, untrimmed
};

ParsedLine parseLine(QByteArrayView line)
{
    const QByteArrayView text = trimmedBlanks(withoutLineEnd(line));
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        return {LineKind::Header, text.sliced(1, (close < 0 ? text.size() : close) - 1)};
    }
    if (text.startsWith(';'))
        return {};
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return {};
    return {LineKind::Entry, text.first(equals)};
}

QByteArray valueBytes(QStringView value)
{
    QByteArray bytes = toCodePage1252(value);
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

bool isQuoted(QByteArrayView value)
{
    return value.size() >= 2 && value.front() == '"' && value.back() == '"';
}

// What the reader makes of a value found in a line: blanks around it dropped,
// then one pair of double quotes around the whole of it taken off.
QByteArrayView readBack(QByteArrayView written)
{
    QByteArrayView value = trimmedBlanks(written);
    if (isQuoted(value))
        value = value.sliced(1, value.size() - 2);
    return value;
}

QByteArray paddedTo(QByteArrayView value, qsizetype width)
{
    QByteArray padded = value.toByteArray();
    if (padded.size() < width)
        padded.append(width - padded.size(), ' ');
    return padded;
}

// A value is written bare, as files have always held it, unless reading it
// back would change it beyond what its reader restores by padding it with
// blanks to paddingRestoredTo characters: then it is written inside double
// quotes, which the reader takes off again. Quoted are a leading blank, a
// value itself enclosed in double quotes, and trailing blanks that are more
// than padding.
QByteArray quotedIfNeeded(QByteArray value, qsizetype paddingRestoredTo)
{
    if (paddedTo(readBack(value), paddingRestoredTo) == paddedTo(value, paddingRestoredTo))
        return value;
    return '"' + value + '"';
}

} // namespace

IniFile::IniFile(QByteArray bytes)
    : m_source(std::move(bytes))
{
    parse();
}

// One pass over the lines. Consecutive lines that are not entries are kept as
// one run, so blank lines or binary data cost one item, not one per line.
void IniFile::parse()
{
    m_sections.emplace_back();
    Section *current = &m_sections.back();
    bool readable = false;  // false before the first header and in repeated sections
    qsizetype runStart = -1;
    qsizetype runEnd = -1;
    const auto run = [this, &runStart, &runEnd] {
        const QByteArray lines = QByteArray::fromRawData(m_source.constData() + runStart,
                                                         runEnd - runStart);
        runStart = -1;
        return lines;
    };

    const QByteArrayView source(m_source);
    for (qsizetype pos = 0; pos < source.size();) {
        const qsizetype newline = source.indexOf('\n', pos);
        const qsizetype next = newline < 0 ? source.size() : newline + 1;
        const QByteArrayView line = source.sliced(pos, next - pos);
        const ParsedLine parsed = parseLine(line);
        const QByteArray name = parsed.kind == LineKind::Other ? QByteArray() : folded(parsed.name);

        if (parsed.kind == LineKind::Header && !m_sectionIndex.contains(name)) {
            if (runStart >= 0)
                current->tail.push_back(run());
            m_sectionIndex.insert(name, m_sections.size());
            current = &m_sections.emplace_back();
            current->body.push_back(QByteArray::fromRawData(line.data(), line.size()));
            readable = true;
        } else if (parsed.kind == LineKind::Entry && readable) {
            if (runStart >= 0)
                current->body.push_back(run());
            if (!current->entries.contains(name))
                current->entries.insert(name, current->body.size());
            current->body.push_back(QByteArray::fromRawData(line.data(), line.size()));
        } else {
            if (parsed.kind == LineKind::Header) {
                // A repeated section: never read, never written; its lines
                // are a tail item of their own, which removeSection drops.
                readable = false;
                if (runStart >= 0)
                    current->tail.push_back(run());
                m_repeated[name].push_back({m_sections.size() - 1, current->tail.size()});
            }
            if (runStart < 0)
                runStart = pos;
            runEnd = next;
        }
        pos = next;
    }
    if (runStart >= 0)
        current->tail.push_back(run());
}

const QByteArray *IniFile::entryLine(QStringView section, QStringView key) const
{
    const auto sectionAt = m_sectionIndex.constFind(folded(section));
    if (sectionAt == m_sectionIndex.cend())
        return nullptr;
    const Section &found = m_sections[*sectionAt];
    const auto entryAt = found.entries.constFind(folded(key));
    return entryAt == found.entries.cend() ? nullptr : &found.body[*entryAt];
}

QByteArray IniFile::rawValue(QStringView section, QStringView key) const
{
    const QByteArray *line = entryLine(section, key);
    if (!line)
        return {};
    const QByteArrayView text = withoutLineEnd(*line);
    const QByteArrayView value = readBack(text.sliced(text.indexOf('=') + 1));
    return value.first(qMin(value.size(), kMaxValueLength)).toByteArray();
}

QString IniFile::value(QStringView section, QStringView key) const
{
    return fromCodePage1252(rawValue(section, key));
}

int IniFile::intValue(QStringView section, QStringView key) const
{
    bool ok = false;
    const int number = rawValue(section, key).toInt(&ok, 10);
    return ok ? number : 0;
}

IniFile::Section &IniFile::sectionForWriting(QStringView section)
{
    const QByteArray name = folded(section);
    if (const auto at = m_sectionIndex.constFind(name); at != m_sectionIndex.cend())
        return m_sections[*at];
    m_sectionIndex.insert(name, m_sections.size());
    Section &added = m_sections.emplace_back();
    added.body.push_back('[' + valueBytes(section) + ']' + kLineEnd);
    return added;
}

void IniFile::setValue(QStringView section, QStringView key, QStringView value,
                       qsizetype paddingRestoredTo)
{
    Section &target = sectionForWriting(section);
    const QByteArray entry =
        valueBytes(key) + '=' + quotedIfNeeded(valueBytes(value), paddingRestoredTo);
    const QByteArray name = folded(key);
    if (const auto at = target.entries.constFind(name); at != target.entries.cend()) {
        QByteArray &line = target.body[*at];
        line = entry + lineEndOf(line).toByteArray();
        return;
    }
    target.entries.insert(name, target.body.size());
    target.body.push_back(entry + kLineEnd);
}

void IniFile::setIntValue(QStringView section, QStringView key, int value)
{
    setValue(section, key, QString::number(value));
}

bool IniFile::hasSection(QStringView section) const
{
    return m_sectionIndex.contains(folded(section));
}

void IniFile::clearSection(QStringView section)
{
    const auto at = m_sectionIndex.constFind(folded(section));
    if (at == m_sectionIndex.cend())
        return;
    Section &target = m_sections[*at];
    target.body.resize(1);
    target.entries.clear();
}

void IniFile::removeSection(QStringView section)
{
    const auto at = m_sectionIndex.constFind(folded(section));
    if (at == m_sectionIndex.cend())
        return;
    Section &target = m_sections[*at];
    target.body.clear();
    target.tail.clear();
    target.entries.clear();
    // Its repeated copies too, or the first of them would be read next time.
    const QByteArray name = at.key();
    for (const auto &[sectionIndex, tailIndex] : m_repeated.value(name))
        m_sections[sectionIndex].tail[tailIndex].clear();
    m_repeated.remove(name);
    m_sectionIndex.erase(at);
}

QByteArray IniFile::toBytes() const
{
    QByteArray bytes;
    bytes.reserve(m_source.size() + 64);
    const auto append = [&bytes](const QByteArray &line) {
        if (line.isEmpty())
            return;  // lines of a removed section
        // Only the last line of a file can lack its line end.
        if (!bytes.isEmpty() && !bytes.endsWith('\n'))
            bytes.append(kLineEnd);
        bytes.append(line);
    };
    for (const Section &section : m_sections) {
        for (const QByteArray &line : section.body)
            append(line);
        for (const QByteArray &lines : section.tail)
            append(lines);
    }
    return bytes;
}
