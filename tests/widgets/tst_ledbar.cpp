#include "ledbar.h"

#include <QImage>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
using Segments = QString;  // one letter per segment from 1: L/Y/R lit, l/y/r dimmed

const QColor Lime(0, 255, 0);
const QColor Yellow(255, 255, 0);
const QColor Red(255, 0, 0);

QRgb expectedColour(QChar letter)
{
    switch (letter.unicode()) {
    case 'L': return qRgb(0, 255, 0);
    case 'l': return qRgb(0, 127, 0);
    case 'Y': return qRgb(255, 255, 0);
    case 'y': return qRgb(127, 127, 0);
    case 'R': return qRgb(255, 0, 0);
    case 'r': return qRgb(127, 0, 0);
    }
    return qRgb(0, 0, 0);
}

Segments run(int count, char letter)
{
    return Segments(count, QChar::fromLatin1(letter));
}

// Centre pixel of segment s (1-based): vertical bars count from the bottom.
QPoint segmentCentre(const TDDLedBar &bar, int s)
{
    const int pitch = bar.barSize();
    if (bar.orientation() == TDDLedBar::trVertical)
        return {bar.width() / 2, bar.height() - 2 - (s - 1) * pitch - (pitch - 2) / 2 - 1};
    return {(s - 1) * pitch + 2 + (pitch - 2) / 2, bar.height() / 2};
}

QImage paint(TDDLedBar &bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
} // namespace

class TestLedBar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaults();
    void segments_data();
    void segments();
    void segmentRectangles_data();
    void segmentRectangles();
    void rejectedValues_data();
    void rejectedValues();
    void settersRepaintAtOnce();
    void orientationSwapsAtRunTime();
    void storedDescriptionAppliesInOrder();
};

void TestLedBar::defaults()
{
    TDDLedBar bar;
    QCOMPARE(bar.size(), QSize(25, 147));
    QCOMPARE(bar.orientation(), TDDLedBar::trVertical);
    QCOMPARE(bar.colorLow(), Lime);
    QCOMPARE(bar.colorMid(), Yellow);
    QCOMPARE(bar.colorHi(), Red);
    QCOMPARE(bar.backColor(), QColor(Qt::black));
    QCOMPARE(bar.maxValue(), 100);
    QCOMPARE(bar.barSize(), 5);
    QCOMPARE(bar.position(), 0);
    QCOMPARE(bar.lowToMidPos(), 32);
    QCOMPARE(bar.midToHiPos(), 16);
}

void TestLedBar::segments_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("barSize");
    QTest::addColumn<QList<QColor>>("colours");
    QTest::addColumn<int>("lowToMid");
    QTest::addColumn<int>("midToHi");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<int>("position");
    QTest::addColumn<Segments>("expected");

    const int v = TDDLedBar::trVertical;
    const int h = TDDLedBar::trHorizontal;
    const QList<QColor> lyr{Lime, Yellow, Red};
    const QSize tall(17, 193);
    const QSize wide(633, 9);

    QTest::newRow("27 segments, half scale") << v << tall << 7 << lyr << 32 << 16 << 255 << 128
        << run(13, 'L') + run(5, 'l') + run(4, 'y') + run(5, 'r');
    QTest::newRow("position 0") << v << tall << 7 << lyr << 32 << 16 << 255 << 0
        << run(18, 'l') + run(4, 'y') + run(5, 'r');
    QTest::newRow("position equal to max") << v << tall << 7 << lyr << 32 << 16 << 255 << 255
        << run(18, 'L') + run(4, 'Y') + run(5, 'R');
    QTest::newRow("position above max") << v << tall << 7 << lyr << 32 << 16 << 255 << 256
        << run(18, 'L') + run(4, 'Y') + run(5, 'R');
    QTest::newRow("max 255, position 1") << v << tall << 7 << lyr << 32 << 16 << 255 << 1
        << run(18, 'l') + run(4, 'y') + run(5, 'r');
    QTest::newRow("negative position") << v << tall << 7 << lyr << 32 << 16 << 255 << -40
        << run(18, 'l') + run(4, 'y') + run(5, 'r');
    QTest::newRow("42 segments, temperature 45 of 150") << h << wide << 15 << lyr << 32 << 16 << 150 << 45
        << run(13, 'L') + run(15, 'l') + run(7, 'y') + run(7, 'r');
    QTest::newRow("42 segments, zones 50 and 12, 230 of 300") << h << wide << 15
        << QList<QColor>{Red, Lime, Red} << 50 << 12 << 300 << 230
        << run(20, 'R') + run(12, 'L') + run(4, 'l') + run(6, 'r');
    QTest::newRow("35 segments, half scale") << v << QSize(17, 177) << 5 << lyr << 32 << 16 << 100 << 50
        << run(17, 'L') + run(6, 'l') + run(6, 'y') + run(6, 'r');
    // Below a MaxValue of 100 a segment also stays dark above the raw position.
    QTest::newRow("max 10, full") << v << tall << 7 << lyr << 32 << 16 << 10 << 10
        << run(2, 'L') + run(16, 'l') + run(4, 'y') + run(5, 'r');
    QTest::newRow("max 50, half") << v << tall << 7 << lyr << 32 << 16 << 50 << 25
        << run(7, 'L') + run(11, 'l') + run(4, 'y') + run(5, 'r');
    QTest::newRow("max 0 does not divide") << v << tall << 7 << lyr << 32 << 16 << 0 << -1
        << run(18, 'l') + run(4, 'y') + run(5, 'r');
}

