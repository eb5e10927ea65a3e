// The OSC protocol pieces on plain values: addresses and arguments, names,
// the allow list, subscribers, the refusal log, the feedback table, packets,
// and the fader table's unit conversions that the commands rely on.

#include "fadertable.h"
#include "oscallowlist.h"
#include "oscfeedbacktable.h"
#include "oscnames.h"
#include "oscpacket.h"
#include "oscrefusallog.h"
#include "oscrequest.h"
#include "oscsubscribers.h"

#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;
using Kind = OscRequest::Kind;

namespace {

// "i:1 f:-10.5 T s:Show" as arguments; "x:c3a9" is a string of these bytes,
// and '+' in a string stands for a blank.
std::vector<OscArgument> argumentsOf(const QString &text)
{
    std::vector<OscArgument> arguments;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        OscArgument argument;
        argument.type = char(word[0].unicode());
        if (argument.type == 's')
            argument.s = word.mid(2).replace(u'+', u' ').toUtf8();
        if (argument.type == 'x') {
            argument.type = 's';
            argument.s = QByteArray::fromHex(word.mid(2).toLatin1());
        }
        if (argument.type == 'i')
            argument.i = word.mid(2).toInt();
        if (argument.type == 'f')
            argument.f = word.mid(2) == u"nan"_s ? std::numeric_limits<float>::quiet_NaN() : word.mid(2).toFloat();
        arguments.push_back(argument);
    }
    return arguments;
}

QByteArray bundle(const QList<QByteArray> &elements)
{
    QByteArray bytes("#bundle\0\0\0\0\0\0\0\0\1", 16);
    for (const QByteArray &element : elements) {
        char size[4];
        qToBigEndian<qint32>(qint32(element.size()), size);
        bytes.append(size, 4).append(element);
    }
    return bytes;
}

QByteArray nested(int depth)
{
    QByteArray packet = OscPacket::encode("/amp/ping", std::nullopt);
    for (int i = 0; i < depth; ++i)
        packet = bundle({packet});
    return packet;
}

} // namespace

class tst_OscProtocol final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requests_data();
    void requests();
    void names_data();
    void names();
    void allowList_data();
    void allowList();
    void subscribersRenewExpireAndMakeRoom();
    void fullStateAtMostOncePerInterval();
    void refusalLogIsQuietAndBounded();
    void feedbackWaitsForItsInterval();
    void packets_data();
    void packets();
    void feedbackPacketsStayBelowTheLimit();
    void faderUnits_data();
    void faderUnits();
};

