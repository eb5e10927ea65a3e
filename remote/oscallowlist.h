#pragma once

// Who may send commands: single addresses ("127.0.0.1", "::1") and IPv4
// networks in CIDR notation ("10.0.0.0/8"), comma-separated, blanks around
// entries ignored. An empty list allows loopback alone (127.0.0.0/8 and ::1),
// so that a listener set up without a list is no wider than the default.
//
// The text is read strictly: dotted quads of four decimal numbers 0..255
// without leading zeros, a prefix 0..32 whose network has no host bits set,
// at most kMaxEntries entries. Anything else is refused with a reason a
// person can read. Values, any thread.

#include <QHostAddress>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

class OscAllowList final
{
public:
    static constexpr int kMaxEntries = 64;
    static constexpr qsizetype kMaxTextLength = 4096;

    // The list, or none with the reason in *error (when error is given).
    static std::optional<OscAllowList> parse(QStringView text, QString *error = nullptr);

    // Why the text is refused; empty when it is a valid list.
    static QString errorOf(QStringView text);

    // An IPv4-mapped IPv6 sender (::ffff:10.0.0.1) counts as its IPv4 address.
    bool allows(const QHostAddress &sender) const;

private:
    struct Network
    {
        quint32 base = 0;
        quint32 mask = 0;
    };

    std::vector<Network> m_networks;
    std::vector<QHostAddress> m_ipv6Addresses;
};