void TestLedBar::segments()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(int, barSize);
    QFETCH(QList<QColor>, colours);
    QFETCH(int, lowToMid);
    QFETCH(int, midToHi);
    QFETCH(int, maxValue);
    QFETCH(int, position);
    QFETCH(Segments, expected);

    TDDLedBar bar;
    bar.load({.geometry = QRect(QPoint(0, 0), size),
              .colorLow = colours[0], .colorMid = colours[1], .colorHi = colours[2],
              .orientation = TDDLedBar::Orientation(orientation),
              .maxValue = maxValue, .barSize = barSize, .position = position,
              .lowToMidPos = lowToMid, .midToHiPos = midToHi});
    QCOMPARE(bar.segmentCount(), expected.size());

    const QImage image = paint(bar);
    Segments seen;
    for (int s = 1; s <= bar.segmentCount(); ++s) {
        const QRgb pixel = image.pixel(segmentCentre(bar, s));
        QChar letter = u'?';
        for (QChar candidate : u"LlYyRr")
            if (expectedColour(candidate) == pixel)
                letter = candidate;
        seen += letter;
    }
    QCOMPARE(seen, expected);
}

// Exact rows and columns of the first and last segments, and the background
// around them, read from the painted image. Corners are inclusive.
void TestLedBar::segmentRectangles_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("barSize");
    QTest::addColumn<QRect>("first");
    QTest::addColumn<QRect>("last");

    QTest::newRow("vertical 17x193") << int(TDDLedBar::trVertical) << QSize(17, 193) << 7
        << QRect(QPoint(2, 186), QPoint(14, 190)) << QRect(QPoint(2, 4), QPoint(14, 8));
    QTest::newRow("horizontal 633x9") << int(TDDLedBar::trHorizontal) << QSize(633, 9) << 15
        << QRect(QPoint(2, 2), QPoint(14, 6)) << QRect(QPoint(617, 2), QPoint(629, 6));
}

void TestLedBar::segmentRectangles()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(int, barSize);
    QFETCH(QRect, first);
    QFETCH(QRect, last);

    TDDLedBar bar;
    bar.load({.geometry = QRect(QPoint(0, 0), size),
              .orientation = TDDLedBar::Orientation(orientation),
              .maxValue = 100, .barSize = barSize, .position = 100});
    const QImage image = paint(bar);
    const QRgb black = qRgb(0, 0, 0);
    for (const QRect &segment : {first, last}) {
        const QRgb lit = image.pixel(segment.topLeft());
        QVERIFY(lit != black);
        QCOMPARE(image.pixel(segment.bottomRight()), lit);
        QCOMPARE(image.pixel(segment.topLeft() - QPoint(1, 0)), black);
        QCOMPARE(image.pixel(segment.topLeft() - QPoint(0, 1)), black);
        QCOMPARE(image.pixel(segment.bottomRight() + QPoint(1, 0)), black);
        QCOMPARE(image.pixel(segment.bottomRight() + QPoint(0, 1)), black);
    }
}