void tst_OscProtocol::requests_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("kind");  // -1: no request
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("detail");  // entry, channel, on, steps, port or scene number, by kind
    QTest::addColumn<double>("units");
    QTest::addColumn<QString>("sceneName");

    const auto row = [](const char *tag, const char *address, const QString &arguments, int kind,
                        const QString &name = {}, int detail = 0, double units = 0, const QString &sceneName = {}) {
        QTest::newRow(tag) << QByteArray(address) << arguments << kind << name << detail << units << sceneName;
    };
    row("ping", "/amp/ping", u""_s, int(Kind::Ping));
    row("ping with argument", "/amp/ping", u"i:1"_s, -1);
    row("subscribe", "/amp/subscribe", u""_s, int(Kind::Subscribe), {}, 0);
    row("subscribe port", "/amp/subscribe", u"i:9001"_s, int(Kind::Subscribe), {}, 9001);
    row("subscribe port 0", "/amp/subscribe", u"i:0"_s, -1);
    row("subscribe port too high", "/amp/subscribe", u"i:65536"_s, -1);
    row("subscribe float", "/amp/subscribe", u"f:9001"_s, -1);
    row("group mute on", "/amp/group/FOH/mute", u"i:1"_s, int(Kind::GroupMute), u"FOH"_s, 1);
    row("group mute off", "/amp/group/foh/mute", u"i:0"_s, int(Kind::GroupMute), u"foh"_s, 0);
    row("group mute True", "/amp/group/FOH/mute", u"T"_s, int(Kind::GroupMute), u"FOH"_s, 1);
    row("group mute False", "/amp/group/FOH/mute", u"F"_s, int(Kind::GroupMute), u"FOH"_s, 0);
    row("group mute 2", "/amp/group/FOH/mute", u"i:2"_s, -1);
    row("group mute float", "/amp/group/FOH/mute", u"f:1"_s, -1);
    row("group mute two arguments", "/amp/group/FOH/mute", u"i:1 i:1"_s, -1);
    row("group mute none", "/amp/group/FOH/mute", u""_s, -1);
    row("toggle", "/amp/group/SUB_L/mute/toggle", u""_s, int(Kind::GroupMuteToggle), u"SUB_L"_s);
    row("toggle with argument", "/amp/group/FOH/mute/toggle", u"i:1"_s, -1);
    row("volume a", "/amp/group/FOH/volume/a", u"f:-10.5"_s, int(Kind::GroupSetting), u"FOH"_s, 1, -10.5);
    row("volume b", "/amp/group/FOH/volume/b", u"f:0"_s, int(Kind::GroupSetting), u"FOH"_s, 2, 0);
    row("input a", "/amp/group/FOH/input/a", u"f:-3"_s, int(Kind::GroupSetting), u"FOH"_s, 3, -3);
    row("input b", "/amp/group/FOH/input/b", u"f:-3"_s, int(Kind::GroupSetting), u"FOH"_s, 4, -3);
    row("limiter a", "/amp/group/FOH/limiter/a", u"f:80"_s, int(Kind::GroupSetting), u"FOH"_s, 5, 80);
    row("limiter b", "/amp/group/FOH/limiter/b", u"f:80"_s, int(Kind::GroupSetting), u"FOH"_s, 6, 80);
    row("volume int", "/amp/group/FOH/volume/a", u"i:-10"_s, -1);
    row("volume nan", "/amp/group/FOH/volume/a", u"f:nan"_s, -1);
    row("volume c", "/amp/group/FOH/volume/c", u"f:0"_s, -1);
    row("volume upper case word", "/amp/group/FOH/Volume/a", u"f:0"_s, -1);
    row("step up", "/amp/group/FOH/limiter/b/step", u"i:3"_s, int(Kind::GroupSettingStep), u"FOH"_s, 3);
    row("step down", "/amp/group/FOH/volume/a/step", u"i:-2"_s, int(Kind::GroupSettingStep), u"FOH"_s, -2);
    row("step float", "/amp/group/FOH/volume/a/step", u"f:1"_s, -1);
    // detail: the pair's channel A entry, negative when the link is turned off.
    row("link volume on", "/amp/group/FOH/link/volume", u"i:1"_s, int(Kind::GroupLink), u"FOH"_s, 1);
    row("link input off", "/amp/group/foh/link/input", u"i:0"_s, int(Kind::GroupLink), u"foh"_s, -3);
    row("link limiter on", "/amp/group/SUB_L/link/limiter", u"i:1"_s, int(Kind::GroupLink), u"SUB_L"_s, 5);
    row("link 2", "/amp/group/FOH/link/volume", u"i:2"_s, -1);
    row("link True", "/amp/group/FOH/link/volume", u"T"_s, -1);
    row("link none", "/amp/group/FOH/link/volume", u""_s, -1);
    row("link of a channel", "/amp/group/FOH/link/volume/a", u"i:1"_s, -1);
    row("link of mute", "/amp/group/FOH/link/mute", u"i:1"_s, -1);
    row("device mute a", "/amp/device/AMP1/mute/a", u"i:1"_s, int(Kind::DeviceMute), u"AMP1"_s, 0);
    row("device mute b address", "/amp/device/127.0.0.2/mute/b", u"i:0"_s, int(Kind::DeviceMute),
        u"127.0.0.2"_s, 1);
    row("device mute True", "/amp/device/AMP1/mute/a", u"T"_s, -1);
    row("device mute both", "/amp/device/AMP1/mute", u"i:1"_s, -1);
    row("empty name", "/amp/group//mute", u"i:1"_s, -1);
    row("trailing slash", "/amp/ping/", u""_s, -1);
    row("no leading slash", "amp/ping", u""_s, -1);
    row("other root", "/amps/ping", u""_s, -1);
    row("unknown branch", "/amp/rack/FOH/mute", u"i:1"_s, -1);
    row("five arguments", "/amp/group/FOH/mute", u"i:1 i:1 i:1 i:1 i:1"_s, -1);
    row("name not ASCII", "/amp/group/SUB\xff/mute", u"i:1"_s, -1);
    row("name with pattern", "/amp/group/F*/mute", u"i:1"_s, -1);
    row("long name", QByteArray("/amp/group/" + QByteArray(65, 'A') + "/mute").constData(), u"i:1"_s, -1);
    row("longest name", QByteArray("/amp/group/" + QByteArray(64, 'A') + "/mute").constData(), u"i:1"_s,
        int(Kind::GroupMute), QString(64, u'A'), 1);
    row("recall safe on", "/amp/group/SUB_L/safe", u"i:1"_s, int(Kind::GroupRecallSafe), u"SUB_L"_s, 1);
    row("recall safe 2", "/amp/group/FOH/safe", u"i:2"_s, -1);
    row("recall number", "/amp/scene/recall", u"i:99"_s, int(Kind::SceneRecall), {}, 99);
    row("recall 100", "/amp/scene/recall", u"i:100"_s, -1);
    row("recall name", "/amp/scene/recall", u"s:Walk+in"_s, int(Kind::SceneRecall), {}, 0, 0, u"Walk in"_s);
    row("recall blank name", "/amp/scene/recall", u"s:++"_s, -1);
    row("recall broken UTF-8", "/amp/scene/recall", u"x:c341"_s, -1);
    row("recall name too long", "/amp/scene/recall", u"s:"_s + QString(33, u'n'), -1);
    row("store", "/amp/scene/store", u"i:7"_s, int(Kind::SceneStore), {}, 7);
    row("store named", "/amp/scene/store", u"i:7 s:Interval"_s, int(Kind::SceneStore), {}, 7, 0, u"Interval"_s);
    row("store name only", "/amp/scene/store", u"s:Show"_s, -1);
    row("next", "/amp/scene/next", u""_s, int(Kind::SceneNext));
    row("undo with argument", "/amp/scene/undo", u"T"_s, -1);
}

