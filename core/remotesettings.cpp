#include "remotesettings.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

namespace {

enum Key { HttpPort, HttpListen, OscPort, OscListen, OscAllow };

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
    if (!readPort(portText, port))
        refuse(ProjectRemote::kKeys[portKey], portText, u"a port number (0 to 65535)"_s);
    else if (!readAddress(listenText, listen))
        refuse(ProjectRemote::kKeys[listenKey], listenText, u"an IP address"_s);
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
    return section;
}
