#include "session/FramePump.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

class TestFramePump : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void delayIsTheRestOfFiftyMilliseconds_data()
    {
        QTest::addColumn<qint64>("frameNs");
        QTest::addColumn<qint64>("delayNs");
        QTest::newRow("instant frame") << qint64(0) << qint64(50'000'000);
        QTest::newRow("short frame") << qint64(12'500'000) << qint64(37'500'000);
        QTest::newRow("just under") << qint64(49'999'999) << qint64(1);
        QTest::newRow("exactly the interval") << qint64(50'000'000) << qint64(0);
        QTest::newRow("slow frame") << qint64(80'000'000) << qint64(0);
        QTest::newRow("very slow frame") << qint64(10'000'000'000) << qint64(0);
    }

    void delayIsTheRestOfFiftyMilliseconds()
    {
        QFETCH(qint64, frameNs);
        QFETCH(qint64, delayNs);
        QCOMPARE(FramePump::nextDelayNs(frameNs), delayNs);
    }

    void eachTickRunsTheFrameThenMarksTheView()
    {
        QStringList order;
        FramePump pump([&] { order << QStringLiteral("frame"); },
                       [&] { order << QStringLiteral("display"); });
        pump.tick();
        pump.tick();
        QCOMPARE(order, (QStringList{QStringLiteral("frame"), QStringLiteral("display"),
                                     QStringLiteral("frame"), QStringLiteral("display")}));
        QCOMPARE(pump.framesRun(), 2);
        // Not started: ticks run but nothing is scheduled.
        QVERIFY(!pump.isTimerArmed());
    }

    void aSlowFrameIsFollowedAtOnce()
    {
        int frames = 0;
        FramePump pump([&] {
            if (++frames == 1)
                QThread::msleep(70); // longer than the interval
        }, {});
        pump.start();
        QCOMPARE(frames, 1);
        QCOMPARE(pump.lastDelayNs(), 0);
        QVERIFY(pump.isTimerArmed());
        // The next tick comes with the next pass of the event loop.
        QTRY_COMPARE_WITH_TIMEOUT(frames, 2, 1000);
        pump.stop();
    }

    void aQuickFrameWaitsForTheRestOfTheInterval()
    {
        FramePump pump([] {}, {});
        pump.start();
        QVERIFY(pump.isTimerArmed());
        QVERIFY(pump.lastDelayNs() > 0);
        QVERIFY(pump.lastDelayNs() <= 50'000'000);
        pump.stop();
        QVERIFY(!pump.isTimerArmed());
    }

    void aTickInsideATickIsRefused()
    {
        int frames = 0;
        FramePump *pumpPointer = nullptr;
        FramePump pump([&] {
            ++frames;
            pumpPointer->tick(); // directly
        }, {});
        pumpPointer = &pump;
        pump.tick();
        QCOMPARE(frames, 1);
        QCOMPARE(pump.refusedReentries(), 1);
        QCOMPARE(pump.framesRun(), 1);
    }

    void aNestedEventLoopDoesNotReenter()
    {
        // A frame that waits in an event loop of its own (as a slow request
        // might) must not let a queued tick run inside it.
        int frames = 0;
        int depth = 0;
        int deepest = 0;
        FramePump *pumpPointer = nullptr;
        FramePump pump([&] {
            ++frames;
            deepest = std::max(deepest, ++depth);
            if (frames == 1) {
                QTimer::singleShot(0, pumpPointer, &FramePump::tick);
                QEventLoop loop;
                QTimer::singleShot(30, &loop, &QEventLoop::quit);
                loop.exec();
            }
            --depth;
        }, {});
        pumpPointer = &pump;
        pump.tick();
        QCOMPARE(deepest, 1);
        QCOMPARE(pump.refusedReentries(), 1);
        QCOMPARE(frames, 1);
    }

    void aFrameLimitStopsThePump()
    {
        int frames = 0;
        FramePump pump([&] { ++frames; }, {});
        QSignalSpy finished(&pump, &FramePump::finished);
        pump.setFrameLimit(3);
        pump.start();
        QVERIFY(finished.wait(5000));
        QCOMPARE(frames, 3);
        QVERIFY(!pump.isRunning());
        QVERIFY(!pump.isTimerArmed());
        QTest::qWait(120);
        QCOMPARE(frames, 3);
        QCOMPARE(finished.count(), 1);
    }

    void aZeroFrameLimitRunsNoFrame()
    {
        int frames = 0;
        FramePump pump([&] { ++frames; }, {});
        QSignalSpy finished(&pump, &FramePump::finished);
        pump.setFrameLimit(0);
        pump.start();
        QCOMPARE(frames, 0);
        QCOMPARE(finished.count(), 1);
    }

    void backToBackRunsEveryFrameWithoutTheTimer()
    {
        int frames = 0;
        bool armedDuringRun = false;
        FramePump *pumpPointer = nullptr;
        FramePump pump([&] {
            ++frames;
            armedDuringRun = armedDuringRun || pumpPointer->isTimerArmed();
        }, {});
        pumpPointer = &pump;
        QSignalSpy finished(&pump, &FramePump::finished);
        pump.runBackToBack(1203);
        QCOMPARE(frames, 1203);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!armedDuringRun);
        QVERIFY(!pump.isTimerArmed());
        QVERIFY(!pump.isRunning());
    }

    void backToBackLetsEventsThroughAndCanBeStopped()
    {
        // A quit request queued during the run arrives between two frames
        // and ends the run there.
        int frames = 0;
        FramePump *pumpPointer = nullptr;
        FramePump pump([&] {
            if (++frames == 10)
                QTimer::singleShot(0, pumpPointer, &FramePump::stop);
        }, {});
        pumpPointer = &pump;
        QSignalSpy finished(&pump, &FramePump::finished);
        pump.runBackToBack(1000);
        QCOMPARE(frames, 10);
        QCOMPARE(finished.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFramePump)
#include "tst_framepump.moc"
