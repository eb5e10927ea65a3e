// Deliberate data races that ThreadSanitizer must report. Each case races a
// plain thread's write against a read in main-thread code that Qt calls: a
// slot reached through a timer, a lambda connected to a signal, a lambda run
// by a queued invocation. Nothing orders the two accesses, so the sanitizer
// reports the race whichever comes first; if a suppression ever hides it, the
// case exits quietly and CTest, which expects the report, fails.
//
// Usage: tsan_canary timer-slot | signal-lambda | queued-lambda

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <thread>

namespace {

int g_shared = 0;  // written by the racer, read on the main thread, unguarded

void race()
{
    g_shared = 42;
}

class Reader final : public QObject
{
    Q_OBJECT

public:
    void readShared()
    {
        std::printf("read %d\n", g_shared);
        QCoreApplication::quit();
    }

Q_SIGNALS:
    void poked();
};

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const char *const mode = argv[1];

    Reader reader;
    QTimer timer;
    std::thread racer(race);
    if (std::strcmp(mode, "timer-slot") == 0) {
        QObject::connect(&timer, &QTimer::timeout, &reader, &Reader::readShared);
        timer.start(1);
    } else if (std::strcmp(mode, "signal-lambda") == 0) {
        QObject::connect(&reader, &Reader::poked, &reader, [&reader] { reader.readShared(); });
        QTimer::singleShot(1, &reader, [&reader] { Q_EMIT reader.poked(); });
    } else if (std::strcmp(mode, "queued-lambda") == 0) {
        QMetaObject::invokeMethod(&reader, [&reader] { reader.readShared(); }, Qt::QueuedConnection);
    } else {
        racer.join();
        return 2;
    }
    const int result = app.exec();
    racer.join();
    return result;
}

#include "tsan_canary.moc"
