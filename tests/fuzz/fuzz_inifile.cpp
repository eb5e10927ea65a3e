// Project files as they might be found on disk, binary ones included: the INI
// reader takes any bytes, an untouched file writes back byte for byte, and a
// value written reads back as written, also after the text is read again.
// The first input bytes up to a zero byte are the value to write.

#include "inifile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArrayView valueBytes = split < 0 ? QByteArrayView() : input.first(split);
    const QByteArray text = (split < 0 ? input : input.sliced(split + 1)).toByteArray();

    IniFile file(text);
    if (file.toBytes() != text)
        std::abort();
    for (const QString &section : {u"Program"_s, u"Group1"_s, u"Device1"_s}) {
        for (const QString &key : {u"Name"_s, u"GroupNum"_s, u"DeviceNum"_s, u"GroupName"_s, u"DeviceIP"_s, u"Volume.CH_A"_s}) {
            file.intValue(section, key);
            file.value(section, key);
        }
    }

    // A value of printable ASCII without blanks at its ends reads back whole.
    QString value = QString::fromLatin1(valueBytes.first(qMin<qsizetype>(valueBytes.size(), IniFile::kMaxValueLength)));
    for (QChar &c : value) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7E)
            c = u'x';
    }
    file.setValue(u"Group1"_s, u"GroupDescription"_s, value);
    file.setIntValue(u"Program"_s, u"GroupNum"_s, int(size));
    const IniFile again(file.toBytes());
    for (const IniFile *read : {static_cast<const IniFile *>(&file), &again}) {
        if (read->value(u"Group1"_s, u"GroupDescription"_s) != value
            || read->intValue(u"Program"_s, u"GroupNum"_s) != int(size))
            std::abort();
    }
    return 0;
}
