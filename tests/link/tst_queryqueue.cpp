// The per-device queue: merging by path, order, capacity.

#include "queryqueue.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_QueryQueue final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void samePathMergesInPlaceWithTheLatestArgument();
    void headLeavesAndTheRestMoveUpInOrder();
    void fullQueueRefusesANewPathButStillMerges();
};

static QList<QByteArray> paths(const QueryQueue &queue)
{
    QList<QByteArray> result;
    for (int i = 0; i < queue.size(); ++i)
        result.append(queue.at(i).path);
    return result;
}

void tst_QueryQueue::samePathMergesInPlaceWithTheLatestArgument()
{
    QueryQueue queue;
    QVERIFY(queue.put("/krv.krv"_ba, {}));
    QVERIFY(queue.put("/name="_ba, "AMP1 "));
    QVERIFY(queue.put("/mute_a_on.html"_ba, {}));
    QVERIFY(queue.put("/name="_ba, "AMP2 "));

    QCOMPARE(paths(queue), (QList{"/krv.krv"_ba, "/name="_ba, "/mute_a_on.html"_ba}));
    QCOMPARE(queue.at(1).argument, "AMP2 "_ba);

    // An empty argument replaces a longer one too.
    QVERIFY(queue.put("/name="_ba, {}));
    QCOMPARE(queue.at(1).argument, QByteArray());
}

void tst_QueryQueue::headLeavesAndTheRestMoveUpInOrder()
{
    QueryQueue queue;
    queue.put("/a"_ba, "1");
    queue.put("/b"_ba, "2");
    queue.put("/c"_ba, "3");
    queue.popHead();
    QCOMPARE(paths(queue), (QList{"/b"_ba, "/c"_ba}));
    QCOMPARE(queue.at(0).argument, "2"_ba);

    // A path that left the queue comes back at the end.
    queue.put("/a"_ba, "4");
    QCOMPARE(paths(queue), (QList{"/b"_ba, "/c"_ba, "/a"_ba}));

    queue.clear();
    QVERIFY(queue.isEmpty());
    queue.popHead();  // harmless on an empty queue
    QCOMPARE(queue.size(), 0);
}

void tst_QueryQueue::fullQueueRefusesANewPathButStillMerges()
{
    QueryQueue queue;
    for (int i = 0; i < QueryQueue::kCapacity; ++i)
        QVERIFY(queue.put("/p" + QByteArray::number(i), {}));

    QVERIFY(!queue.put("/one-too-many"_ba, "x"));
    QCOMPARE(queue.size(), QueryQueue::kCapacity);
    QVERIFY(!paths(queue).contains("/one-too-many"_ba));

    QVERIFY(queue.put("/p7"_ba, "merged"));
    QCOMPARE(queue.at(7).argument, "merged"_ba);
}

QTEST_GUILESS_MAIN(tst_QueryQueue)
#include "tst_queryqueue.moc"
