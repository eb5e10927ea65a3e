// One event, one line, whatever the names hold; the writer follows the log batch by batch.

#include "eventline.h"
#include "eventlinewriter.h"

#include <QFile>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

class TestEventLine final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controlCharactersEscaped();
    void writerFollowsLog_data();
    void writerFollowsLog();
};

// Names come from the amplifiers' reports: nothing in them may split a field or the line.
void TestEventLine::controlCharactersEscaped()
{
    const FleetEvent event{QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 45)), EventSeverity::Alarm,
                           u"A\tB (127.0.0.2)"_s, u"Name changed from \"\u00C4\r\" to \"C\nD\u007F\u0085\""_s};
    QCOMPARE(EventLine::line(event), u"2024-03-05 07:08:09.045\tAlarm\tA\\x09B (127.0.0.2)\t"
                                     u"Name changed from \"\u00C4\\x0d\" to \"C\\x0aD\\x7f\\x85\""_s);
}

void TestEventLine::writerFollowsLog_data()
{
    QTest::addColumn<int>("before");  // events in the log before the writer starts
    QTest::addColumn<QList<int>>("batches");  // sizes of the batches appended after
    QTest::addColumn<int>("firstWritten");  // the number of the first event written

    QTest::newRow("one batch, written oldest first") << 0 << QList<int>{3} << 1;
    QTest::newRow("what was there before, then batches") << 2 << QList<int>{1, 4, 2} << 1;
    QTest::newRow("batch beyond the log's capacity: the dropped are skipped")
        << 0 << QList<int>{EventLog::kCapacity + 5} << 6;
}

// Each event's text is its number in the order it was logged, from 1.
void TestEventLine::writerFollowsLog()
{
    QFETCH(int, before);
    QFETCH(QList<int>, batches);
    QFETCH(int, firstWritten);

    EventLog log;
    int logged = 0;
    const auto append = [&](int count) {
        QList<FleetEvent> events;
        for (int i = 0; i < count; ++i)
            events.append({QDateTime::currentDateTime(), EventSeverity::Info, {}, QString::number(++logged)});
        log.append(events);
    };
    append(before);
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> stream(std::tmpfile(), &std::fclose);
    QVERIFY(stream);
    const EventLineWriter writer(log, stream.get());
    for (const int count : batches)
        append(count);

    std::rewind(stream.get());
    QFile file;
    QVERIFY(file.open(stream.get(), QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), logged - firstWritten + 2);  // and the empty rest after the last line end
    for (int i = 0; i < lines.size() - 1; ++i)
        QCOMPARE(lines[i].split('\t').value(3), QByteArray::number(firstWritten + i));
}

QTEST_GUILESS_MAIN(TestEventLine)
#include "tst_eventline.moc"
