// Address texts read as C's "%d.%d.%d.%d" would, and address numbers back to text.

#include "ipaddress.h"

#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

class tst_IpAddress final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addressNumber_data();
    void addressNumber();
    void addressText_data();
    void addressText();
    void roundTrip();
};

void tst_IpAddress::addressNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("number");

    QTest::newRow("plain") << u"192.168.1.110"_s << true << 0xC0A8016Eu;
    QTest::newRow("zero") << u"0.0.0.0"_s << true << 0u;
    QTest::newRow("all ones") << u"255.255.255.255"_s << true << 0xFFFFFFFFu;
    QTest::newRow("leading zeros") << u"127.000.001.009"_s << true << 0x7F000109u;
    QTest::newRow("blank before") << u"  127.0.1.1"_s << true << 0x7F000101u;
    QTest::newRow("blank after") << u"127.0.1.1  "_s << true << 0x7F000101u;
    QTest::newRow("blanks before integers") << u"1. 2.\t3. 4"_s << true << 0x01020304u;
    QTest::newRow("blanks before dots") << u"1 .2 .3\t.4"_s << true << 0x01020304u;
    QTest::newRow("five parts") << u"127.0.1.1.5"_s << true << 0x7F000101u;
    QTest::newRow("trailing junk") << u"127.0.0.7abc"_s << true << 0x7F000007u;
    QTest::newRow("fifth part ignored, minus and all") << u"127.0.0.7.-3-"_s << true << 0x7F000007u;
    QTest::newRow("blank ends the last run") << u"127.0.0.7 -3"_s << true << 0x7F000007u;
    QTest::newRow("octet above 255") << u"127.0.0.300"_s << true << 0x7F00012Cu;
    QTest::newRow("octet spills up") << u"1.2.256.0"_s << true << 0x01030000u;
    QTest::newRow("negative last") << u"127.0.0.-1"_s << true << 0xFFFFFFFFu;
    QTest::newRow("negative second") << u"10.-2.3.4"_s << true << 0xFFFE0304u;
    QTest::newRow("2^32 wraps to 0") << u"4294967296.1.1.1"_s << true << 0x00010101u;
    QTest::newRow("2^31 keeps low bits") << u"2147483648.0.0.0"_s << true << 0u;
    QTest::newRow("huge saturates to -1") << u"0.0.0.99999999999999999999"_s << true << 0xFFFFFFFFu;
    QTest::newRow("huge negative saturates to 0")
        << u"7.0.0.-99999999999999999999"_s << true << 0x07000000u;

    QTest::newRow("empty") << QString() << false << 0u;
    QTest::newRow("blanks only") << u"   "_s << false << 0u;
    QTest::newRow("three parts") << u"127.0.1"_s << false << 0u;
    QTest::newRow("trailing dot") << u"127.0.1."_s << false << 0u;
    QTest::newRow("empty part") << u"192..1.1"_s << false << 0u;
    QTest::newRow("letter for number") << u"127.0.x.1"_s << false << 0u;
    QTest::newRow("comma for dot") << u"192,168.1.1"_s << false << 0u;
    QTest::newRow("minus between digits") << u"1-2.3.4.5"_s << false << 0u;
    QTest::newRow("double minus") << u"--1.2.3.4"_s << false << 0u;
    QTest::newRow("sign then blank") << u"- 1.2.3.4"_s << false << 0u;
    QTest::newRow("lone minus") << u"1.2.3.-"_s << false << 0u;
    // A run of digits and minus signs is read whole, the last one included.
    QTest::newRow("minus after the last digits") << u"1.2.3.4-5"_s << false << 0u;
    QTest::newRow("minus ends the last run") << u"1.2.3.4-"_s << false << 0u;
    QTest::newRow("minus ends an inner run") << u"1.2-.3.4"_s << false << 0u;
    QTest::newRow("plus sign first") << u"+1.2.3.4"_s << false << 0u;
    QTest::newRow("plus sign last") << u"1.2.3.+4"_s << false << 0u;
    QTest::newRow("hex") << u"0x1.2.3.4"_s << false << 0u;
    QTest::newRow("host name") << u"localhost"_s << false << 0u;
    QTest::newRow("non-ASCII digit") << u"1.2.3.\u0664"_s << false << 0u;
}

void tst_IpAddress::addressNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(quint32, number);

    const std::optional<quint32> result = ::addressNumber(text);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, number);
}

void tst_IpAddress::addressText_data()
{
    QTest::addColumn<quint32>("number");
    QTest::addColumn<QString>("text");

    QTest::newRow("default first") << 0xC0A8016Eu << u"192.168.1.110"_s;
    QTest::newRow("zero") << 0u << u"0.0.0.0"_s;
    QTest::newRow("all ones") << 0xFFFFFFFFu << u"255.255.255.255"_s;
    QTest::newRow("no leading zeros") << 0x7F000109u << u"127.0.1.9"_s;
    QTest::newRow("loopback") << 0x7F000002u << u"127.0.0.2"_s;
}

void tst_IpAddress::addressText()
{
    QFETCH(quint32, number);
    QFETCH(QString, text);
    QCOMPARE(::addressText(number), text);
}

void tst_IpAddress::roundTrip()
{
    for (const quint32 number : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xC0A80177u, 0xFFFFFFFEu})
        QCOMPARE(::addressNumber(::addressText(number)), std::optional<quint32>(number));
}

QTEST_APPLESS_MAIN(tst_IpAddress)
#include "tst_ipaddress.moc"
