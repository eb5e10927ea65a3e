// Readers of the stored status block.

#include "statusblock.h"

#include <QTest>

#include <cstring>

using namespace Qt::StringLiterals;
using namespace StatusBlockReader;

class tst_StatusBlock final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conversions_data();
    void conversions();
    void threeDigitValue_data();
    void threeDigitValue();
    void textReadings_data();
    void textReadings();
    void flagsAndValuesAtTheirOffsets();
    void historiesFollowEachOther();
};

namespace {

StatusBlock blockWith(int offset, QByteArrayView bytes)
{
    StatusBlock block{};
    std::memcpy(block.data() + offset, bytes.data(), std::size_t(bytes.size()));
    return block;
}

StatusBlock blockWithValue(int offset, quint16 raw)
{
    const char bytes[] = {char(raw & 0xff), char(raw >> 8)};
    return blockWith(offset, QByteArrayView(bytes, 2));
}

} // namespace

void tst_StatusBlock::conversions_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("raw");
    QTest::addColumn<double>("expected");
    QTest::newRow("peak voltage, smallest step") << StatusField::OutputPeakVoltageA << 1 << 0.1953125;
    QTest::newRow("peak voltage 100 V") << StatusField::OutputPeakVoltageA << 512 << 100.0;
    QTest::newRow("voltage beyond any range") << StatusField::OutputAverageVoltageB << 65535
                                              << 12799.8046875;
    QTest::newRow("current 50 A") << StatusField::OutputAverageCurrentA << 1024 << 50.0;
    QTest::newRow("mains") << StatusField::AcInputVoltage << 314 << 229.98046875;
}

void tst_StatusBlock::conversions()
{
    QFETCH(int, offset);
    QFETCH(int, raw);
    QFETCH(double, expected);
    const StatusBlock block = blockWithValue(offset, quint16(raw));
    QCOMPARE(value16(block, offset), raw);
    double converted = 0;
    if (offset == StatusField::AcInputVoltage)
        converted = acInputVoltage(block);
    else if (offset == StatusField::OutputAverageCurrentA || offset == StatusField::OutputAverageCurrentB)
        converted = current(block, offset);
    else
        converted = voltage(block, offset);
    QCOMPARE(converted, expected);  // exact: no rounding anywhere
}

void tst_StatusBlock::threeDigitValue_data()
{
    QTest::addColumn<QByteArray>("characters");
    QTest::addColumn<int>("expected");
    QTest::newRow("leading space") << " 45"_ba << 45;
    QTest::newRow("leading zero") << "045"_ba << 45;
    QTest::newRow("trailing space") << "45 "_ba << 450;
    QTest::newRow("letter in the middle") << "4k5"_ba << 405;
    QTest::newRow("sign adds nothing") << "-12"_ba << 12;
    QTest::newRow("largest") << "999"_ba << 999;
    QTest::newRow("zero bytes") << QByteArray(3, '\0') << 0;
}

void tst_StatusBlock::threeDigitValue()
{
    QFETCH(QByteArray, characters);
    QFETCH(int, expected);
    const StatusBlock block = blockWith(StatusField::FirstTemperature, characters);
    QCOMPARE(StatusBlockReader::threeDigitValue(block, StatusField::FirstTemperature), expected);
    QCOMPARE(displayText(block, StatusField::FirstTemperature, 3).size(),
             characters.count('\0') == 3 ? 0 : 3);
}

void tst_StatusBlock::textReadings_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("identity");
    QTest::addColumn<QString>("display");
    QTest::newRow("full field") << "AMP 1"_ba << u"AMP 1"_s << u"AMP 1"_s;
    QTest::newRow("zero padded") << "AB\0\0\0"_ba << u"AB"_s << u"AB"_s;
    QTest::newRow("zero inside") << "A\0BCD"_ba << u"A"_s << u"ABCD"_s;
    QTest::newRow("zero first") << "\0XYZW"_ba << QString() << u"XYZW"_s;
    QTest::newRow("latin-1 byte") << "\xe9t\xe9  "_ba << u"\u00e9t\u00e9  "_s << u"\u00e9t\u00e9  "_s;
}

void tst_StatusBlock::textReadings()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, identity);
    QFETCH(QString, display);
    // The neighbouring group field is full, so a reading that runs past its
    // five characters would show.
    StatusBlock block = blockWith(StatusField::Name, field);
    std::memcpy(block.data() + StatusField::FirstHistory, "ZZZZZ", 5);
    QCOMPARE(identityText(block, StatusField::Name, 5), identity);
    QCOMPARE(identityLength(block, StatusField::Name, 5), identity.size());
    QCOMPARE(displayText(block, StatusField::Name, 5), display);
}

void tst_StatusBlock::flagsAndValuesAtTheirOffsets()
{
    StatusBlock block{};
    block[StatusField::ChannelStateA] = 1;
    block[StatusField::ChannelStateB] = 2;
    block[StatusField::MuteA] = 0;
    block[StatusField::MuteB] = 7;
    std::memcpy(block.data() + StatusField::Model, "T1900", 5);
    std::memcpy(block.data() + StatusField::FanSpeed, "0851", 4);
    QCOMPARE(flag(block, StatusField::ChannelStateA), 1);
    QCOMPARE(flag(block, StatusField::ChannelStateB), 2);
    QCOMPARE(flag(block, StatusField::MuteB), 7);
    QCOMPARE(identityText(block, StatusField::Model, 5), u"T1900"_s);
    QCOMPARE(displayText(block, StatusField::FanSpeed, 4), u"0851"_s);
    QCOMPARE(StatusBlockReader::threeDigitValue(block, StatusField::FanSpeed), 85);
}

void tst_StatusBlock::historiesFollowEachOther()
{
    StatusBlock block{};
    for (int h = 0; h < StatusField::HistoryCount; ++h) {
        const int start = StatusField::FirstHistory + h * StatusField::HistoryLength;
        block[std::size_t(start)] = quint8(10 + h);                          // sample 0
        block[std::size_t(start + StatusField::HistoryLength - 1)] = quint8(200 + h);  // sample 511
    }
    QCOMPARE(historySample(block, History::PeakVoltageA, 0), 10);
    QCOMPARE(historySample(block, History::AmplifierTemperature, 0), 12);
    QCOMPARE(historySample(block, History::CurrentB, 511), 204);
    QCOMPARE(historySample(block, History::PsuTemperature, 511), 205);
    // The last sample of the last history is the last byte of the block.
    QCOMPARE(StatusField::FirstHistory + 6 * StatusField::HistoryLength, kStatusBlockSize);
    QCOMPARE(block[kStatusBlockSize - 1], 205);
}

QTEST_GUILESS_MAIN(tst_StatusBlock)
#include "tst_statusblock.moc"
