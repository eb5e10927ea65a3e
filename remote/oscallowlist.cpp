#include "oscallowlist.h"

#include <QList>

using namespace Qt::StringLiterals;

namespace {

// Strict dotted quad: four numbers 0..255, 1..3 digits each, no leading zero.
std::optional<quint32> dottedQuad(QStringView text)
{
    const QList<QStringView> parts = text.split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 number = 0;
    for (QStringView part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part[0] == u'0'))
            return std::nullopt;
        uint byte = 0;
        for (const QChar c : part) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            byte = byte * 10 + uint(c.unicode() - u'0');
        }
        if (byte > 255)
            return std::nullopt;
        number = number << 8 | byte;
    }
    return number;
}

std::optional<int> prefixLength(QStringView text)
{
    if (text.isEmpty() || text.size() > 2 || (text.size() > 1 && text[0] == u'0'))
        return std::nullopt;
    int length = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        length = length * 10 + (c.unicode() - u'0');
    }
    return length <= 32 ? std::optional<int>(length) : std::nullopt;
}

quint32 maskOf(int prefix)
{
    return prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
}

QString quoted(QStringView entry)
{
    return u"\""_s + entry.toString() + u"\""_s;
}

} // namespace

std::optional<OscAllowList> OscAllowList::parse(QStringView text, QString *error)
{
    const auto refuse = [&](const QString &reason) -> std::optional<OscAllowList> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (text.size() > kMaxTextLength)
        return refuse(u"The allow list is longer than %1 characters."_s.arg(kMaxTextLength));

    OscAllowList list;
    if (text.trimmed().isEmpty()) {
        list.m_networks.push_back({quint32(127) << 24, maskOf(8)});
        list.m_ipv6Addresses.emplace_back(QHostAddress::LocalHostIPv6);
        return list;
    }
    const QList<QStringView> entries = text.split(u',');
    if (entries.size() > kMaxEntries)
        return refuse(u"The allow list has more than %1 entries."_s.arg(kMaxEntries));
    for (QStringView raw : entries) {
        const QStringView entry = raw.trimmed();
        if (entry.isEmpty())
            return refuse(u"The allow list has an empty entry between commas."_s);
        if (entry.contains(u':')) {
            const QHostAddress address(entry.toString());
            if (address.protocol() != QHostAddress::IPv6Protocol || entry.contains(u'/') || entry.contains(u'%'))
                return refuse(quoted(entry) + u" is not an IPv6 address."_s);
            list.m_ipv6Addresses.push_back(address);
            continue;
        }
        const qsizetype slash = entry.indexOf(u'/');
        const std::optional<quint32> base = dottedQuad(slash < 0 ? entry : entry.first(slash));
        if (!base)
            return refuse(quoted(entry) + u" is not an IPv4 address such as 10.0.0.1 or a network such as 10.0.0.0/8."_s);
        const std::optional<int> prefix = slash < 0 ? 32 : prefixLength(entry.sliced(slash + 1));
        if (!prefix)
            return refuse(quoted(entry) + u" has a network prefix other than 0 to 32."_s);
        const quint32 mask = maskOf(*prefix);
        if ((*base & ~mask) != 0)
            return refuse(quoted(entry) + u" has host bits set; the network is "_s
                          + QHostAddress(*base & mask).toString() + u"/"_s + QString::number(*prefix) + u"."_s);
        list.m_networks.push_back({*base, mask});
    }
    return list;
}

QString OscAllowList::errorOf(QStringView text)
{
    QString error;
    parse(text, &error);
    return error;
}

bool OscAllowList::allows(const QHostAddress &sender) const
{
    bool isIpv4 = false;
    const quint32 ipv4 = sender.toIPv4Address(&isIpv4);
    if (isIpv4) {
        for (const Network &network : m_networks) {
            if ((ipv4 & network.mask) == network.base)
                return true;
        }
        return false;
    }
    for (const QHostAddress &address : m_ipv6Addresses) {
        if (address.isEqual(sender, QHostAddress::StrictConversion))
            return true;
    }
    return false;
}
