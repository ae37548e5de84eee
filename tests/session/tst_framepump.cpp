#include "session/FramePump.h"
#include "support/TimeFactor.h"
#include "support/LogCapture.h"

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
    // The timer fires a little off the time it was armed for; frames take
    // 7.3 ms. Tick 601 is due 30 s after the first, however the errors fall.
    void ticksKeepToTheirSlots_data()
    {
        QTest::addColumn<QList<qint64>>("timerErrorNs"); // cycled through, tick by tick
        QTest::newRow("on time") << QList<qint64>{0};
        QTest::newRow("1.3 ms late") << QList<qint64>{1'300'000};
        QTest::newRow("rounding, half a millisecond either way") << QList<qint64>{500'000, -500'000};
    }

    void ticksKeepToTheirSlots()
    {
        QFETCH(QList<qint64>, timerErrorNs);
        qint64 now = 0;
        qint64 lastStart = -1;
        FramePump pump([&] { lastStart = now, now += 7'300'000; }, {});
        pump.setClock([&] { return now; });
        pump.start();
        qint64 armedFor = -1;
        for (int tick = 2; tick <= 601; ++tick) {
            armedFor = pump.armedForNs();
            now = std::max(now, armedFor + timerErrorNs.at(tick % timerErrorNs.size()));
            pump.tick();
        }
        pump.stop();
        const qint64 due = 30'000'000'000;
        QVERIFY2(qAbs(armedFor - due) <= 1'000'000, qPrintable(QString::number(armedFor)));
        const qint64 error = timerErrorNs.at(601 % timerErrorNs.size());
        QVERIFY2(qAbs(lastStart - (due + error)) <= 1'000'000, qPrintable(QString::number(lastStart)));
        QCOMPARE(pump.framesSkipped(), 0);
        QCOMPARE(pump.summary(), QStringLiteral("frame pump: 601 frames in 30.00 s, 0 skipped"));
    }

    // Frames of the given lengths, each tick run when its timer fires.
    void aLateFrameIsFollowedByOneTickAtOnce_data()
    {
        QTest::addColumn<QList<qint64>>("frameMs");
        QTest::addColumn<int>("asksAtOnce"); // this tick asks for the next at once; 0: none
        QTest::addColumn<QList<qint64>>("startMs");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<qint64>("skipped");
        const QList<qint64> quick{5, 5, 5, 5};
        const QString stall = QStringLiteral("frame pump: 8 frames skipped after a 480 ms frame");
        const QString slowAtOnce = QStringLiteral("frame pump: 1 frame skipped after a 90 ms frame");
        QTest::newRow("on time") << quick << 0 << QList<qint64>{0, 50, 100, 150} << QStringList() << qint64(0);
        QTest::newRow("70 ms frame") << QList<qint64>{70, 5, 5, 5} << 0 << QList<qint64>{0, 70, 100, 150}
                                     << QStringList() << qint64(0);
        QTest::newRow("480 ms stall") << QList<qint64>{480, 5, 5, 5} << 0 << QList<qint64>{0, 480, 500, 550}
                                      << QStringList{stall} << qint64(8);
        // The tick at once overruns too: no second one, its slot goes.
        QTest::newRow("two slow frames") << QList<qint64>{70, 70, 5, 5} << 0 << QList<qint64>{0, 70, 150, 200}
                                         << QStringList{slowAtOnce} << qint64(1);
        QTest::newRow("stall, then a slow tick") << QList<qint64>{480, 60, 5, 5} << 0
                                                 << QList<qint64>{0, 480, 550, 600}
                                                 << QStringList{stall, slowAtOnce} << qint64(9);
        QTest::newRow("asked at once") << quick << 1 << QList<qint64>{0, 5, 100, 150} << QStringList() << qint64(0);
        QTest::newRow("asked at once after a slow frame") << QList<qint64>{70, 70, 5, 5} << 1
                                                          << QList<qint64>{0, 70, 150, 200}
                                                          << QStringList{slowAtOnce} << qint64(1);
    }

    void aLateFrameIsFollowedByOneTickAtOnce()
    {
        QFETCH(QList<qint64>, frameMs);
        QFETCH(int, asksAtOnce);
        QFETCH(QList<qint64>, startMs);
        QFETCH(QStringList, log);
        LogCapture capture;
        qint64 now = 0;
        QList<qint64> starts;
        QList<qint64> delays;
        FramePump *self = nullptr;
        FramePump pump([&] {
            starts << now / 1'000'000;
            if (starts.size() == asksAtOnce)
                self->runNextAtOnce();
            now += frameMs.at(starts.size() - 1) * 1'000'000;
        }, {});
        self = &pump;
        pump.setClock([&] { return now; });
        pump.start();
        while (starts.size() < frameMs.size()) {
            delays << pump.lastDelayNs();
            now = pump.armedForNs();
            pump.tick();
        }
        QCOMPARE(starts, startMs);
        QCOMPARE(capture.lines(), log);
        QTEST(pump.framesSkipped(), "skipped");
        for (qsizetype i = 1; i < delays.size(); ++i)
            QVERIFY2(delays.at(i - 1) > 0 || delays.at(i) > 0, "two ticks at once in a row");
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
        FramePump pump([&] { ++frames, now += 10'000'000; }, {});
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
