// The display on the bridge, frame by frame, against an MPRIS player of the
// tests' own: what a player's habits do to the picture, not to the answers.
#include "FakeMprisPlayer.h"
#include "support/Fakes.h"

#include "core/CoverlumeView.h"
#include "core/FrameCycle.h"
#include "core/RegisteredDefaults.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/mpris/MprisBridge.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

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

// A view with its real engine on a bridge, a scripted clock and a
// recording stage; each frame first handles what the bus delivered.
struct BridgedView
{
    QTemporaryDir dir;
    DefaultsStore defaults{dir.path()};
    NotificationCenter local, distributed;
    FrameClock clock{QDateTime(QDate(2026, 12, 6), QTime(20, 0), Qt::UTC)};
    FakeHost host;
    MprisBridge bridge{defaults, &distributed};
    RecordingStage *stage = nullptr;
    std::unique_ptr<CoverlumeView> view;

    BridgedView()
    {
        registerAppDefaults(defaults);
        auto recording = std::make_unique<RecordingStage>();
        stage = recording.get();
        view = std::make_unique<CoverlumeView>(QSizeF(1280, 800),
                                               ViewServices{defaults, bridge, local, distributed, clock, host},
                                               ViewParts{nullptr, std::move(recording), std::make_unique<RecordingPower>()});
        view->startAnimation();
        view->setArtworkImage(QImage());
    }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i) {
            QCoreApplication::processEvents();
            clock.beginFrame();
            view->animateOneFrame();
        }
    }
    QStringList layouts() const { return stage->calls.filter(QStringLiteral("layout(")); }
    QJsonObject state() const { return view->state(); }
};

} // namespace

class TestMprisDisplay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        const int cycle = d.state().value(QStringLiteral("cycle")).toInt();
        int laidOutAt = -1;
        for (int frame = 0; frame < cycle; ++frame) {
            d.frames(1);
            if (laidOutAt < 0 && !d.layouts().isEmpty())
                laidOutAt = frame;
        }
        QCOMPARE(d.layouts().size(), 1);
        QVERIFY2(d.layouts().constFirst().endsWith(QLatin1String(" Second")), qPrintable(d.layouts().constFirst()));
        QCOMPARE(d.state().value(QStringLiteral("noPlayer")).toBool(), false);
        QCOMPARE(d.state().value(QStringLiteral("framesCount")).toInt(), cycle - laidOutAt);
    }

    void aStopLongerThanTheHoldIsShown()
    {
        QVariantMap first = status("Playing");
        first.insert(QStringLiteral("Metadata"), track(QStringLiteral("First")));
        FakeMprisPlayer player(QStringLiteral("stopper"), QStringLiteral("Stopper"), first);
        BridgedView d;
        d.frames(40);
        player.setProperties(status("Stopped"));
        QVERIFY(player.drained(&d.bridge));
        d.frames(3 * FrameCycle::slowPeriod);
        QCOMPARE(d.state().value(QStringLiteral("currentPlayer")).toInt(), 0);
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
};

QTEST_GUILESS_MAIN(TestMprisDisplay)
#include "tst_mprisdisplay.moc"
