#include "core/CoverlumeView.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "platform/ScriptService.h"
#include "session/DisplaySession.h"
#include "support/NetworkStandIn.h"
#include "support/TestFiles.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace TestFiles;

class TestDisplaySession : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    std::unique_ptr<DisplaySession> makeSession(SessionOptions options = {})
    {
        options.configDir = m_dir.path();
        options.distributedInProcess = true;
        options.clockStart = QDateTime(QDate(2026, 12, 6), QTime(15, 30));
        QString error;
        auto session = DisplaySession::create(options, &error);
        if (!session)
            qWarning("session not created: %s", qPrintable(error));
        return session;
    }

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void init() { QFile::remove(path("defaults.json")); }

    // A headless run of N frames waits for the engine's lyrics lookup, so
    // the layout takes the words of the first source that answers.
    void headlessRunsWaitForTheLyrics()
    {
        NetworkStandIn metro([](const NetworkStandIn::Request &request) {
            if (request.target.startsWith("/search"))
                return NetworkStandIn::ok("<a href=\"http://127.0.0.20:45182/m.html\">");
            return NetworkStandIn::ok("Fen<div id=\"lyrics-body-text\">Reeds bend<br/>low</div>");
        });
        QVERIFY(metro.listen(QStringLiteral("127.0.0.20"), 45182));
        const QString root = QStringLiteral("http://127.0.0.20:45182");
        QVERIFY(writeBytes(path("defaults.json"),
                           QStringLiteral(R"({"lyricsWikiBase": "%1/w", "bingBase": "%1", "azLyricsBase": "%1/a",)"
                                          R"( "metroLyricsBase": "%1", "metalArchivesBase": "%1/x"})")
                               .arg(root)
                               .toUtf8()));
        SessionOptions options;
        options.waitForLyrics = true;
        auto session = makeSession(options);
        QVERIFY(session);
        session->addNewCoverlumeView();
        LyricsSource *lyrics = session->view()->nowPlaying().lyrics();
        QVERIFY(lyrics);
        const LyricsAnswer answer = lyrics->lyricsFor(QStringLiteral("Reeds"), QStringLiteral("Fen"), PlayerId::Spotify);
        QCOMPARE(answer.lines, QStringList({QStringLiteral("Reeds bend"), QStringLiteral("low")}));
    }

    void startsWithTheUsersSettingsUnpausedAndNeverWritesTheVerbosity()
    {
        // A run that was paused from the keyboard left "userPaused" set.
        QVERIFY(writeBytes(path("defaults.json"), R"({"userPaused": true, "theme": 2})"));
        SessionOptions options;
        options.verbosity = 3;
        auto session = makeSession(options);
        QVERIFY(session);
        const DefaultsStore &defaults = session->defaults();
        QCOMPARE(defaults.boolValue("userPaused"), false);
        QCOMPARE(defaults.intValue("theme"), 2);   // the user's own
        QCOMPARE(defaults.intValue("cycle"), 600); // registered
        QCOMPARE(defaults.intValue("verbosity"), 3);

        // The unpaused state is kept for the next run; the command line's
        // verbosity is not, even after a write.
        session->defaults().set("theme", 1);
        DefaultsStore reread(m_dir.path());
        QCOMPARE(reread.boolValue("userPaused"), false);
        QVERIFY(!reread.contains("verbosity"));
    }

    void aNewViewTakesOverTheArtworkAndTheNotifications()
    {
        auto session = makeSession();
        QVERIFY(!session->view());
        session->addNewCoverlumeView();
        CoverlumeView *first = session->view();
        QVERIFY(first && first->isAnimating());
        QVERIFY(first->getArtworkImage().isNull());
        // It was still handed the (null) artwork, which ends its first cycle
        // on the next frame.
        QCOMPARE(first->cycle().framesCount, first->cycle().CYCLE + 1);
        QCOMPARE(first->frameSize(), QSizeF(1280, 800));

        int heard = 0;
        const QString playerInfo = QStringLiteral("com.apple.iTunes.playerInfo");
        session->distributedCenter().addObserver(first, playerInfo, [&](const Notification &) { ++heard; });
        session->distributedCenter().post(playerInfo);
        QCOMPARE(heard, 1);
        QImage cover(40, 40, QImage::Format_ARGB32_Premultiplied);
        cover.fill(Qt::red);
        first->setArtworkImage(cover);
        session->runFrame(); // ends the cycle; the next layout would read the (absent) player

        session->setFrameSize(QSizeF(640, 400));
        session->addNewCoverlumeView();
        CoverlumeView *view = session->view();
        QCOMPARE(view->getArtworkImage(), cover);
        QCOMPARE(view->frameSize(), QSizeF(640, 400));
        QVERIFY(view->isAnimating());
        QCOMPARE(view->cycle().framesCount, view->cycle().CYCLE + 1);
        // The old view's observers were removed with it.
        session->distributedCenter().post(playerInfo);
        QCOMPARE(heard, 1);

        session->distributedCenter().addObserver(view, QString(), [&](const Notification &) { ++heard; });
        session->leaveDistributedCenter();
        session->distributedCenter().post(QStringLiteral("CoverlumeAlbumCoverChanged"));
        QCOMPARE(heard, 1);
        QVERIFY(!session->distributedCenter().hasObserver(view));
        QCOMPARE(session->view(), view);
    }

    void eachFrameMovesTheClockAndIsTimedAndFullScreenIsAsked()
    {
        SessionOptions options;
        options.fullScreen = true;
        auto session = makeSession(options);
        session->runFrame(); // no view yet: nothing happens
        QCOMPARE(session->clock().frame(), 0);
        QCOMPARE(session->frameTimings().count(), 0);

        session->addNewCoverlumeView();
        const QDateTime start = session->clock().now();
        for (int i = 0; i < 20; ++i)
            session->runFrame();
        QCOMPARE(session->clock().frame(), 20);
        QCOMPARE(session->clock().now(), start.addMSecs(20 * 50));
        QCOMPARE(session->frameTimings().count(), 20);
        QVERIFY(session->view()->cycle().framesCount != session->view()->cycle().CYCLE + 1);

        // Full screen comes from the option until a window answers it.
        QVERIFY(session->isFullScreen());
        bool windowFullScreen = false;
        session->setFullScreenSource([&] { return windowFullScreen; });
        QVERIFY(!session->isFullScreen());
        windowFullScreen = true;
        QVERIFY(session->isFullScreen());
    }

    void timingsKeepTheLatestFiguresInOrder()
    {
        FrameTimings timings;
        QCOMPARE(timings.lastNs(), 0);
        const qint64 total = FrameTimings::capacity + 5;
        for (qint64 i = 0; i < total; ++i)
            timings.record(i);
        QCOMPARE(timings.count(), total);
        QCOMPARE(timings.maxNs(), total - 1);
        QCOMPARE(timings.lastNs(), total - 1);
        QCOMPARE(timings.totalNs(), total * (total - 1) / 2);
        const QList<qint64> kept = timings.recentNs();
        QCOMPARE(kept.size(), FrameTimings::capacity);
        QCOMPARE(kept.first(), 5);
        QVERIFY(std::is_sorted(kept.begin(), kept.end()));
    }

    void withoutAScenarioTheRealPlayersAreFollowed()
    {
        // The private bus of the test has no MPRIS player on it.
        auto session = makeSession();
        QVERIFY(!session->simulatedPlayers());
        for (const char *script : {"anything", "tell app \"Music\"\rplayer state \r end tell"}) {
            QString error;
            QVERIFY(session->scripts().execute(QString::fromUtf8(script), &error).isNone());
            QVERIFY2(!error.isEmpty(), script);
        }
        const ScriptResult processes = session->scripts().execute(
            QStringLiteral("tell application \"System Events\"\rname of every process\rend tell"));
        QVERIFY(processes.isList());
        QCOMPARE(processes.numberOfItems(), 0);
    }

    void outputsAreWrittenOrSayWhyNot()
    {
        QVERIFY(writeBytes(path("defaults.json"), R"({"theme": 0})"));
        SessionOptions options;
        options.frameSize = QSizeF(320, 200);
        auto session = makeSession(options);
        QString error;
        QVERIFY(!session->writeState(path("state.json"), &error)); // no view yet
        QVERIFY(!error.isEmpty());

        session->addNewCoverlumeView();
        session->runFrame();
        QVERIFY2(session->writeState(path("state.json"), &error), qPrintable(error));
        const QJsonObject state = readJsonObject(path("state.json"));
        QCOMPARE(state.value("theme").toInt(-1), 0);
        QCOMPARE(state.value("framesCount").toInt(-1), session->view()->state().value("framesCount").toInt(-2));
        QVERIFY2(session->writeSnapshot(path("shot.png"), &error), qPrintable(error));
        QCOMPARE(QImage(path("shot.png")).size(), QSize(320, 200));

        QVERIFY(!session->writeState(path("no/such/dir/out.json"), &error));
        QVERIFY(error.contains(QStringLiteral("no/such/dir")));
        QVERIFY(!session->writeSnapshot(path("no/such/dir/out.png"), &error));
        QVERIFY(error.contains(QStringLiteral("no/such/dir")));
        // Only simulated players keep a script log.
        QVERIFY(!session->writeScriptLog(path("log.jsonl"), &error));
        QVERIFY(!QFile::exists(path("log.jsonl")));
    }
};

QTEST_MAIN(TestDisplaySession)
#include "tst_displaysession.moc"
