#include "remotesettings.h"

#include <QHostAddress>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

enum Key { HttpPort, HttpListen, OscPort, OscListen, OscAllow, HttpHosts };

// Empty text is 0 (off); anything but a whole number 0..65535 is refused.
bool readPort(const QString &text, quint16 &port)
{
    if (text.trimmed().isEmpty()) {
        port = 0;
        return true;
    }
    bool ok = false;
    const uint number = text.trimmed().toUInt(&ok, 10);
    if (!ok || number > 65535)
        return false;
    port = quint16(number);
    return true;
}

bool readAddress(const QString &text, QString &address)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return true;  // the default
    if (QHostAddress(trimmed).isNull())
        return false;
    address = trimmed;
    return true;
}

// Reads one interface's port and address; on a bad value the port is 0.
void readInterface(const ProjectRemote &section, Key portKey, Key listenKey, const QString &name,
                   quint16 &port, QString &listen, QStringList *problems)
{
    const QString &portText = section.values[portKey];
    const QString &listenText = section.values[listenKey];
    const auto refuse = [&](QStringView key, const QString &value, const QString &what) {
        port = 0;
        if (problems)
            problems->append(u"Remote: %1 \"%2\" is not %3; %4 stays off"_s.arg(key, value, what, name));
    };
    const bool portRead = readPort(portText, port);
    if (!portRead)
        refuse(ProjectRemote::kKeys[portKey], portText, u"a port number (0 to 65535)"_s);
    if (!readAddress(listenText, listen))
        refuse(ProjectRemote::kKeys[listenKey], listenText, u"an IP address"_s);
}

// A host name: letters, digits, '-' and '.', not starting with either sign.
bool isHostName(QStringView name)
{
    if (name.isEmpty() || name.size() > 253 || name.startsWith(u'-') || name.startsWith(u'.'))
        return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-'
               || u == u'.';
    });
}

// The valid names, comma-separated; each invalid one is a problem of its own.
QString readHosts(const QString &text, QStringList *problems)
{
    QStringList names;
    for (const QString &entry : text.split(u',', Qt::SkipEmptyParts)) {
        const QString name = entry.trimmed();
        if (isHostName(name))
            names.append(name);
        else if (!name.isEmpty() && problems)
            problems->append(u"Remote: HttpHosts \"%1\" is not a host name; it is left out"_s.arg(name));
    }
    return names.join(u", "_s);
}

} // namespace

RemoteSettings remoteSettingsOf(const ProjectRemote &section, QStringList *problems)
{
    RemoteSettings settings;
    readInterface(section, HttpPort, HttpListen, u"HTTP monitoring"_s, settings.httpPort, settings.httpListen,
                  problems);
    readInterface(section, OscPort, OscListen, u"OSC"_s, settings.oscPort, settings.oscListen, problems);
    if (!section.values[OscAllow].trimmed().isEmpty())
        settings.oscAllow = section.values[OscAllow].trimmed();
    settings.httpHosts = readHosts(section.values[HttpHosts], problems);
    return settings;
}

ProjectRemote projectRemoteOf(const RemoteSettings &settings)
{
    const RemoteSettings defaults;
    ProjectRemote section;
    if (settings.httpPort != defaults.httpPort)
        section.values[HttpPort] = QString::number(settings.httpPort);
    if (settings.httpListen != defaults.httpListen)
        section.values[HttpListen] = settings.httpListen;
    if (settings.oscPort != defaults.oscPort)
        section.values[OscPort] = QString::number(settings.oscPort);
    if (settings.oscListen != defaults.oscListen)
        section.values[OscListen] = settings.oscListen;
    if (settings.oscAllow != defaults.oscAllow)
        section.values[OscAllow] = settings.oscAllow;
    if (settings.httpHosts != defaults.httpHosts)
        section.values[HttpHosts] = settings.httpHosts;
    return section;
}