void tst_OscProtocol::requests()
{
    QFETCH(QByteArray, address);
    QFETCH(QString, arguments);
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(int, detail);
    QFETCH(double, units);
    QFETCH(QString, sceneName);

    const std::vector<OscArgument> values = argumentsOf(arguments);
    const std::optional<OscRequest> request = OscRequests::parse(address, values);
    QCOMPARE(request.has_value(), kind >= 0);
    if (!request)
        return;
    QCOMPARE(int(request->kind), kind);
    QCOMPARE(request->name, name);
    switch (request->kind) {
    case Kind::Subscribe: QCOMPARE(request->port, detail); break;
    case Kind::GroupMute: QCOMPARE(request->on, detail == 1); break;
    case Kind::GroupSetting: QCOMPARE(request->entry, detail); QCOMPARE(request->units, units); break;
    case Kind::GroupSettingStep: QCOMPARE(request->steps, detail); break;
    case Kind::DeviceMute: QCOMPARE(request->channel, detail); break;
    case Kind::GroupLink: QCOMPARE(request->on ? request->entry : -request->entry, detail); break;
    case Kind::GroupRecallSafe: QCOMPARE(request->on, detail == 1); break;
    default: break;
    }
    QCOMPARE(request->scene, kind == int(Kind::SceneRecall) || kind == int(Kind::SceneStore) ? detail : 0);
    QCOMPARE(request->sceneName, sceneName);
}

