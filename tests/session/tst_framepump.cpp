#include "session/FramePump.h"
#include "support/TimeFactor.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// Frames are timed on a clock of the test's own, which moves only when a
// frame says it took time.
class TestFramePump : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theNextTickWaitsTheRestOfFiftyMilliseconds_data()
    {
        QTest::addColumn<qint64>("frameNs");
        QTest::addColumn<qint64>("delayNs");
        QTest::newRow("instant frame") << qint64(0) << qint64(50'000'000);
        QTest::newRow("just under") << qint64(49'999'999) << qint64(1);
        QTest::newRow("exactly the interval") << qint64(50'000'000) << qint64(0);
        QTest::newRow("slow frame") << qint64(80'000'000) << qint64(0);
    }

    void theNextTickWaitsTheRestOfFiftyMilliseconds()
    {
        QFETCH(qint64, frameNs);
        QFETCH(qint64, delayNs);
        QCOMPARE(FramePump::nextDelayNs(frameNs), delayNs);

        // The same rule, as the running pump applies it to a frame it timed.
        qint64 now = 0;
        FramePump pump([&] { now += frameNs; }, {});
        pump.setClock([&] { return now; });
        pump.start();
        QCOMPARE(pump.lastDelayNs(), delayNs);
        QVERIFY(pump.isTimerArmed());
        pump.stop();
        QVERIFY(!pump.isTimerArmed());
    }

    void aSlowFrameIsFollowedByTheNextAtOnce()
    {
        qint64 now = 0;
        int frames = 0;
        FramePump pump([&] { now += ++frames == 1 ? 70'000'000 : 50'000'000; }, {});
        pump.setClock([&] { return now; });
        pump.setFrameLimit(2);
        QSignalSpy finished(&pump, &FramePump::finished);
        pump.start();
        QCOMPARE(frames, 1);
        QVERIFY(finished.wait(TimeFactor::ms(5000)));
        QCOMPARE(frames, 2);
    }

    void eachTickRunsTheFrameThenMarksTheView()
    {
        QStringList order;
        FramePump pump([&] { order << QStringLiteral("frame"); }, [&] { order << QStringLiteral("display"); });
        pump.tick();
        pump.tick();
        QCOMPARE(order.join(u' '), QStringLiteral("frame display frame display"));
        QCOMPARE(pump.framesRun(), 2);
        QVERIFY(!pump.isTimerArmed()); // not started: nothing is scheduled
    }

    void aTickIsNeverRunInsideAnother_data()
    {
        QTest::addColumn<bool>("fromNestedLoop");
        QTest::newRow("called directly") << false;
        // A frame that waits in an event loop of its own, as a slow request
        // might, with a tick queued meanwhile.
        QTest::newRow("queued, nested event loop") << true;
    }

    void aTickIsNeverRunInsideAnother()
    {
        QFETCH(bool, fromNestedLoop);
        int frames = 0;
        FramePump *self = nullptr;
        FramePump pump([&] {
            if (++frames == 1 && !fromNestedLoop) {
                self->tick();
            } else if (frames == 1) {
                QEventLoop loop;
                QTimer::singleShot(0, self, &FramePump::tick);
                QTimer::singleShot(0, &loop, &QEventLoop::quit); // after the tick, in order
                loop.exec();
            }
        }, {});
        self = &pump;
        pump.tick();
        QCOMPARE(frames, 1);
        QCOMPARE(pump.refusedReentries(), 1);
        QCOMPARE(pump.framesRun(), 1);
    }

    void aFrameLimitStopsThePump_data()
    {
        QTest::addColumn<int>("limit");
        QTest::newRow("three") << 3;
        QTest::newRow("none at all") << 0;
    }

    void aFrameLimitStopsThePump()
    {
        QFETCH(int, limit);
        qint64 now = 0;
        int frames = 0;
        FramePump pump([&] { ++frames, now += 50'000'000; }, {});
        pump.setClock([&] { return now; });
        QSignalSpy finished(&pump, &FramePump::finished);
        pump.setFrameLimit(limit);
        pump.start();
        QVERIFY(finished.count() == 1 || finished.wait(TimeFactor::ms(5000)));
        QCOMPARE(frames, limit);
        QVERIFY(!pump.isRunning());
        // Nothing is left scheduled that could run another frame.
        QVERIFY(!pump.isTimerArmed());
        QCoreApplication::processEvents();
        QCOMPARE(frames, limit);
        QCOMPARE(finished.count(), 1);
    }

    void backToBackRunsEveryFrameWithoutTheTimer_data()
    {
        QTest::addColumn<int>("stopAfter"); // a quit request queued by this frame
        QTest::addColumn<int>("frames");
        QTest::newRow("all frames") << 0 << 1203;
        // It arrives between two frames and ends the run there.
        QTest::newRow("stopped") << 10 << 10;
    }

    void backToBackRunsEveryFrameWithoutTheTimer()
    {
        QFETCH(int, stopAfter);
        int frames = 0;
        bool armedDuringRun = false;
        FramePump *self = nullptr;
        FramePump pump([&] {
            armedDuringRun = armedDuringRun || self->isTimerArmed();
            if (++frames == stopAfter)
                QTimer::singleShot(0, self, &FramePump::stop);
        }, {});
        self = &pump;
        QSignalSpy finished(&pump, &FramePump::finished);
        pump.runBackToBack(1203);
        QTEST(frames, "frames");
        QCOMPARE(finished.count(), 1);
        QVERIFY(!armedDuringRun && !pump.isTimerArmed() && !pump.isRunning());
    }
};

QTEST_GUILESS_MAIN(TestFramePump)
#include "tst_framepump.moc"
