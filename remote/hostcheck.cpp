#include "hostcheck.h"

namespace {

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
