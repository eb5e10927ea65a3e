#pragma once

// How the remote interfaces are set up: the HTTP monitor's and the OSC
// server's port and listen address, and who may send OSC commands. Kept in
// the project's "Remote" section; off unless a port is set, and on loopback
// unless the operator names another address.

#include "projectfile.h"

#include <QString>
#include <QStringList>

struct RemoteSettings
{
    static QString loopback() { return QStringLiteral("127.0.0.1"); }

    quint16 httpPort = 0;  // 0: off
    QString httpListen = loopback();
    quint16 oscPort = 0;   // 0: off
    QString oscListen = loopback();
    QString oscAllow = loopback();  // addresses and IPv4 networks, comma-separated
    // Host names besides the listen address and localhost that HTTP requests
    // may give as their Host (a Prometheus that scrapes by name), comma-separated.
    QString httpHosts;

    bool operator==(const RemoteSettings &) const = default;
};

// The settings a project's section holds. A value that cannot be read or is
// out of range leaves its interface off; a name in HttpHosts that is not a
// host name is left out. problems says why, one sentence for each problem of
// each key.
RemoteSettings remoteSettingsOf(const ProjectRemote &section, QStringList *problems);

// The section that keeps these settings: only the values that differ from
// the defaults, so settings never made write no section at all.
ProjectRemote projectRemoteOf(const RemoteSettings &settings);
