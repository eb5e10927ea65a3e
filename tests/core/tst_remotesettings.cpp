// The project's "Remote" section: what is read from it, what a bad value
// leaves off and says, and that a project without remote interfaces writes
// no section at all while one that had them keeps them off once turned off.

#include "projectfile.h"
#include "remotesettings.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class tst_RemoteSettings final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readFromTheSection_data();
    void readFromTheSection();
    void writtenOnlyWhenSet();
};

void tst_RemoteSettings::readFromTheSection_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<int>("httpPort");
    QTest::addColumn<QString>("httpListen");
    QTest::addColumn<int>("oscPort");
    QTest::addColumn<QString>("oscAllow");
    QTest::addColumn<QString>("problem");

    const QString loopback = RemoteSettings::loopback();
    QTest::newRow("none") << ""_ba << 0 << loopback << 0 << loopback << QString();
    QTest::newRow("http on loopback") << "HttpPort=8080\r\n"_ba << 8080 << loopback << 0 << loopback << QString();
    QTest::newRow("both, other addresses")
        << "HttpPort=9100\r\nHttpListen=127.0.0.5\r\nOscPort=9000\r\nOscAllow=127.0.0.0/8\r\n"_ba << 9100
        << u"127.0.0.5"_s << 9000 << u"127.0.0.0/8"_s << QString();
    QTest::newRow("port out of range")
        << "HttpPort=70000\r\nOscPort=9000\r\n"_ba << 0 << loopback << 9000 << loopback
        << u"Remote: HttpPort \"70000\" is not a port number (0 to 65535); HTTP monitoring stays off"_s;
    QTest::newRow("port not a number") << "OscPort=nine\r\n"_ba << 0 << loopback << 0 << loopback
                                       << u"Remote: OscPort \"nine\" is not a port number (0 to 65535); OSC stays off"_s;
    QTest::newRow("address unreadable")
        << "HttpPort=8080\r\nHttpListen=anywhere\r\n"_ba << 0 << loopback << 0 << loopback
        << u"Remote: HttpListen \"anywhere\" is not an IP address; HTTP monitoring stays off"_s;
    QTest::newRow("port and address both unreadable: both told")
        << "OscPort=x\r\nOscListen=y\r\n"_ba << 0 << loopback << 0 << loopback
        << u"Remote: OscPort \"x\" is not a port number (0 to 65535); OSC stays off\n"
           u"Remote: OscListen \"y\" is not an IP address; OSC stays off"_s;
    QTest::newRow("host names: each bad one told")
        << "HttpPort=8080\r\nHttpHosts=prometheus.lan, a b,, -x\r\n"_ba << 8080 << loopback << 0 << loopback
        << u"Remote: HttpHosts \"a b\" is not a host name; it is left out\n"
           u"Remote: HttpHosts \"-x\" is not a host name; it is left out"_s;
}

void tst_RemoteSettings::readFromTheSection()
{
    QFETCH(QByteArray, section);
    QFETCH(int, httpPort);
    QFETCH(QString, httpListen);
    QFETCH(int, oscPort);
    QFETCH(QString, oscAllow);
    QFETCH(QString, problem);

    const std::optional<Project> project =
        readProject("[Program]\r\nName=TALO Amp\r\nGroupNum=0\r\nDeviceNum=0\r\n[Remote]\r\n"_ba + section);
    QVERIFY(project);
    QStringList problems;
    const RemoteSettings settings = remoteSettingsOf(project->remote, &problems);
    QCOMPARE(settings.httpPort, httpPort);
    QCOMPARE(settings.httpListen, httpListen);
    QCOMPARE(settings.oscPort, oscPort);
    QCOMPARE(settings.oscAllow, oscAllow);
    QCOMPARE(problems.join(u'\n'), problem);
    if (section.contains("HttpHosts"))
        QCOMPARE(settings.httpHosts, u"prometheus.lan"_s);
}

void tst_RemoteSettings::writtenOnlyWhenSet()
{
    Project project;
    project.groups = {{u"FOH  "_s, {}, 0, 0, 0, 0, 10, 10}};
    const QByteArray plain = writeProject(project, {});
    QVERIFY(!plain.contains("Remote"));

    RemoteSettings settings;
    settings.httpPort = 8080;
    project.remote = projectRemoteOf(settings);
    const QByteArray withHttp = writeProject(project, plain);
    QVERIFY(withHttp.startsWith(plain));
    QCOMPARE(withHttp.mid(plain.size()), "[Remote]\r\nHttpPort=8080\r\n"_ba);

    // Turned off and saved over the same file: read again, it stays off.
    project.remote = projectRemoteOf(RemoteSettings{});
    const std::optional<Project> again = readProject(writeProject(project, withHttp));
    QVERIFY(again);
    QCOMPARE(remoteSettingsOf(again->remote, nullptr), RemoteSettings{});

    settings.httpHosts = u"prometheus.lan, scrape.example"_s;
    project.remote = projectRemoteOf(settings);
    const QByteArray withHosts = writeProject(project, plain);
    QCOMPARE(withHosts.mid(plain.size()), "[Remote]\r\nHttpPort=8080\r\nHttpHosts=prometheus.lan, scrape.example\r\n"_ba);
    QCOMPARE(remoteSettingsOf(readProject(withHosts)->remote, nullptr), settings);
}

QTEST_GUILESS_MAIN(tst_RemoteSettings)
#include "tst_remotesettings.moc"
