// One event, one line, whatever the names hold; the writer follows the log
// batch by batch, also with events the log itself does not keep.

#include "eventline.h"
#include "eventlinewriter.h"

#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestEventLine final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controlCharactersEscaped();
    void writerFollowsLog_data();
    void writerFollowsLog();
    void unreadPipeDropsLinesAndSaysSo();
};

namespace {

// Everything the descriptor holds from its start.
QByteArray contentsOf(std::FILE *stream)
{
    // pread leaves the file's offset alone: the writer's thread writes at it,
    // and a seek here would make it write over the first lines.
    QByteArray bytes;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t count = ::pread(fileno(stream), buffer, sizeof buffer, at);
        if (count <= 0)
            return bytes;
        bytes.append(buffer, qsizetype(count));
        at += count;
    }
}

QList<FleetEvent> numberedEvents(int first, int count, EventSeverity severity = EventSeverity::Info)
{
    QList<FleetEvent> events;
    for (int i = 0; i < count; ++i)
        events.append({QDateTime::currentDateTime(), severity, {}, QString::number(first + i)});
    return events;
}

} // namespace

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
    QTest::addColumn<EventSeverity>("severityBefore");
    QTest::addColumn<QList<int>>("batches");  // sizes of the batches of Info events appended after

    const auto info = EventSeverity::Info;
    QTest::newRow("one batch, written oldest first") << 0 << info << QList<int>{3};
    QTest::newRow("what was there before, then batches") << 2 << info << QList<int>{1, 4, 2};
    QTest::newRow("batch beyond the log's capacity") << 0 << info << QList<int>{EventLog::kCapacity + 5};
    // The log keeps its alarms and lets each new Info go at once.
    QTest::newRow("log full of alarms") << int(EventLog::kCapacity) << EventSeverity::Alarm << QList<int>{1, 2};
}

// Each event's text is its number in the order it was logged, from 1.
void TestEventLine::writerFollowsLog()
{
    QFETCH(int, before);
    QFETCH(EventSeverity, severityBefore);
    QFETCH(QList<int>, batches);

    EventLog log;
    int logged = 0;
    const auto append = [&](int count, EventSeverity severity) {
        log.append(numberedEvents(logged + 1, count, severity));
        logged += count;
    };
    append(before, severityBefore);
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> stream(std::tmpfile(), &std::fclose);
    QVERIFY(stream);
    const EventLineWriter writer(log, fileno(stream.get()));
    for (const int count : batches)
        append(count, EventSeverity::Info);

    // The lines go out on the writer's thread.
    QTRY_COMPARE(contentsOf(stream.get()).count('\n'), logged);
    const QList<QByteArray> lines = contentsOf(stream.get()).split('\n');
    for (int i = 0; i < lines.size() - 1; ++i)
        QCOMPARE(lines[i].split('\t').value(3), QByteArray::number(i + 1));
}

// Standard output a pipe that nobody reads: appending to the log returns at
// once, the lines that do not fit are counted, and once the pipe is read
// the next line is preceded by one saying how many were lost.
void TestEventLine::unreadPipeDropsLinesAndSaysSo()
{
    int pipe[2];
    QCOMPARE(::pipe2(pipe, O_CLOEXEC), 0);
    EventLog log;
    auto writer = std::make_unique<EventLineWriter>(log, pipe[1], 4096);
    // Far more than the pipe (64 KiB) and the queue hold, batch by batch as the tick logs them.
    int logged = 0;
    while (writer->droppedLines() == 0 && logged < 100'000) {
        log.append(numberedEvents(logged + 1, 100));
        logged += 100;
    }
    QVERIFY(writer->droppedLines() > 0);

    // Now someone reads: logging goes on until the notice comes through.
    std::mutex mutex;
    QByteArray read;
    std::thread reader([&] {
        char buffer[65536];
        ssize_t size = 0;
        while ((size = ::read(pipe[0], buffer, sizeof buffer)) > 0) {
            const std::lock_guard lock(mutex);
            read.append(buffer, qsizetype(size));
        }
    });
    const auto noticeRead = [&] {
        log.append(numberedEvents(++logged, 1));
        const std::lock_guard lock(mutex);
        return read.contains(" event lines were lost");
    };
    QTRY_VERIFY_WITH_TIMEOUT(noticeRead(), 30'000);
    const quint64 dropped = writer->droppedLines();
    writer.reset();
    ::close(pipe[1]);
    reader.join();
    ::close(pipe[0]);

    // Every line is the next event, or a notice of how many were lost just before it.
    int expected = 1;
    quint64 lost = 0;
    for (const QByteArray &line : read.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 4)
            continue;
        const QByteArray text = fields[3];
        if (text.endsWith(" event lines were lost: standard output was not being read")) {
            QCOMPARE(fields[1], "Warning");
            const int count = text.first(text.indexOf(' ')).toInt();
            expected += count;
            lost += quint64(count);
            continue;
        }
        QCOMPARE(text.toInt(), expected++);
    }
    QCOMPARE(lost, dropped);
    QCOMPARE(expected, logged + 1);
}

QTEST_GUILESS_MAIN(TestEventLine)
#include "tst_eventline.moc"
