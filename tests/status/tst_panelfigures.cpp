#include "panelfigures.h"
#include "panelnumber.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class tst_PanelFigures final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneDecimal_data();
    void oneDecimal();
    void roundedHalfEven_data();
    void roundedHalfEven();
    void panelNumber_data();
    void panelNumber();
};

void tst_PanelFigures::oneDecimal_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("point");
    QTest::addColumn<QString>("text");

    QTest::newRow("100 V") << 512 << 200 << u"."_s << u"100.0"_s;
    QTest::newRow("6.25 V, a half, away from zero") << 32 << 200 << u"."_s << u"6.3"_s;
    QTest::newRow("0.1953125 V") << 1 << 200 << u"."_s << u"0.2"_s;
    QTest::newRow("0.048828125 A stays down") << 1 << 50 << u"."_s << u"0.0"_s;
    QTest::newRow("229.98046875 V") << 314 << 750 << u"."_s << u"230.0"_s;
    QTest::newRow("zero") << 0 << 750 << u"."_s << u"0.0"_s;
    QTest::newRow("top of the range, no grouping") << 65535 << 200 << u"."_s << u"12799.8"_s;
    QTest::newRow("comma separator") << 32 << 200 << u","_s << u"6,3"_s;
}

void tst_PanelFigures::oneDecimal()
{
    QFETCH(int, raw);
    QFETCH(int, scale);
    QFETCH(QString, point);
    QFETCH(QString, text);
    QCOMPARE(PanelFigures::oneDecimal(quint16(raw), scale, point), text);
}

void tst_PanelFigures::roundedHalfEven_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("rounded");

    QTest::newRow("229.98 up") << 314 << 230;
    QTest::newRow("187.5 to even 188") << 256 << 188;
    QTest::newRow("562.5 to even 562") << 768 << 562;
    QTest::newRow("0.73 up") << 1 << 1;
    QTest::newRow("top of the range") << 65535 << 47999;
}

void tst_PanelFigures::roundedHalfEven()
{
    QFETCH(int, raw);
    QFETCH(int, rounded);
    QCOMPARE(PanelFigures::roundedHalfEven(quint16(raw), 750), rounded);
}

void tst_PanelFigures::panelNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("number");  // null: no figure

    // Texts amplifiers send in the impedance, temperature and fan fields.
    QTest::newRow("impedance with R") << u"8.0R"_s << QVariant(8.0);
    QTest::newRow("impedance with ohm sign") << u"4.0\u03A9"_s << QVariant(4.0);
    QTest::newRow("right-aligned") << u" 8.0"_s << QVariant(8.0);
    QTest::newRow("left-aligned") << u"8.0 "_s << QVariant(8.0);
    QTest::newRow("open") << u"open"_s << QVariant();
    QTest::newRow("dashes") << u"----"_s << QVariant();
    QTest::newRow("blank") << u"    "_s << QVariant();
    QTest::newRow("empty (zero bytes)") << QString() << QVariant();
    QTest::newRow("temperature") << u" 48"_s << QVariant(48.0);
    QTest::newRow("temperature left-aligned, not 480") << u"48 "_s << QVariant(48.0);
    QTest::newRow("below zero") << u"-5 "_s << QVariant(-5.0);
    QTest::newRow("fan with percent") << u"045%"_s << QVariant(45.0);
    QTest::newRow("point without decimals") << u"12. "_s << QVariant(12.0);
    // A digit after the figure means the text is no figure the panel shows.
    QTest::newRow("digits after a dash") << u"1-1"_s << QVariant();
    QTest::newRow("decimal comma") << u"8,5R"_s << QVariant();
    QTest::newRow("unit first") << u"R8.0"_s << QVariant();
    QTest::newRow("lone minus") << u"-- 5"_s << QVariant();
}

void tst_PanelFigures::panelNumber()
{
    QFETCH(QString, text);
    QFETCH(QVariant, number);
    const std::optional<double> read = PanelNumber::read(text);
    QCOMPARE(read.has_value(), !number.isNull());
    if (read)
        QCOMPARE(*read, number.toDouble());
}

QTEST_APPLESS_MAIN(tst_PanelFigures)
#include "tst_panelfigures.moc"