void tst_OscProtocol::names_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<int>("match");
    QTest::addColumn<bool>("fitsFirst");

    QTest::newRow("padded") << QStringList{u"FOH  "_s} << u"FOH"_s << 0 << true;
    QTest::newRow("any case") << QStringList{u"STAGE"_s, u"FOH  "_s} << u"foh"_s << 1 << true;
    QTest::newRow("inner blank") << QStringList{u"SUB L"_s} << u"sub_l"_s << 0 << true;
    QTest::newRow("blank is not underscore's twin") << QStringList{u"SUB L"_s} << u"SUB L"_s << -1 << true;
    QTest::newRow("padding is not part") << QStringList{u"FOH  "_s} << u"FOH__"_s << -1 << true;
    QTest::newRow("none") << QStringList{u"FOH  "_s} << u"STAGE"_s << -1 << true;
    QTest::newRow("ambiguous") << QStringList{u"AMP1 "_s, u"AMP1 "_s} << u"AMP1"_s << -1 << true;
    QTest::newRow("blank name") << QStringList{u"     "_s} << u""_s << -1 << false;
    QTest::newRow("reserved character") << QStringList{u"A*B  "_s} << u"A*B"_s << 0 << false;
    QTest::newRow("control character") << QStringList{u"A\u0001B  "_s} << u"x"_s << -1 << false;
}

void tst_OscProtocol::names()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, wanted);
    QFETCH(int, match);
    QFETCH(bool, fitsFirst);

    QStringList addressNames;
    for (const QString &name : stored)
        addressNames.append(OscNames::addressName(name));
    QCOMPARE(OscNames::uniqueMatch(addressNames, wanted), qsizetype(match));
    QCOMPARE(OscNames::fitsAddress(addressNames.first()), fitsFirst);
}

void tst_OscProtocol::allowList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");  // a part of the reason; empty: valid
    QTest::addColumn<QString>("sender");
    QTest::addColumn<bool>("allowed");

    QTest::newRow("one address") << u"127.0.0.1"_s << QString() << u"127.0.0.1"_s << true;
    QTest::newRow("other address") << u"127.0.0.1"_s << QString() << u"127.0.0.2"_s << false;
    QTest::newRow("network in") << u"127.0.0.1, 127.16.0.0/12"_s << QString() << u"127.20.3.4"_s << true;
    QTest::newRow("network out") << u"127.16.0.0/12"_s << QString() << u"127.32.0.1"_s << false;
    QTest::newRow("mapped sender") << u"127.16.0.0/12"_s << QString() << u"::ffff:127.17.2.3"_s << true;
    QTest::newRow("everyone") << u"0.0.0.0/0"_s << QString() << u"127.9.9.9"_s << true;
    QTest::newRow("ipv6 address") << u"::1"_s << QString() << u"::1"_s << true;
    QTest::newRow("empty is loopback") << u"  "_s << QString() << u"127.3.2.1"_s << true;
    QTest::newRow("empty is only loopback") << u""_s << QString() << u"10.0.0.1"_s << false;
    QTest::newRow("host bits") << u"127.0.0.1/8"_s << u"127.0.0.0/8"_s << QString() << false;
    QTest::newRow("prefix 33") << u"127.0.0.0/33"_s << u"prefix"_s << QString() << false;
    QTest::newRow("prefix empty") << u"127.0.0.0/"_s << u"prefix"_s << QString() << false;
    QTest::newRow("byte 256") << u"127.0.0.256"_s << u"not an IPv4"_s << QString() << false;
    QTest::newRow("short form") << u"127.1"_s << u"not an IPv4"_s << QString() << false;
    QTest::newRow("leading zero") << u"0127.0.0.1"_s << u"not an IPv4"_s << QString() << false;
    QTest::newRow("name") << u"localhost"_s << u"not an IPv4"_s << QString() << false;
    QTest::newRow("empty entry") << u"127.0.0.1,,127.0.0.2"_s << u"empty entry"_s << QString() << false;
    QTest::newRow("bad ipv6") << u"::g"_s << u"not an IPv6"_s << QString() << false;
    QTest::newRow("too many") << QStringList(65, u"127.0.0.2"_s).join(u',') << u"more than 64"_s << QString()
                              << false;
}

