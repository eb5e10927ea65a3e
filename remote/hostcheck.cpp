#include "hostcheck.h"

using namespace Qt::StringLiterals;

namespace {

bool isHostName(QStringView name)
{
    if (name.isEmpty() || name.size() > 253 || name.startsWith(u'-') || name.startsWith(u'.'))
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool letterOrDigit = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
        if (!letterOrDigit && u != u'-' && u != u'.')
            return false;
    }
    return true;
}

// The host of a Host field without its port: "a:80" "a", "[::1]:80" "::1".
QByteArrayView withoutPort(QByteArrayView field)
{
    if (field.startsWith('[')) {
        const qsizetype close = field.indexOf(']');
        return close < 0 ? QByteArrayView() : field.sliced(1, close - 1);
    }
    const qsizetype colon = field.indexOf(':');
    return colon < 0 ? field : field.first(colon);
}

QHostAddress plain(const QHostAddress &address)
{
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4) : address;
}

} // namespace

HostCheck::HostCheck(const QHostAddress &listen, const QStringList &names,
                     const QList<QHostAddress> &machineAddresses)
    : m_listen(plain(listen)), m_machineAddresses(machineAddresses), m_any(false)
{
    m_names.append("localhost");
    for (const QString &name : names)
        m_names.append(name.toLower().toLatin1());
}

QStringList HostCheck::namesOf(const QString &list, QStringList *invalid)
{
    QStringList names;
    for (const QString &entry : list.split(u',', Qt::SkipEmptyParts)) {
        const QString name = entry.trimmed();
        if (isHostName(name))
            names.append(name);
        else if (invalid && !name.isEmpty())
            invalid->append(name);
    }
    return names;
}

bool HostCheck::allowsAddress(const QHostAddress &address) const
{
    const QHostAddress asked = plain(address);
    if (m_listen == QHostAddress::Any || m_listen == QHostAddress::AnyIPv4 || m_listen == QHostAddress::AnyIPv6)
        return asked.isLoopback() || m_machineAddresses.contains(asked);
    return asked == m_listen;
}

bool HostCheck::allows(QByteArrayView hostField) const
{
    if (m_any)
        return true;
    const QByteArrayView host = withoutPort(hostField);
    if (host.isEmpty())
        return false;
    const QHostAddress address(QString::fromLatin1(host));
    if (!address.isNull())
        return allowsAddress(address);
    QByteArray lower = host.toByteArray().toLower();
    if (lower.endsWith('.'))
        lower.chop(1);  // "localhost." is "localhost"
    return m_names.contains(lower);
}
