#pragma once

// Which Host a request may name, against DNS rebinding: a web page in a
// browser on this machine or network may make the browser ask the monitor
// under a name of the page's own, and read the answer as the page's. Only
// requests whose Host (port aside) names the listen address, localhost, or a
// name the operator listed are answered. When the monitor listens on every
// address, any address of this machine counts as the listen address.
//
// A request without Host is let through: browsers always send one. Names
// compare without regard to case. Values, any thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

class HostCheck final
{
public:
    HostCheck() = default;
    // names: the operator's extra names (the "Remote" key HttpHosts).
    // machineAddresses: this machine's, used when listen is an any-address.
    HostCheck(const QHostAddress &listen, const QStringList &names, const QList<QHostAddress> &machineAddresses);

    bool allows(QByteArrayView hostField) const;

private:
    bool allowsAddress(const QHostAddress &address) const;

    QHostAddress m_listen;
    QList<QByteArray> m_names;  // lower case, "localhost" among them
    QList<QHostAddress> m_machineAddresses;
    bool m_any = true;  // nothing set up: everything allowed
};