void tst_OscProtocol::allowList()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QFETCH(QString, sender);
    QFETCH(bool, allowed);

    QString reason;
    const std::optional<OscAllowList> list = OscAllowList::parse(text, &reason);
    QCOMPARE(OscAllowList::errorOf(text), reason);
    if (!error.isEmpty()) {
        QVERIFY(!list);
        QVERIFY2(reason.contains(error), qPrintable(reason));
        return;
    }
    QVERIFY2(list, qPrintable(reason));
    QCOMPARE(list->allows(QHostAddress(sender)), allowed);
}

void tst_OscProtocol::subscribersRenewExpireAndMakeRoom()
{
    using Outcome = OscSubscribers::Outcome;
    OscSubscribers table;
    const QHostAddress host(u"127.0.0.1"_s);
    QCOMPARE(table.subscribe(host, 1000, 0, 10'000), Outcome::New);
    QCOMPARE(table.subscribe(host, 1000, 5'000, 10'000), Outcome::Renewed);
    QCOMPARE(table.expire(14'999), 0);
    QCOMPARE(table.expire(15'000), 1);
    QVERIFY(table.isEmpty());

    // Four hosts fill the table; one of them gets no fifth place.
    const auto hostNumber = [](int n) { return QHostAddress(u"127.0.0.%1"_s.arg(n)); };
    for (int n = 1; n <= OscSubscribers::kCapacity; ++n) {
        const int h = 1 + (n - 1) / OscSubscribers::kPerHost;
        QCOMPARE(table.subscribe(hostNumber(h), quint16(n), n, 10'000), Outcome::New);
    }
    QCOMPARE(table.subscribe(hostNumber(1), 999, 50, 10'000), Outcome::HostFull);
    table.subscribe(hostNumber(1), 1, 100, 10'000);  // port 1 renewed: port 2 is now the oldest
    QCOMPARE(table.subscribe(hostNumber(9), 999, 200, 10'000), Outcome::New);
    QCOMPARE(table.subscribers().size(), std::size_t(OscSubscribers::kCapacity));
    QVERIFY(!table.contains(hostNumber(1), 2));
    QVERIFY(table.contains(hostNumber(1), 1));
}

// The whole state to a newcomer, to a renewal only once the interval has passed.
void tst_OscProtocol::fullStateAtMostOncePerInterval()
{
    OscSubscribers table;
    const QHostAddress host(u"127.0.0.1"_s);
    QVERIFY(!table.takeFullState(host, 1000, 0, 5'000));  // not subscribed
    table.subscribe(host, 1000, 0, 10'000);
    QVERIFY(table.takeFullState(host, 1000, 0, 5'000));
    table.subscribe(host, 1000, 1'000, 10'000);
    QVERIFY(!table.takeFullState(host, 1000, 1'000, 5'000));
    QVERIFY(!table.takeFullState(host, 1000, 4'999, 5'000));
    QVERIFY(table.takeFullState(host, 1000, 5'000, 5'000));
    QVERIFY(!table.takeFullState(host, 1000, 5'000, 5'000));
}

void tst_OscProtocol::refusalLogIsQuietAndBounded()
{
    OscRefusalLog log;
    const QHostAddress sender(u"10.0.0.1"_s);
    QVERIFY(log.shouldLog(sender, 0));
    QVERIFY(!log.shouldLog(sender, OscRefusalLog::kQuietMs - 1));
    QVERIFY(log.shouldLog(sender, OscRefusalLog::kQuietMs));

    // A flood of new senders fills the table and then logs nothing more
    // until the quiet period of the first ones is over.
    for (quint32 i = 1; i < 10 * OscRefusalLog::kCapacity; ++i)
        log.shouldLog(QHostAddress((quint32(11) << 24) + i), OscRefusalLog::kQuietMs + 1);
    QCOMPARE(log.size(), qsizetype(OscRefusalLog::kCapacity));
    QVERIFY(!log.shouldLog(QHostAddress(u"12.0.0.1"_s), OscRefusalLog::kQuietMs + 2));
    QVERIFY(log.shouldLog(QHostAddress(u"12.0.0.1"_s), 2 * OscRefusalLog::kQuietMs + 1));
    QVERIFY(log.size() <= OscRefusalLog::kCapacity);
}

void tst_OscProtocol::feedbackWaitsForItsInterval()
{
    constexpr qint64 interval = 100;
    OscFeedbackTable table;
    table.update({{"/a", OscValue::integer(1)}, {"/b", OscValue::real(2.5F)}});
    QCOMPARE(table.takeDue(0, interval).size(), std::size_t(2));  // new addresses go out at once
    QVERIFY(!table.nextDueMs(interval));

    table.update({{"/a", OscValue::integer(2)}, {"/b", OscValue::real(2.5F)}});
    QCOMPARE(table.takeDue(50, interval).size(), std::size_t(0));
    QCOMPARE(table.nextDueMs(interval), std::optional<qint64>(100));
    table.update({{"/a", OscValue::integer(3)}, {"/b", OscValue::real(2.5F)}});
    const std::vector<OscFeedbackItem> due = table.takeDue(100, interval);
    QCOMPARE(due.size(), std::size_t(1));
    QCOMPARE(due[0].address, "/a");
    QCOMPARE(due[0].value, OscValue::integer(3));  // only the latest value

    table.update({{"/b", OscValue::real(2.5F)}});  // /a is gone
    QCOMPARE(table.size(), std::size_t(1));
    table.update({{"/b", OscValue::real(2.5F)}, {"/a", OscValue::integer(3)}});
    QCOMPARE(table.takeDue(101, interval).size(), std::size_t(1));  // back as new
}

void tst_OscProtocol::packets_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<int>("messages");  // -1: dropped

    const QByteArray mute = OscPacket::encode("/amp/group/FOH/mute", OscValue::integer(1));
    const QByteArray ping = OscPacket::encode("/amp/ping", std::nullopt);
    QTest::newRow("message") << mute << 1;
    QTest::newRow("bundle of two") << bundle({mute, ping}) << 2;
    QTest::newRow("empty bundle") << bundle({}) << 0;
    QTest::newRow("four deep") << nested(OscPacket::kMaxBundleDepth) << 1;
    QTest::newRow("five deep") << nested(OscPacket::kMaxBundleDepth + 1) << -1;
    QTest::newRow("truncated") << mute.first(mute.size() - 4) << -1;
    QTest::newRow("bad padding") << mute + QByteArray(2, '\0') << -1;
    QTest::newRow("unterminated address") << QByteArray("/amp/ping,\0\0\0", 12) << -1;
    QTest::newRow("type tag lies") << QByteArray("/a\0\0,iii\0\0\0\0\0\0\0\1", 16) << -1;
    QTest::newRow("unknown type") << QByteArray("/a\0\0,Q\0\0", 8) << -1;
    QTest::newRow("no slash") << QByteArray("ab\0\0,\0\0\0", 8) << -1;
    QTest::newRow("element too long") << bundle({mute}).replace(16, 4, QByteArray("\0\0\1\0", 4)) << -1;
    QTest::newRow("element size 0") << bundle({mute}).replace(16, 4, QByteArray(4, '\0')) << -1;
    QTest::newRow("bundle one bad element") << bundle({mute, mute.first(8)}) << -1;
    QTest::newRow("too many messages") << bundle(QList<QByteArray>(OscPacket::kMaxMessages + 1, ping)) << -1;
    QTest::newRow("most messages") << bundle(QList<QByteArray>(OscPacket::kMaxMessages, ping))
                                   << OscPacket::kMaxMessages;
    QTest::newRow("over-long packet") << OscPacket::encode("/" + QByteArray(OscPacket::kMaxPacketBytes, 'a'),
                                                           std::nullopt)
                                      << -1;
    QTest::newRow("empty") << QByteArray() << -1;
}

void tst_OscProtocol::packets()
{
    QFETCH(QByteArray, packet);
    QFETCH(int, messages);

    const auto decoded = OscPacket::decode(packet);
    QCOMPARE(decoded.has_value(), messages >= 0);
    if (decoded)
        QCOMPARE(int(decoded->size()), messages);
}

void tst_OscProtocol::feedbackPacketsStayBelowTheLimit()
{
    std::vector<OscFeedbackItem> items;
    for (int i = 0; i < 500; ++i)
        items.push_back({"/amp/device/127.0.0." + QByteArray::number(i % 250) + "/temp/amp", OscValue::real(float(i))});
    const std::vector<QByteArray> packets = OscPacket::encodeAll(items);
    std::size_t count = 0;
    for (const QByteArray &packet : packets) {
        QVERIFY(packet.size() <= OscPacket::kMaxSentPacketBytes);
        const auto decoded = OscPacket::decode(packet);
        QVERIFY(decoded);
        for (const OscPacket::Message &message : *decoded) {
            QCOMPARE(message.address, items[count].address);
            QCOMPARE(message.arguments.at(0).f, items[count].value.f);
            ++count;
        }
    }
    QCOMPARE(count, items.size());
}

void tst_OscProtocol::faderUnits_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<double>("units");
    QTest::addColumn<int>("stored");
    QTest::addColumn<double>("shown");

    QTest::newRow("0 dB") << int(FaderTable::VolumeA) << 0.0 << 191 << 0.0;
    QTest::newRow("floor") << int(FaderTable::VolumeB) << -95.5 << 0 << -95.5;
    QTest::newRow("below floor") << int(FaderTable::InputLevelA) << -200.0 << 0 << -95.5;
    QTest::newRow("above top") << int(FaderTable::InputLevelB) << 12.0 << 191 << 0.0;
    QTest::newRow("nearest down") << int(FaderTable::VolumeA) << -10.2 << 171 << -10.0;
    QTest::newRow("nearest up") << int(FaderTable::VolumeA) << -10.3 << 170 << -10.5;
    QTest::newRow("halfway goes up") << int(FaderTable::VolumeA) << -10.25 << 171 << -10.0;
    QTest::newRow("huge") << int(FaderTable::VolumeA) << 1e30 << 191 << 0.0;
    QTest::newRow("limiter") << int(FaderTable::LimiterA) << 80.4 << 80 << 80.0;
    QTest::newRow("limiter floor") << int(FaderTable::LimiterB) << 0.0 << 10 << 10.0;
    QTest::newRow("limiter top") << int(FaderTable::LimiterB) << 500.0 << 170 << 170.0;
}

void tst_OscProtocol::faderUnits()
{
    QFETCH(int, entry);
    QFETCH(double, units);
    QFETCH(int, stored);
    QFETCH(double, shown);

    QCOMPARE(FaderTable::storedValueFromUnits(entry, units), stored);
    QCOMPARE(FaderTable::labelUnits(entry, stored), shown);
    const int top = FaderTable::highestStoredValue(entry);
    QCOMPARE(FaderTable::storedValueAfterSteps(entry, stored, 1), std::min(stored + 1, top));
    QCOMPARE(FaderTable::storedValueAfterSteps(entry, stored, -1'000'000'000'000),
             FaderTable::lowestStoredValue(entry));
}

QTEST_GUILESS_MAIN(tst_OscProtocol)
#include "tst_oscprotocol.moc"
