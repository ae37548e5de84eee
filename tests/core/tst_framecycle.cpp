// The display cycle as the frame step runs it, on a recording stage and engine.
#include "core/FrameCycle.h"
#include "support/ViewHarness.h"

#include <QtTest>

namespace {

// A view of `theme`: the first frame ends the cycle setArtworkImage began, so
// the counter stands at n after n + 1 frames.
struct Cycle : ViewHarness
{
    explicit Cycle(int theme, QVariantMap more = {})
        : ViewHarness(withTheme(theme, std::move(more)))
    {
        makeView();
    }
    void toCounter(int f) { frames(f + 1); }
    FrameCycle &cycle() { return view->cycle(); }
    // The stage's calls in the next n frames.
    QStringList stageCallsOver(int n)
    {
        stage->calls.clear();
        frames(n);
        return stage->calls;
    }
};

} // namespace

class TestFrameCycle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fadeValuesOverACycle()
    {
        const QList<QPair<int, float>> rows = {{1, 0.04f}, {10, 0.4f}, {25, 1.0f}, {300, 1.0f},
                                               {575, 1.0f}, {590, 0.4f}, {600, 0.0f}};
        for (const auto &[counter, alpha] : rows) {
            Cycle h(0);
            h.toCounter(counter);
            QCOMPARE(h.cycle().framesCount, counter);
            QCOMPARE(h.cycle().alpha, alpha);
        }
    }

    void newViewEndsACycleFirstThenLaysOutWhatTheRefreshShows()
    {
        Cycle h(0);
        QCOMPARE(h.cycle().framesCount, 601); // setArtworkImage: CYCLE + 1
        QVERIFY(h.cycle().firstRun);
        h.frames(1);
        QVERIFY(!h.cycle().firstRun);
        QCOMPARE(h.cycle().framesCount, 0);
        QVERIFY(!h.stage->calls.contains("layout(0)"));
        QCOMPARE(h.power->calls, (QStringList{"tareSystemIdle", "checkSystemIdle", "allowSleep"}));
        h.nowPlaying->showing.track = AttributedString(QStringLiteral("Alpha"));
        h.frames(1);
        QCOMPARE(h.stage->calls.count("layout(0) Alpha"), 1); // the layout reads the source first
        QCOMPARE(h.nowPlaying->count("refresh(0)"), 1);
        QCOMPARE(h.cycle().alpha, 0.04f);
        // The frame after the cycle resets; the next lays out again.
        h.frames(599);
        QCOMPARE(h.stageCallsOver(1), (QStringList{"label=0", "reflection=0", "cover=0", "progress=0"}));
        QCOMPARE(h.cycle().framesCount, 0);
        QCOMPARE(h.stageCallsOver(1).last(), QStringLiteral("progress=0.04"));
        QCOMPARE(h.stage->calls.count("layout(0) Alpha"), 1);
        // Blur lays out as Apple TV.
        h.defaults->set(QStringLiteral("theme"), 7);
        h.frames(601);
        QCOMPARE(h.nowPlaying->count("refresh(5)"), 1);
        QCOMPARE(h.stage->calls.count("layout(5) Alpha"), 1);
    }

    void trackChangesFadeOutSmoothly()
    {
        // While fading in, the fade-out starts where the fade-in stood.
        Cycle h(0);
        h.nowPlaying->current = 2;
        h.nowPlaying->trackChanges = {true};
        h.toCounter(16);
        QCOMPARE(h.cycle().framesCount, 600 - 16);
        QCOMPARE(h.cycle().alpha, 0.64f);
        QCOMPARE(h.stage->calls.last(), QStringLiteral("progress=0.64"));
        h.frames(1);
        QCOMPARE(h.cycle().alpha, 0.6f);
        // During the hold, the whole fade-out runs, then a new layout.
        Cycle hold(0);
        hold.nowPlaying->current = 2;
        hold.nowPlaying->trackChanges = {false, true};
        hold.toCounter(32);
        QCOMPARE(hold.cycle().framesCount, 574);
        hold.frames(26);
        QCOMPARE(hold.cycle().framesCount, 600);
        QCOMPARE(hold.cycle().alpha, 0.0f);
        QCOMPARE(hold.stageCallsOver(2).count("layout(0) "), 1);
        // No check without a player, nor in the fade-out: multiples of 16
        // below 575 between counter 101 and 600, 112 … 560.
        Cycle none(0);
        none.toCounter(100);
        QCOMPARE(none.nowPlaying->count("trackHasChanged"), 0);
        none.nowPlaying->current = 2;
        none.toCounter(500);
        QCOMPARE(none.nowPlaying->count("trackHasChanged"), (560 - 112) / 16 + 1);
    }

    void triggerAndPlayerChange()
    {
        Cycle h(0);
        h.toCounter(100);
        h.nowPlaying->calls.clear();
        h.cycle().triggerCycle = true;
        h.frames(1);
        QCOMPARE(h.cycle().framesCount, 575);
        QVERIFY(!h.cycle().triggerCycle);
        QCOMPARE(h.nowPlaying->calls.mid(0, 2), (QStringList{"resetLastProgressValue", "pauseCheck"}));
        h.frames(589 - 575); // already fading out: a trigger does not move the counter back
        h.cycle().triggerCycle = true;
        h.frames(1);
        QCOMPARE(h.cycle().framesCount, 590);

        Cycle p(0);
        p.toCounter(32); // the check runs on the counter before the frame
        p.nowPlaying->calls.clear();
        p.nowPlaying->playerChanges = {true};
        p.nowPlaying->switchTo = 7;
        QCOMPARE(p.stageCallsOver(1), (QStringList{"label=0", "reflection=0", "cover=0", "progress=0"}));
        QCOMPARE(p.cycle().framesCount, 0); // L + 1, then reset in the same frame
        // The change check sees the new source's progress, not the old one's.
        QCOMPARE(p.nowPlaying->calls.mid(0, 3), (QStringList{"playerHasChanged(0)", "updateProgIndValues", "trackHasChanged"}));
    }

    void playerCheckPeriodFollowsResponsiveness()
    {
        // responsiveness → checks in 512 frames: every 2^(8 − r), r clamped to 0 … 8
        const QList<QPair<int, int>> rows = {{4, 32}, {8, 512}, {0, 2}, {40, 512}, {-5, 2}};
        for (const auto &[responsiveness, checks] : rows) {
            Cycle h(0, {{QStringLiteral("responsivenessWhenInIdleMode"), responsiveness},
                        {QStringLiteral("cycle"), 100000}});
            h.frames(2);
            h.nowPlaying->calls.clear();
            h.frames(512);
            QCOMPARE(h.nowPlaying->count("playerHasChanged(0)"), checks);
        }
    }

    // What every frame reads is read once, and again after any change to
    // the store, which then shows on the next frame.
    void frameSettingsFollowTheStore()
    {
        Cycle h(0);
        h.toCounter(100);
        QCOMPARE(h.view->frameStep().settingsReads(), 1);
        h.defaults->set(QStringLiteral("responsivenessWhenInIdleMode"), 8); // a check every frame
        h.nowPlaying->calls.clear();
        h.frames(16);
        QCOMPARE(h.nowPlaying->count("playerHasChanged(0)"), 16);
        h.defaults->set(QStringLiteral("keepStatic"), true);
        h.frames(574 - h.cycle().framesCount); // would reach 574
        QCOMPARE(h.cycle().framesCount, 26);  // the hold loops
        QCOMPARE(h.view->frameStep().settingsReads(), 3);
    }

    void staticThemeLoopsOverItsHold()
    {
        Cycle h(0, {{QStringLiteral("keepStatic"), true}});
        h.toCounter(573);
        h.power->calls.clear();
        QVERIFY(h.stageCallsOver(1).isEmpty()); // would be 574: wraps to 26, a hold frame
        QCOMPARE(h.cycle().framesCount, 26);
        QCOMPARE(h.power->calls, (QStringList{"checkSystemIdle", "allowSleep"}));
        QVERIFY(!h.stageCallsOver(548 * 3).join(' ').contains("label=0."));
        QCOMPARE(h.cycle().framesCount, 26);
        QCOMPARE(h.power->calls.count("checkSystemIdle"), 4);
        h.cycle().triggerCycle = true; // a trigger still fades a static theme out
        h.frames(1);
        QCOMPARE(h.cycle().framesCount, 575);
    }

    void cycleLengthAndPolling()
    {
        Cycle classic(0), cover(8);
        classic.toCounter(100);
        cover.toCounter(100);
        // Every fourth frame, and once with the layout (the bar starts with
        // the values of the track its label shows).
        QCOMPARE(classic.nowPlaying->count("updateProgIndValues"), 26);
        QCOMPARE(cover.nowPlaying->count("updateProgIndValues"), 0);    // not in Cover Only
        // Read once per view, lengthened for Lyrics.
        Cycle lyrics(6);
        QCOMPARE(lyrics.cycle().CYCLE, 996);
        lyrics.defaults->set(QStringLiteral("theme"), 0);
        QCOMPARE(lyrics.cycle().CYCLE, 996);
        classic.defaults->set(QStringLiteral("theme"), 6);
        QCOMPARE(classic.cycle().CYCLE, 600);
        const QList<QPair<QVariant, int>> bounded = {{10, 52}, {-600, 52}, {qint64(5000000000LL), 1000000},
                                                     {300.7, 300}, {200, 200}};
        for (const auto &[setting, length] : bounded)
            QCOMPARE(Cycle(0, {{QStringLiteral("cycle"), setting}}).cycle().CYCLE, length);
    }

    void fullScreenSleepAndClock()
    {
        Cycle h(0, {{QStringLiteral("showClock"), true}});
        h.nowPlaying->current = 2;
        h.host.fullScreen = true;
        h.power->calls.clear();
        h.frames(1);
        QCOMPARE(h.power->calls, (QStringList{"checkSystemIdle", "preventSleep"}));
        QCOMPARE(h.stageCallsOver(16).filter("clock(").size(), 1); // every sixteen frames
        h.host.fullScreen = false;
        QCOMPARE(h.stageCallsOver(32).filter("clock(").size(), 2); // in a window too
        h.defaults->set(QStringLiteral("showClock"), false);
        QVERIFY(h.stageCallsOver(40).filter("clock(").isEmpty());
        h.defaults->set(QStringLiteral("blockSleepInFullScreen"), false);
        h.host.fullScreen = true;
        h.toCounter(601);
        QCOMPARE(h.power->calls.last(), QStringLiteral("allowSleep"));
    }

    void themeFinishes()
    {
        // theme, counter, the stage's calls in that frame
        const QList<std::tuple<int, int, QStringList>> rows = {
            {0, 3, {"reZonkCoverView", "reZonkReflectionView", "label=0.12", "reflection=0.12", "cover=0.12", "progress=0.12"}},
            {0, 300, {}}, // the Classic hold touches no view
            {5, 5, {"label=0.2", "cover=0.2", "progress=0.2"}},
            {7, 5, {"label=0.2", "cover=0.2", "progress=0.2", "reflection=0.2"}}, // the background last
            {1, 5, {"showLabel", "label=0.2", "progress=0.2"}},                   // Text: label from frame 2
            {3, 3, {"cover=0.12", "reZonkCoverView", "showCover", "label=0.12"}}, // Full Screen at 3
            {9, 300, {"coverOrigin(300,-50)", "label=1"}},                        // Ken Burns drifts from 4 on
            {2, 300, {"ageTiles", "mosaic=1", "progress=1", "label=1", "cover=1"}},
            {6, 300, {"ageTiles", "lyrics=1", "progress=1", "label=1", "cover=1"}}};
        for (const auto &[theme, counter, calls] : rows) {
            Cycle h(theme);
            h.toCounter(counter - 1);
            QCOMPARE(h.stageCallsOver(1), calls);
        }
        Cycle hidden(2);
        hidden.stage->mosaicHidden = true;
        QCOMPARE(hidden.stageCallsOver(50).count("ageTiles"), 0);
        // A theme that selects no step does nothing at all.
        Cycle none(42);
        none.nowPlaying->calls.clear();
        QVERIFY(none.stageCallsOver(100).isEmpty() && none.nowPlaying->calls.isEmpty());
        QCOMPARE(none.cycle().framesCount, 601);
    }

    void broadcasterReportAndNotifications()
    {
        Cycle h(0);
        h.toCounter(100);
        const QString info = QStringLiteral("com.quillmoor.Coverlume.BroadcasterPlayerInfo");
        h.local.post(info);
        QCOMPARE(h.cycle().framesCount, 100); // no track named: nothing changes
        h.nowPlaying->broadcasterNamesTrack = true;
        h.local.post(info);
        QCOMPARE(h.cycle().framesCount, 574);
        QCOMPARE(h.view->nowPlaying().currentPlayer(), PlayerId::Broadcaster);
        // A destroyed view leaves both centres.
        h.distributed.addObserver(h.view.get(), QStringLiteral("com.apple.iTunes.playerInfo"), [](const Notification &) {});
        h.view.reset();
        QCOMPARE(h.local.observerCount() + h.distributed.observerCount(), 0);
        h.local.post(info); // reaches no one
    }

    void geometryHelpers()
    {
        QCOMPARE(FrameCycle::interpolateValueFrom(10, 20, 300, 600), 15.0f);
        QCOMPARE(FrameCycle::interpolateValueFrom(10, 20, 900, 600), 25.0f); // extrapolates
        const QSizeF bounds(1800, 1200);
        const QRectF noon = FrameCycle::positionOfClock(bounds, QTime(12, 0));
        QCOMPARE(noon, QRectF(750, 1100, 300, 100)); // top centre (y up)
        const QRectF three = FrameCycle::positionOfClock(bounds, QTime(15, 0));
        QVERIFY(three.x() == 1500.0 && qAbs(three.y() - 550) < 1e-9);
        QVERIFY(FrameCycle::thisRectClashesWith(QRectF(0, 0, 10, 10), QRectF(5, 5, 10, 10)));
        QVERIFY(!FrameCycle::thisRectClashesWith(QRectF(0, 0, 10, 10), QRectF(10, 0, 10, 10)));
        QVERIFY(!FrameCycle::thisRectClashesWith(QRectF(5, 0, 0, 10), QRectF(0, 0, 10, 10)));
    }
};

QTEST_GUILESS_MAIN(TestFrameCycle)
#include "tst_framecycle.moc"
