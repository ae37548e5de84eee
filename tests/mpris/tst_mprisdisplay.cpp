// The display on the bridge, frame by frame, against an MPRIS player of the
// tests' own: what a player's habits do to the picture, not to the answers.
#include "BridgedView.h"
#include "FakeMprisPlayer.h"

#include "core/FrameCycle.h"

#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QtTest>
#include <algorithm>

namespace {

QVariantMap track(const QString &title, qint64 lengthUs = 200'000'000)
{
    return {{QStringLiteral("xesam:title"), title},
            {QStringLiteral("xesam:artist"), QStringList{QStringLiteral("Band")}},
            {QStringLiteral("mpris:length"), QVariant::fromValue<qlonglong>(lengthUs)}};
}

QVariantMap status(const char *word)
{
    return {{QStringLiteral("PlaybackStatus"), QString::fromLatin1(word)}};
}

} // namespace

class TestMprisDisplay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { MprisPlayer::freezeTimeForTesting(false); } // after a failure too

    void aStopBetweenTwoTracksLaysOutOnce_data()
    {
        QTest::addColumn<QString>("through");
        QTest::newRow("stopped") << "Stopped";
        QTest::newRow("paused") << "Paused";
    }
    void aStopBetweenTwoTracksLaysOutOnce()
    {
        QFETCH(QString, through);
        QVariantMap first = status("Playing");
        first.insert(QStringLiteral("Metadata"), track(QStringLiteral("First")));
        FakeMprisPlayer player(QStringLiteral("flipper"), QStringLiteral("Flipper"), first);
        BridgedView d;
        d.frames(40);
        QCOMPARE(d.state().value(QStringLiteral("track")).toString(), QStringLiteral("First"));

        // Next, as some players do it: a moment of stop, then the new track
        // playing. The clock stands still meanwhile, so the flip lies within
        // the settling window however long the frames between take.
        d.stage->calls.clear();
        MprisPlayer::freezeTimeForTesting(true);
        player.setProperties({{QStringLiteral("PlaybackStatus"), through}});
        QVERIFY(busBarrier(player.busName()));
        d.frames(2 * FrameCycle::slowPeriod); // the display asks for the status meanwhile
        player.setProperties({{QStringLiteral("Metadata"), track(QStringLiteral("Second"))},
                              {QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")}});
        QVERIFY(busBarrier(player.busName()));
        MprisPlayer::skipTimeForTesting(MprisPlayer::flipHoldMs);
        MprisPlayer::freezeTimeForTesting(false);
        QVERIFY(allSettled(&d.bridge));

        // One change of picture: the new track is laid out once, and the
        // cycle it started runs on to its end.
        d.runCycle();
        QCOMPARE(d.layouts().size(), 1);
        QVERIFY2(d.layouts().constFirst().endsWith(QLatin1String(" Second")), qPrintable(d.layouts().constFirst()));
        QCOMPARE(d.state().value(QStringLiteral("noPlayer")).toBool(), false);
        QCOMPARE(d.state().value(QStringLiteral("framesCount")).toInt(), d.framesSinceLayout());
    }

    void aLengthCorrectedSilentlyReachesTheBar()
    {
        QVariantMap first = status("Playing");
        first.insert(QStringLiteral("Metadata"), track(QStringLiteral("Guessed"), 57'200'000));
        FakeMprisPlayer player(QStringLiteral("guesser"), QStringLiteral("Guesser"), first);
        BridgedView d;
        d.frames(40);
        const auto maximum = [&d] {
            return d.state().value(QStringLiteral("progress")).toObject().value(QStringLiteral("maximum")).toInt();
        };
        QCOMPARE(maximum(), 57);
        player.setQuietly(QStringLiteral("Metadata"), track(QStringLiteral("Guessed"), 50'000'000));
        MprisPlayer::skipTimeForTesting(MprisPlayer::metadataPollMs);
        d.bridge.findChild<MprisPlayer *>()->poll(); // the bridge's once-a-second poll
        QVERIFY(player.drained(&d.bridge));
        d.stage->calls.clear();
        d.frames(2 * FrameCycle::slowPeriod);
        QCOMPARE(maximum(), 50);
        QVERIFY2(d.layouts().isEmpty(), "a new length is not a new track");
    }

    void aJumpBackIsANewTrackUnlessThePlayerSeeked_data()
    {
        QTest::addColumn<bool>("seeked");
        QTest::newRow("seeked back in the track") << true;
        QTest::newRow("the next track, then a seek") << false;
    }
    void aJumpBackIsANewTrackUnlessThePlayerSeeked()
    {
        QFETCH(bool, seeked);
        QVariantMap first = status("Playing");
        first.insert(QStringLiteral("Metadata"), track(QStringLiteral("First")));
        first.insert(QStringLiteral("Position"), QVariant::fromValue<qlonglong>(60'000'000));
        FakeMprisPlayer player(QStringLiteral("seeker"), QStringLiteral("seeker"), first);
        MprisPlayer::freezeTimeForTesting(true);
        BridgedView d;
        d.frames(40);
        QVERIFY(player.drained(&d.bridge));
        d.frames(2 * FrameCycle::slowPeriod); // the change check sees 60 s
        d.stage->calls.clear();
        if (!seeked) {
            QVariantMap next = track(QStringLiteral("Second"));
            next.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(QStringLiteral("/t/2"))));
            player.setProperties({{QStringLiteral("Metadata"), next}});
        }
        player.seeked(10'000'000);
        QVERIFY(busBarrier(player.busName()));
        MprisPlayer::skipTimeForTesting(MprisPlayer::flipHoldMs);
        QVERIFY(allSettled(&d.bridge));
        d.frames(2 * FrameCycle::slowPeriod + 2 * FrameCycle::fadeFrames);
        QCOMPARE(d.layouts().isEmpty(), seeked);
    }

    // A hundred names that answer nothing hold neither the bridge nor the
    // first picture: every name is asked at once, within one budget, and
    // the answers that come later still join.
    void silentNamesHoldNoStartUp()
    {
        HeldNames held(100);
        QVariantMap first = status("Playing");
        first.insert(QStringLiteral("Metadata"), track(QStringLiteral("First")));
        FakeMprisPlayer player(QStringLiteral("mpv"), QStringLiteral("mpv"), first);
        QVERIFY(busBarrier(player.busName()));
        QElapsedTimer startUp;
        startUp.start();
        BridgedView d;
        d.frames(2);
        qInfo("first picture with 100 silent names after %lld ms", static_cast<long long>(startUp.elapsed()));
        QCOMPARE(d.layouts().size(), 1);
        QCOMPARE(d.state().value(QStringLiteral("track")).toString(), QStringLiteral("First"));
        QCOMPARE(held.held(), 200); // both readings of every name, asked before the first picture

        QCOMPARE(d.bridge.players().size(), 101); // nothing known of them yet
        held.release();
        // Their answers join: one process, one Identity, so one player.
        const auto joined = [&d] {
            const QList<MprisBridge::PlayerInfo> players = d.bridge.players();
            return std::any_of(players.cbegin(), players.cend(), [](const MprisBridge::PlayerInfo &info) {
                return info.identity == u"Held" && info.otherNames.size() == 99;
            });
        };
        QTRY_VERIFY(joined());
    }

    void aRealPlayerIsNamedByItsIdentityAndTellsNoMarks()
    {
        QVariantMap first = status("Playing");
        first.insert(QStringLiteral("Metadata"), track(QStringLiteral("First")));
        FakeMprisPlayer player(QStringLiteral("mpv"), QStringLiteral("mpv"), first);
        BridgedView d;
        d.frames(40);
        QCOMPARE(d.state().value(QStringLiteral("track")).toString(), QStringLiteral("First"));
        QVERIFY(d.state().value(QStringLiteral("loved")).isNull()); // not told, so not "no"
        player.setProperties(status("Paused"));
        QVERIFY(player.drained(&d.bridge));
        MprisPlayer::skipTimeForTesting(MprisPlayer::flipHoldMs);
        QVERIFY(allSettled(&d.bridge));
        d.frames(d.state().value(QStringLiteral("cycle")).toInt() + 40);
        QCOMPARE(d.state().value(QStringLiteral("track")).toString(), QStringLiteral("mpv Paused"));
    }
};

QTEST_GUILESS_MAIN(TestMprisDisplay)
#include "tst_mprisdisplay.moc"
