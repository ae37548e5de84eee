// The display cycle as the frame step runs it: fade values, layout frames,
// the jumps of triggers, track and player changes, the static loop, the
// end-of-cycle work and each theme's finish.
#include "core/FrameCycle.h"
#include "support/ViewHarness.h"

#include <QtTest>

namespace {
// After the first frame (which ends the cycle begun by setArtworkImage) and
// the layout frame, the counter stands at frame n after n + 1 frames.
void runToCounter(ViewHarness &h, int f)
{
    h.frames(f + 1);
}
} // namespace

class TestFrameCycle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fadeValuesOverACycle_data()
    {
        QTest::addColumn<int>("counter");
        QTest::addColumn<float>("alpha");
        QTest::newRow("layout frame") << 1 << 0.04f;
        QTest::newRow("fade-in") << 10 << 0.4f;
        QTest::newRow("fully in") << 25 << 1.0f;
        QTest::newRow("hold") << 300 << 1.0f;
        QTest::newRow("fade-out starts") << 575 << 1.0f;
        QTest::newRow("fade-out") << 590 << 0.4f;
        QTest::newRow("faded") << 600 << 0.0f;
    }
    void fadeValuesOverACycle()
    {
        QFETCH(int, counter);
        QFETCH(float, alpha);
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        runToCounter(h, counter);
        QCOMPARE(h.view->cycle().framesCount, counter);
        QCOMPARE(h.view->cycle().alpha, alpha);
    }

    void frameAfterTheCycleResetsAndLaysOutAgain()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        runToCounter(h, 600);
        h.stage->calls.clear();
        h.frames(1);
        QCOMPARE(h.view->cycle().framesCount, 0);
        QCOMPARE(h.stage->calls, (QStringList{"label=0", "reflection=0", "cover=0", "progress=0"}));
        h.frames(1);
        QCOMPARE(h.view->cycle().framesCount, 1);
        QVERIFY(h.stage->calls.contains("layout(0)"));
        QCOMPARE(h.stage->calls.last(), QStringLiteral("progress=0.04"));
    }

    void newViewEndsACycleFirstThenLaysOut()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        CoverlumeView &view = h.makeView();
        QCOMPARE(view.cycle().framesCount, 601); // setArtworkImage: CYCLE + 1
        QVERIFY(view.cycle().firstRun);
        h.frames(1);
        QVERIFY(!view.cycle().firstRun);
        QCOMPARE(view.cycle().framesCount, 0);
        QVERIFY(!h.stage->calls.contains("layout(0)"));
        QCOMPARE(h.power->calls, (QStringList{"tareSystemIdle", "checkSystemIdle", "allowSleep"}));
        h.frames(1);
        QCOMPARE(h.stage->calls.count("layout(0)"), 1);
        QCOMPARE(h.nowPlaying->count("refresh(0)"), 1); // the layout reads the source first
        QCOMPARE(view.cycle().alpha, 0.04f);

        // Blur lays out as Apple TV.
        h.defaults->set(QStringLiteral("theme"), 7);
        h.frames(601); // to the end of this cycle and the next layout
        QCOMPARE(h.nowPlaying->count("refresh(5)"), 1);
        QCOMPARE(h.stage->calls.count("layout(5)"), 1);
    }

    void trackChangeWhileFadingInTurnsBackSmoothly()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        h.nowPlaying->current = 2;
        h.nowPlaying->trackChanges = {true};
        runToCounter(h, 16);
        QCOMPARE(h.view->cycle().framesCount, 600 - 16);
        QCOMPARE(h.view->cycle().alpha, 0.64f);
        QCOMPARE(h.stage->calls.last(), QStringLiteral("progress=0.64"));
        h.frames(1);
        QCOMPARE(h.view->cycle().alpha, 0.6f);
    }

    void trackChangeDuringTheHoldFadesOutAndLaysOutAnew()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        h.nowPlaying->current = 2;
        h.nowPlaying->trackChanges = {false, true};
        runToCounter(h, 32);
        QCOMPARE(h.view->cycle().framesCount, 574);
        h.frames(1);
        QCOMPARE(h.view->cycle().alpha, 1.0f);
        h.frames(25);
        QCOMPARE(h.view->cycle().framesCount, 600);
        QCOMPARE(h.view->cycle().alpha, 0.0f);
        h.stage->calls.clear();
        h.frames(2);
        QCOMPARE(h.stage->calls.count("layout(0)"), 1);
    }

    void noTrackCheckWithoutAPlayerOrInTheFadeOut()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        runToCounter(h, 100);
        QCOMPARE(h.nowPlaying->count("trackHasChanged"), 0); // no player
        h.nowPlaying->current = 2;
        runToCounter(h, 500); // now at 601: a reset went by
        const int checks = h.nowPlaying->count("trackHasChanged");
        // Multiples of 16 below 575 between counter 101 and 600: 112 … 560.
        QCOMPARE(checks, (560 - 112) / 16 + 1);
    }

    void triggerStartsTheFadeOut()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        runToCounter(h, 100);
        h.nowPlaying->calls.clear();
        h.view->cycle().triggerCycle = true;
        h.frames(1);
        QCOMPARE(h.view->cycle().framesCount, 575);
        QVERIFY(!h.view->cycle().triggerCycle);
        QCOMPARE(h.nowPlaying->calls.mid(0, 2), (QStringList{"resetLastProgressValue", "pauseCheck"}));
        // Already fading out: a trigger does not move the counter back.
        h.frames(589 - 575);
        h.view->cycle().triggerCycle = true;
        h.frames(1);
        QCOMPARE(h.view->cycle().framesCount, 590);
    }

    void playerChangeEndsTheCycleAtOnce()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        runToCounter(h, 32); // the check runs on the counter before the frame
        h.nowPlaying->calls.clear();
        h.stage->calls.clear();
        h.nowPlaying->playerChanges = {true};
        h.nowPlaying->switchTo = 7;
        h.frames(1);
        QCOMPARE(h.view->cycle().framesCount, 0); // L + 1, then reset in the same frame
        QCOMPARE(h.view->cycle().alpha, 0.0f);
        // The change check sees the new source's progress, not the old one's.
        QCOMPARE(h.nowPlaying->calls.mid(0, 3),
                 (QStringList{"playerHasChanged(0)", "updateProgIndValues", "trackHasChanged"}));
        QCOMPARE(h.stage->calls, (QStringList{"label=0", "reflection=0", "cover=0", "progress=0"}));
    }

    void playerCheckPeriodFollowsResponsiveness_data()
    {
        QTest::addColumn<int>("responsiveness");
        QTest::addColumn<int>("checksIn512Frames");
        QTest::newRow("default 4: every 16") << 4 << 32;
        QTest::newRow("8: every frame") << 8 << 512;
        QTest::newRow("0: every 256") << 0 << 2;
        QTest::newRow("above 8 clamps") << 40 << 512;
        QTest::newRow("negative clamps") << -5 << 2;
    }
    void playerCheckPeriodFollowsResponsiveness()
    {
        QFETCH(int, responsiveness);
        QFETCH(int, checksIn512Frames);
        ViewHarness h({{QStringLiteral("theme"), 0},
                       {QStringLiteral("responsivenessWhenInIdleMode"), responsiveness},
                       {QStringLiteral("cycle"), 100000}});
        h.makeView();
        h.frames(2); // counter 1
        h.nowPlaying->calls.clear();
        h.frames(512); // counters before each frame: 1 … 512
        QCOMPARE(h.nowPlaying->count("playerHasChanged(0)"), checksIn512Frames);
    }

    void staticThemeLoopsOverItsHold()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}, {QStringLiteral("keepStatic"), true}});
        h.makeView();
        runToCounter(h, 573);
        h.power->calls.clear();
        h.stage->calls.clear();
        h.frames(1); // would be 574: wraps to 26
        QCOMPARE(h.view->cycle().framesCount, 26);
        QCOMPARE(h.power->calls, (QStringList{"checkSystemIdle", "allowSleep"}));
        QVERIFY(h.stage->calls.isEmpty()); // 26 is a hold frame: nothing to fade
        h.frames(548 * 3);
        QCOMPARE(h.view->cycle().framesCount, 26);
        QCOMPARE(h.power->calls.count("checkSystemIdle"), 4);
        QVERIFY(!h.stage->calls.join(' ').contains("label=0."));
        // A trigger still fades a static theme out.
        h.view->cycle().triggerCycle = true;
        h.frames(1);
        QCOMPARE(h.view->cycle().framesCount, 575);
    }

    void progressIsPolledEveryFourthFrameExceptInCoverOnly()
    {
        ViewHarness classic({{QStringLiteral("theme"), 0}});
        classic.makeView();
        runToCounter(classic, 100);
        QCOMPARE(classic.nowPlaying->count("updateProgIndValues"), 25);

        ViewHarness cover({{QStringLiteral("theme"), 8}});
        cover.makeView();
        runToCounter(cover, 100);
        QCOMPARE(cover.nowPlaying->count("updateProgIndValues"), 0);
    }

    void cycleLengthIsReadOncePerView()
    {
        ViewHarness h({{QStringLiteral("theme"), 6}});
        h.makeView();
        QCOMPARE(h.view->cycle().CYCLE, 996);
        h.defaults->set(QStringLiteral("theme"), 0);
        QCOMPARE(h.view->cycle().CYCLE, 996);

        ViewHarness later({{QStringLiteral("theme"), 0}});
        later.makeView();
        later.defaults->set(QStringLiteral("theme"), 6);
        QCOMPARE(later.view->cycle().CYCLE, 600);
    }

    void cycleSettingIsBounded_data()
    {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<int>("cycle");
        QTest::newRow("short") << QVariant(10) << 52;
        QTest::newRow("negative") << QVariant(-600) << 52;
        QTest::newRow("huge") << QVariant(qint64(5000000000LL)) << 1000000;
        QTest::newRow("as float") << QVariant(300.7) << 300;
        QTest::newRow("in range") << QVariant(200) << 200;
    }
    void cycleSettingIsBounded()
    {
        QFETCH(QVariant, setting);
        QFETCH(int, cycle);
        ViewHarness h({{QStringLiteral("theme"), 0}, {QStringLiteral("cycle"), setting}});
        h.makeView();
        QCOMPARE(h.view->cycle().CYCLE, cycle);
    }

    void themeThatSelectsNoStepDoesNothing()
    {
        ViewHarness h({{QStringLiteral("theme"), 42}});
        h.makeView();
        h.stage->calls.clear();
        h.nowPlaying->calls.clear();
        h.frames(100);
        QVERIFY(h.stage->calls.isEmpty());
        QVERIFY(h.nowPlaying->calls.isEmpty());
        QCOMPARE(h.view->cycle().framesCount, 601);
    }

    void sleepIsPreventedOnlyWhilePlayingInFullScreen()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        h.nowPlaying->current = 2;
        h.host.fullScreen = true;
        h.power->calls.clear();
        h.frames(1);
        QCOMPARE(h.power->calls, (QStringList{"checkSystemIdle", "preventSleep"}));
        h.defaults->set(QStringLiteral("blockSleepInFullScreen"), false);
        runToCounter(h, 601);
        QCOMPARE(h.power->calls.last(), QStringLiteral("allowSleep"));
    }

    void clockIsPlacedInFullScreenEverySixteenFrames()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}, {QStringLiteral("showClock"), true}});
        h.makeView();
        runToCounter(h, 40);
        QVERIFY(!h.stage->calls.join(' ').contains("clock("));
        h.host.fullScreen = true;
        h.stage->calls.clear();
        h.frames(16);
        QCOMPARE(h.stage->calls.filter("clock(").size(), 1);
    }

    void classicHoldTouchesNoView()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        runToCounter(h, 2);
        h.stage->calls.clear();
        h.frames(1); // counter 3: the layers are rebuilt, then faded
        QCOMPARE(h.stage->calls, (QStringList{"reZonkCoverView", "reZonkReflectionView", "label=0.12",
                                              "reflection=0.12", "cover=0.12", "progress=0.12"}));
        h.frames(25 - 3);
        h.stage->calls.clear();
        h.frames(574 - 25);
        QVERIFY(h.stage->calls.isEmpty());
    }

    void themeFinishes_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<int>("counter");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("Apple TV") << 5 << 5 << QStringList{"label=0.2", "cover=0.2", "progress=0.2"};
        QTest::newRow("Blur fades its background last")
            << 7 << 5 << QStringList{"label=0.2", "cover=0.2", "progress=0.2", "reflection=0.2"};
        QTest::newRow("Text shows its label from frame 2")
            << 1 << 5 << QStringList{"showLabel", "label=0.2", "progress=0.2"};
        QTest::newRow("Full Screen rebuilds and unhides at 3")
            << 3 << 3 << QStringList{"cover=0.12", "reZonkCoverView", "showCover", "label=0.12"};
        QTest::newRow("Ken Burns drifts from frame 4 on")
            << 9 << 300 << QStringList{"coverOrigin(300,-50)", "label=1"};
        QTest::newRow("Mosaic ages its tiles every frame")
            << 2 << 300 << QStringList{"ageTiles", "mosaic=1", "progress=1", "label=1", "cover=1"};
        QTest::newRow("Lyrics draws its lyric view")
            << 6 << 300 << QStringList{"ageTiles", "lyrics=1", "progress=1", "label=1", "cover=1"};
    }
    void themeFinishes()
    {
        QFETCH(int, theme);
        QFETCH(int, counter);
        QFETCH(QStringList, calls);
        ViewHarness h({{QStringLiteral("theme"), theme}});
        h.makeView();
        runToCounter(h, counter - 1);
        h.stage->calls.clear();
        h.frames(1);
        QCOMPARE(h.stage->calls, calls);
    }

    void hiddenMosaicKeepsItsTiles()
    {
        ViewHarness h({{QStringLiteral("theme"), 2}});
        h.makeView();
        h.stage->mosaicHidden = true;
        runToCounter(h, 50);
        QCOMPARE(h.stage->calls.count("ageTiles"), 0);
    }

    void broadcasterReportFadesOut()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        runToCounter(h, 100);
        h.local.post(QStringLiteral("com.quillmoor.Coverlume.BroadcasterPlayerInfo"));
        QCOMPARE(h.view->cycle().framesCount, 100); // no track named: nothing changes
        h.nowPlaying->broadcasterNamesTrack = true;
        h.local.post(QStringLiteral("com.quillmoor.Coverlume.BroadcasterPlayerInfo"));
        QCOMPARE(h.view->cycle().framesCount, 574);
        QCOMPARE(h.view->nowPlaying().currentPlayer(), PlayerId::Broadcaster);
    }

    void destroyedViewLeavesBothCentres()
    {
        ViewHarness h({{QStringLiteral("theme"), 0}});
        h.makeView();
        QVERIFY(h.local.observerCount() > 0);
        h.distributed.addObserver(h.view.get(), QStringLiteral("com.apple.iTunes.playerInfo"),
                                  [](const Notification &) {});
        h.view.reset();
        QCOMPARE(h.local.observerCount(), 0);
        QCOMPARE(h.distributed.observerCount(), 0);
        h.local.post(QStringLiteral("com.quillmoor.Coverlume.BroadcasterPlayerInfo")); // reaches no one
    }

    void geometryHelpers()
    {
        QCOMPARE(FrameCycle::interpolateValueFrom(10, 20, 300, 600), 15.0f);
        QCOMPARE(FrameCycle::interpolateValueFrom(10, 20, 900, 600), 25.0f); // extrapolates

        const QSizeF bounds(1800, 1200);
        const QRectF noon = FrameCycle::positionOfClock(bounds, QTime(12, 0));
        QCOMPARE(noon.size(), QSizeF(300, 100));
        QCOMPARE(noon.topLeft(), QPointF(750, 1100)); // top centre (y up)
        const QRectF three = FrameCycle::positionOfClock(bounds, QTime(15, 0));
        QCOMPARE(three.x(), 1500.0);
        QVERIFY(qAbs(three.y() - 550) < 1e-9);
        const QRectF halfPastThree = FrameCycle::positionOfClock(bounds, QTime(15, 30));
        QVERIFY(halfPastThree.x() > 1400 && halfPastThree.y() < 550); // 105°: right, a little low

        QVERIFY(FrameCycle::thisRectClashesWith(QRectF(0, 0, 10, 10), QRectF(5, 5, 10, 10)));
        QVERIFY(!FrameCycle::thisRectClashesWith(QRectF(0, 0, 10, 10), QRectF(10, 0, 10, 10)));
        QVERIFY(!FrameCycle::thisRectClashesWith(QRectF(5, 0, 0, 10), QRectF(0, 0, 10, 10)));
    }
};

QTEST_GUILESS_MAIN(TestFrameCycle)
#include "tst_framecycle.moc"
