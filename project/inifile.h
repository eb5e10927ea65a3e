#pragma once

// An INI text file held in memory, read and updated key by key.
//
// Reading: section and key names match without regard to (ASCII) case; the
// first section of a name and its first key of a name count, later ones are
// ignored; blanks (spaces, tabs) around a value are dropped, then one pair of
// double quotes around the whole value, and a value is read up to
// kMaxValueLength characters; a missing key reads as empty text,
// or as 0 for a number, as does a value that is not a decimal integer. Lines
// may end in LF or CR LF; text is Windows-1252. A line whose first non-blank
// character is ';' is a comment.
//
// Writing updates the text in place: an existing key is overwritten where it
// stands, a new key goes after the last entry of its section, a new section at
// the end; every other line keeps its bytes, line end included. New and
// rewritten lines end in CR LF (a rewritten line keeps its own line end).
// Line breaks inside a value are written as blanks, so that a value can never
// start a line of its own. A value is written bare, as such files have always
// held it, unless reading it back would change it: a value that starts with a
// blank, that is itself enclosed in double quotes, or that ends in a blank is
// written inside double quotes. Trailing blanks that only pad a value to the
// width its reader pads it to again (paddingRestoredTo, 0 for text whose every
// blank counts) are no change and stay bare.
//
// Parsing is a pure function of the bytes: IniFile(bytes) accepts anything,
// binary data included, in time and memory linear in its size, and never
// fails. This is the entry point for fuzzing the reader; callers bound the
// size of what they read from disk (see projectio.h).
//
// Not thread-safe; a value type used by one thread at a time.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

class IniFile final
{
public:
    static constexpr qsizetype kMaxValueLength = 2047;

    explicit IniFile(QByteArray bytes = {});

    QString value(QStringView section, QStringView key) const;
    int intValue(QStringView section, QStringView key) const;

    void setValue(QStringView section, QStringView key, QStringView value,
                  qsizetype paddingRestoredTo = 0);
    void setIntValue(QStringView section, QStringView key, int value);

    bool hasSection(QStringView section) const;
    // Drops every entry of the section, and the lines between them; its
    // header stays where it is, so the entries written next take its place.
    void clearSection(QStringView section);
    // Drops the section: its header, its entries and the lines after them
    // up to the next section, and every repeated section of that name. A section of that name written later goes to
    // the end of the file.
    void removeSection(QStringView section);

    QByteArray toBytes() const;

private:
    struct Section
    {
        // The header and every line up to the last entry; new entries are
        // appended here. Lines keep their line ends.
        std::vector<QByteArray> body;
        // Comments, blank lines and lines of ignored sections after the last
        // entry; they stay behind any entry added later.
        std::vector<QByteArray> tail;
        // Folded key name -> index in body of its first entry.
        QHash<QByteArray, std::size_t> entries;
    };

    void parse();
    const QByteArray *entryLine(QStringView section, QStringView key) const;
    QByteArray rawValue(QStringView section, QStringView key) const;
    Section &sectionForWriting(QStringView section);

    // Unchanged lines refer into this buffer without copying it.
    QByteArray m_source;
    // The first section holds the lines before any header and is never matched.
    std::vector<Section> m_sections;
    QHash<QByteArray, std::size_t> m_sectionIndex;  // folded name -> index
    // Folded name -> (section, tail item) of each repeated header of that name.
    QHash<QByteArray, std::vector<std::pair<std::size_t, std::size_t>>> m_repeated;
};
