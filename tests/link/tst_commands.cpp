// Argument texts of the command set that do not need a device on the wire.

#include "commands.h"

#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

class tst_Commands final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void preparedName_data();
    void preparedName();
    void groupSettingsDigits_data();
    void groupSettingsDigits();
};

void tst_Commands::preparedName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("lower case and dash") << u"amp-1"_s << "AMP 1"_ba;
    QTest::newRow("short name padded") << u"ab"_s << "AB   "_ba;
    QTest::newRow("empty name") << QString() << "     "_ba;
    QTest::newRow("longer name kept whole") << u"stage7left"_s << "STAGE7LEFT"_ba;
    QTest::newRow("accented letter becomes a space") << u"\u00e9te"_s << " TE  "_ba;
}

void tst_Commands::preparedName()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    QCOMPARE(Commands::preparedName(name), expected);
}

void tst_Commands::groupSettingsDigits_data()
{
    QTest::addColumn<QList<int>>("values");  // volume A/B, input level A/B, limiter A/B
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("all zero") << QList{0, 0, 0, 0, 0, 0} << "000000000000000000"_ba;
    QTest::newRow("example group") << QList{191, 191, 100, 100, 160, 160}
                                   << "191191100100160160"_ba;
    QTest::newRow("order of the fields") << QList{1, 2, 3, 4, 5, 6} << "001002003004005006"_ba;
    QTest::newRow("largest byte") << QList{255, 0, 0, 0, 0, 9} << "255000000000000009"_ba;
}

void tst_Commands::groupSettingsDigits()
{
    QFETCH(QList<int>, values);
    QFETCH(QByteArray, expected);
    Commands::SettingsValues settings{};
    std::copy(values.cbegin(), values.cend(), settings.begin());
    const Commands::SettingsDigits digits = Commands::settingsDigits(settings);
    QCOMPARE(QByteArray(digits.data(), qsizetype(digits.size())), expected);
}

QTEST_GUILESS_MAIN(tst_Commands)
#include "tst_commands.moc"
