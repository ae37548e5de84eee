#include "core/CoverlumeView.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "session/DisplaySession.h"
#include "platform/ScriptService.h"

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {

QImage artwork(QColor colour)
{
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

void writeSettings(const QString &dir, const QByteArray &json)
{
    QFile file(dir + QStringLiteral("/defaults.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(json);
}

} // namespace

class TestDisplaySession : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    std::unique_ptr<DisplaySession> makeSession(SessionOptions options = {})
    {
        if (options.configDir.isEmpty())
            options.configDir = m_dir.path();
        options.distributedInProcess = true;
        if (!options.clockStart)
            options.clockStart = QDateTime(QDate(2026, 12, 6), QTime(15, 30));
        QString error;
        auto session = DisplaySession::create(options, &error);
        if (!session)
            qWarning("session not created: %s", qPrintable(error));
        return session;
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("defaults.json")));
    }

    void startsWithTheRegisteredDefaultsAndUnpaused()
    {
        // A run that was paused from the keyboard left "userPaused" set.
        writeSettings(m_dir.path(), R"({"userPaused": true, "theme": 2})");
        auto session = makeSession();
        QVERIFY(session);
        QCOMPARE(session->defaults().boolValue(QStringLiteral("userPaused")), false);
        QCOMPARE(session->defaults().intValue(QStringLiteral("theme")), 2);          // the user's own
        QCOMPARE(session->defaults().intValue(QStringLiteral("cycle")), 600);        // registered
        QCOMPARE(session->defaults().boolValue(QStringLiteral("showProgress")), true);

        // And the unpaused state is kept for the next run too.
        DefaultsStore reread(m_dir.path());
        QCOMPARE(reread.boolValue(QStringLiteral("userPaused")), false);
    }

    void verbosityFromTheCommandLineIsNeverWritten()
    {
        SessionOptions options;
        options.verbosity = 3;
        auto session = makeSession(options);
        QCOMPARE(session->defaults().intValue(QStringLiteral("verbosity")), 3);
        session->defaults().set(QStringLiteral("theme"), 1); // forces a write
        DefaultsStore reread(m_dir.path());
        QVERIFY(!reread.contains(QStringLiteral("verbosity")));
    }

    void theFirstViewCarriesNoArtwork()
    {
        auto session = makeSession();
        QVERIFY(!session->view());
        session->addNewCoverlumeView();
        CoverlumeView *view = session->view();
        QVERIFY(view);
        QVERIFY(view->isAnimating());
        QVERIFY(view->getArtworkImage().isNull());
        // It was still handed the (null) artwork, which ends its first cycle
        // on the next frame.
        QCOMPARE(view->cycle().framesCount, view->cycle().CYCLE + 1);
        QCOMPARE(view->frameSize(), QSizeF(1280, 800));
    }

    void aNewViewShowsTheOldViewsArtwork()
    {
        auto session = makeSession();
        session->addNewCoverlumeView();
        const QImage cover = artwork(Qt::red);
        session->view()->setArtworkImage(cover);
        session->runFrame(); // ends the cycle; the next frame's layout would read the (absent) player

        session->setFrameSize(QSizeF(640, 400));
        session->addNewCoverlumeView();
        CoverlumeView *view = session->view();
        QCOMPARE(view->getArtworkImage(), cover);
        QCOMPARE(view->frameSize(), QSizeF(640, 400));
        QVERIFY(view->isAnimating());
        QCOMPARE(view->cycle().framesCount, view->cycle().CYCLE + 1);
    }

    void theOldViewStopsHearingDistributedNotifications()
    {
        auto session = makeSession();
        session->addNewCoverlumeView();
        int heard = 0;
        // As the player notifications are observed: under the view's address.
        session->distributedCenter().addObserver(session->view(), QStringLiteral("com.apple.iTunes.playerInfo"),
                                                 [&](const Notification &) { ++heard; });
        session->distributedCenter().post(QStringLiteral("com.apple.iTunes.playerInfo"));
        QCOMPARE(heard, 1);

        session->addNewCoverlumeView();
        session->distributedCenter().post(QStringLiteral("com.apple.iTunes.playerInfo"));
        QCOMPARE(heard, 1);
    }

    void leavingTheDistributedCentreKeepsTheView()
    {
        auto session = makeSession();
        session->addNewCoverlumeView();
        int heard = 0;
        session->distributedCenter().addObserver(session->view(), QString(),
                                                 [&](const Notification &) { ++heard; });
        session->leaveDistributedCenter();
        session->distributedCenter().post(QStringLiteral("CoverlumeAlbumCoverChanged"));
        QCOMPARE(heard, 0);
        QVERIFY(session->view());
        QVERIFY(!session->distributedCenter().hasObserver(session->view()));
    }

    void eachFrameMovesTheClockAndIsTimed()
    {
        auto session = makeSession();
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
        QCOMPARE(session->frameTimings().recentNs().size(), 20);
        QVERIFY(session->frameTimings().maxNs() >= session->frameTimings().lastNs());
        QVERIFY(session->view()->cycle().framesCount != session->view()->cycle().CYCLE + 1);
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
        QCOMPARE(kept.last(), total - 1);
        QVERIFY(std::is_sorted(kept.begin(), kept.end()));
    }

    void fullScreenComesFromTheWindowOrTheOption()
    {
        SessionOptions options;
        options.fullScreen = true;
        auto session = makeSession(options);
        QVERIFY(session->isFullScreen());
        bool windowFullScreen = false;
        session->setFullScreenSource([&] { return windowFullScreen; });
        QVERIFY(!session->isFullScreen());
        windowFullScreen = true;
        QVERIFY(session->isFullScreen());
    }

    void withoutAScenarioTheRealPlayersAreFollowed()
    {
        // The private bus of the test has no MPRIS player on it.
        auto session = makeSession();
        QVERIFY(!session->simulatedPlayers());
        QString error;
        QVERIFY(session->scripts().execute(QStringLiteral("anything"), &error).isNone());
        QVERIFY(!error.isEmpty());
        const ScriptResult processes = session->scripts().execute(
            QStringLiteral("tell application \"System Events\"\rname of every process\rend tell"));
        QVERIFY(processes.isList());
        QCOMPARE(processes.numberOfItems(), 0);
        error.clear();
        QVERIFY(session->scripts().execute(QStringLiteral("tell app \"Music\"\rplayer state \r end tell"),
                                           &error).isNone());
        QVERIFY(!error.isEmpty());
    }

    void aScenarioThatCannotBeLoadedStopsTheSession()
    {
        SessionOptions options;
        options.playersFile = m_dir.filePath(QStringLiteral("missing-scenario.json"));
        options.configDir = m_dir.path();
        QString error;
        QVERIFY(!DisplaySession::create(options, &error));
        QVERIFY(!error.isEmpty());
    }

    void theStateIsWrittenAsJson()
    {
        writeSettings(m_dir.path(), R"({"theme": 0})");
        auto session = makeSession();
        QString error;
        const QString path = m_dir.filePath(QStringLiteral("state.json"));
        QVERIFY(!session->writeState(path, &error)); // no view yet
        QVERIFY(!error.isEmpty());

        session->addNewCoverlumeView();
        session->runFrame();
        QVERIFY2(session->writeState(path, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(state.value(QStringLiteral("theme")).toInt(-1), 0);
        QCOMPARE(state.value(QStringLiteral("framesCount")).toInt(-1),
                 session->view()->state().value(QStringLiteral("framesCount")).toInt(-2));
    }

    void outputsThatCannotBeWrittenSaySo()
    {
        auto session = makeSession();
        session->addNewCoverlumeView();
        QString error;
        const QString nowhere = m_dir.filePath(QStringLiteral("no/such/dir/out"));
        QVERIFY(!session->writeState(nowhere + QStringLiteral(".json"), &error));
        QVERIFY(error.contains(QStringLiteral("no/such/dir")));
        QVERIFY(!session->writeSnapshot(nowhere + QStringLiteral(".png"), &error));
        QVERIFY(error.contains(QStringLiteral("no/such/dir")));
        // Only simulated players keep a script log.
        QVERIFY(!session->writeScriptLog(m_dir.filePath(QStringLiteral("log.jsonl")), &error));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("log.jsonl"))));
    }

    void theSnapshotHasTheViewsSize()
    {
        SessionOptions options;
        options.frameSize = QSizeF(320, 200);
        auto session = makeSession(options);
        session->addNewCoverlumeView();
        session->runFrame();
        const QString path = m_dir.filePath(QStringLiteral("shot.png"));
        QString error;
        QVERIFY2(session->writeSnapshot(path, &error), qPrintable(error));
        const QImage shot(path);
        QCOMPARE(shot.size(), QSize(320, 200));
    }

    void theStatusIconIsATransparentGlyph()
    {
        Q_INIT_RESOURCE(resources);
        const QImage icon(QStringLiteral(":/status_icon.png"));
        QCOMPARE(icon.size(), QSize(64, 64));
        QVERIFY(icon.hasAlphaChannel());
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(icon.pixel(63, 63)), 0);
        QCOMPARE(qAlpha(icon.pixel(32, 32)), 255); // the glyph itself is opaque
    }
};

QTEST_MAIN(TestDisplaySession)
#include "tst_displaysession.moc"
