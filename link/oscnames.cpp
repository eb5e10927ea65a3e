#include "oscnames.h"

namespace OscNames {

QString addressName(QStringView stored)
{
    qsizetype length = stored.size();
    while (length > 0 && stored[length - 1] == u' ')
        --length;
    QString name = stored.first(length).toString();
    name.replace(u' ', u'_');
    return name;
}

bool fitsAddress(QStringView name)
{
    if (name.isEmpty())
        return false;
    constexpr QStringView kReserved = u"#*,/?[]{}";
    for (const QChar c : name) {
        if (c.unicode() <= u' ' || c.unicode() >= 0x7f || kReserved.contains(c))
            return false;
    }
    return true;
}

qsizetype uniqueMatch(const QStringList &addressNames, QStringView wanted)
{
    qsizetype found = -1;
    if (wanted.isEmpty())
        return found;
    for (qsizetype i = 0; i < addressNames.size(); ++i) {
        if (QStringView(addressNames[i]).compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        if (found >= 0)
            return -1;
        found = i;
    }
    return found;
}

} // namespace OscNames
