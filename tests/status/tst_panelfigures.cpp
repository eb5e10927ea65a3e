#include "panelfigures.h"

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

QTEST_APPLESS_MAIN(tst_PanelFigures)
#include "tst_panelfigures.moc"