void TestLedBar::rejectedValues_data()
{
    QTest::addColumn<QString>("property");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("accepted");

    // A 17x193 vertical bar with LowToMidPos 32 and MidToHiPos 16.
    QTest::newRow("LowToMidPos 100") << u"lowToMid"_s << 100 << false;
    QTest::newRow("LowToMidPos 99") << u"lowToMid"_s << 99 << true;
    QTest::newRow("LowToMidPos equal to MidToHiPos") << u"lowToMid"_s << 16 << false;
    QTest::newRow("LowToMidPos above MidToHiPos") << u"lowToMid"_s << 17 << true;
    QTest::newRow("MidToHiPos equal to LowToMidPos") << u"midToHi"_s << 32 << false;
    QTest::newRow("MidToHiPos below LowToMidPos") << u"midToHi"_s << 31 << true;
    QTest::newRow("MidToHiPos negative") << u"midToHi"_s << -1 << false;
    QTest::newRow("BarSize 2") << u"barSize"_s << 2 << false;
    QTest::newRow("BarSize 3") << u"barSize"_s << 3 << true;
    QTest::newRow("BarSize length minus 4") << u"barSize"_s << 189 << false;
    QTest::newRow("BarSize length minus 5") << u"barSize"_s << 188 << true;
}

void TestLedBar::rejectedValues()
{
    QFETCH(QString, property);
    QFETCH(int, value);
    QFETCH(bool, accepted);

    TDDLedBar bar;
    bar.load({.geometry = QRect(0, 0, 17, 193), .barSize = 7});
    const auto get = [&] {
        return property == u"lowToMid" ? bar.lowToMidPos()
             : property == u"midToHi"  ? bar.midToHiPos()
                                       : bar.barSize();
    };
    const int before = get();
    if (property == u"lowToMid")
        bar.setLowToMidPos(value);
    else if (property == u"midToHi")
        bar.setMidToHiPos(value);
    else
        bar.setBarSize(value);
    QCOMPARE(get(), accepted ? value : before);
}

// A value set by a timer tick must be on screen when the setter returns,
// without a trip through the event loop.
void TestLedBar::settersRepaintAtOnce()
{
    QWidget window;
    auto *bar = new TDDLedBar(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    PaintCounter counter;
    bar->installEventFilter(&counter);

    bar->setPosition(0);
    QCOMPARE(counter.paints, 1);
    bar->setColorLow(Lime);
    QCOMPARE(counter.paints, 2);
    bar->setMaxValue(100);  // unchanged: no repaint
    QCOMPARE(counter.paints, 2);
    bar->setMaxValue(50);
    QCOMPARE(counter.paints, 3);
    bar->setLowToMidPos(100);  // rejected: no repaint
    QCOMPARE(counter.paints, 3);
}

void TestLedBar::orientationSwapsAtRunTime()
{
    TDDLedBar bar;
    bar.load({.geometry = QRect(10, 20, 17, 193), .barSize = 7, .position = 100});
    bar.setOrientation(TDDLedBar::trVertical);
    QCOMPARE(bar.geometry(), QRect(10, 20, 17, 193));

    bar.setOrientation(TDDLedBar::trHorizontal);
    QCOMPARE(bar.geometry(), QRect(10, 20, 193, 17));
    QCOMPARE(bar.segmentCount(), 27);
    const QImage image = paint(bar);
    QCOMPARE(image.pixel(2, 2), qRgb(0, 255, 0));    // segment 1 at the left
    QCOMPARE(image.pixel(1, 2), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(6, 14), qRgb(0, 255, 0));
    QCOMPARE(image.pixel(7, 14), qRgb(0, 0, 0));      // gap before segment 2
}

// The size comes first and LowToMidPos before MidToHiPos, each judged
// against what was applied before it; a stored orientation does not swap.
void TestLedBar::storedDescriptionAppliesInOrder()
{
    TDDLedBar bar;
    bar.load({.geometry = QRect(0, 0, 633, 9),
              .orientation = TDDLedBar::trHorizontal,
              .barSize = 150,
              .lowToMidPos = 50,
              .midToHiPos = 12});
    QCOMPARE(bar.size(), QSize(633, 9));
    QCOMPARE(bar.barSize(), 150);
    QCOMPARE(bar.lowToMidPos(), 50);
    QCOMPARE(bar.midToHiPos(), 12);

    // LowToMidPos is judged against the MidToHiPos of the moment: 10 falls
    // against the default 16 before the stored 5 arrives.
    TDDLedBar narrow;
    narrow.load({.lowToMidPos = 10, .midToHiPos = 5});
    QCOMPARE(narrow.lowToMidPos(), 32);
    QCOMPARE(narrow.midToHiPos(), 5);

    // Judged against the default 25x147 rather than the stored size, 150
    // would have been refused.
    TDDLedBar unsized;
    unsized.setBarSize(150);
    QCOMPARE(unsized.barSize(), 5);
}

QTEST_MAIN(TestLedBar)
#include "tst_ledbar.moc"
