#include "app/AppDelegate.h"
#include "app/ConsoleWindow.h"
#include "app/DisplayWidget.h"
#include "app/MainWindow.h"
#include "app/PreferencesDialog.h"
#include "core/CoverlumeView.h"
#include "platform/DefaultsStore.h"
#include "session/DisplaySession.h"
#include "session/FramePump.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace TestFiles;

// The application's window rules and its preferences, driven in process on
// the offscreen platform with the demo players.
class TestAppWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppDelegate> m_app;
    int m_runs = 0;

    // The application started on these settings and its window up, with or
    // without a tray to hide the window in.
    AppDelegate &launch(const QVariantMap &settings, bool tray = true)
    {
        m_app.reset();
        const QString config = m_dir.filePath(QString::number(++m_runs));
        QDir().mkpath(config);
        written(config + "/defaults.json", QJsonDocument(QJsonObject::fromVariantMap(settings)).toJson());
        const CommandLine commandLine = CommandLine::parse(
            {"coverlume", "--players", COVERLUME_SOURCE_DIR "/scenarios/demo.json", "--config-dir", config,
             "--size", "320x200", "--seed", "1"});
        m_app = std::make_unique<AppDelegate>(commandLine);
        m_app->setTrayAvailability([tray] { return tray; });
        if (m_app->launch() != 0)
            qFatal("the application did not start");
        if (!QTest::qWaitFor([this] { return m_app->pump() && m_app->pump()->framesRun() > 0; }, 10000))
            qFatal("the application ran no frame");
        return *m_app;
    }

    QJsonObject settingsFile() const
    {
        return readJsonObject(m_app->session()->defaults().filePath());
    }

    static void toggleFullScreen(MainWindow &window, bool wanted)
    {
        window.fullScreenAction()->trigger();
        QTRY_COMPARE(window.isFullScreen(), wanted);
    }

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(resources); }
    void cleanup() { m_app.reset(); }

    void visibility_data()
    {
        QTest::addColumn<bool>("floating");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("shown");
        QTest::newRow("floating") << true << true << true;
        QTest::newRow("hidden, tray") << false << true << false;
        QTest::newRow("hidden, no tray") << false << false << true;
    }
    // After launch and again after leaving full screen.
    void visibility()
    {
        QFETCH(bool, floating);
        QFETCH(bool, tray);
        QFETCH(bool, shown);
        AppDelegate &app = launch({{"displayFloatingWindow", floating}}, tray);
        MainWindow &window = *app.window();
        QCOMPARE(window.isVisible(), shown);
        QCOMPARE(app.statusItem() != nullptr, !floating && tray);

        window.show();
        toggleFullScreen(window, true);
        QVERIFY(window.isVisible());
        toggleFullScreen(window, false);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(window.isVisible(), shown);

        // The preferences show a hidden window first.
        window.preferencesAction()->trigger();
        QVERIFY(app.preferencesDialog());
        QVERIFY(window.isVisible());
    }

    void keepOnTop()
    {
        AppDelegate &app = launch({});
        MainWindow &window = *app.window();
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        window.preferencesAction()->trigger();
        auto *box = app.preferencesDialog()->findChild<QCheckBox *>("keepOnTop");
        QVERIFY(box && box->isChecked());
        box->click();
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.isVisible());
        QCOMPARE(settingsFile().value("keepOnTop"), QJsonValue(false));
    }

    void pointerInFullScreen_data()
    {
        QTest::addColumn<bool>("hide");
        QTest::newRow("hidden") << true;
        QTest::newRow("kept") << false;
    }
    void pointerInFullScreen()
    {
        QFETCH(bool, hide);
        AppDelegate &app = launch({{"hideMouseCursorInFullScreen", hide}});
        MainWindow &window = *app.window();
        const auto blank = [&] { return window.display()->cursor().shape() == Qt::BlankCursor; };
        toggleFullScreen(window, true);
        QCOMPARE(blank(), hide);
        // Nor does the view's own request hide it when the setting is off.
        app.session()->hidePointerUntilMoved(true);
        QCOMPARE(blank(), hide);
        toggleFullScreen(window, false);
        QVERIFY(!blank());
    }

    // The display holds still while the sheet is open; closing it (here
    // with Escape) stores the settings and shows a new view with the old
    // one's artwork and the keys' focus.
    // The window keeps no picture of its own: what it shows after frames
    // that repainted only their damage is what a fresh drawing shows.
    void windowShowsWhatTheViewShows_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<int>("frames");
        QTest::newRow("Classic, fading in") << 0 << 8;
        QTest::newRow("Apple TV, in the hold") << 5 << 40;
    }
    void windowShowsWhatTheViewShows()
    {
        QFETCH(int, theme);
        QFETCH(int, frames);
        AppDelegate &app = launch({{"theme", theme}});
        QVERIFY(QTest::qWaitFor([&app, frames] { return app.pump()->framesRun() >= frames; }, 20000));
        app.pump()->stop();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(); // the last frame's repaint
        DisplayWidget &display = *app.window()->display();
        CoverlumeView &view = *app.session()->view();
        QCOMPARE(view.frameSize(), QSizeF(display.size()));
        const QPoint at = display.mapTo(app.window(), QPoint(0, 0));
        const QImage shown = display.screen()->grabWindow(app.window()->winId()).toImage()
                                 .copy(QRect(at, display.size())).convertToFormat(QImage::Format_RGB32);
        const QImage fresh = view.snapshot(display.size()).convertToFormat(QImage::Format_RGB32);
        int worst = 0;
        for (int y = 0; y < fresh.height(); ++y)
            for (int x = 0; x < fresh.width(); ++x) {
                const QRgb p = shown.pixel(x, y), q = fresh.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                  std::abs(qBlue(p) - qBlue(q))});
            }
        QVERIFY2(worst <= 2, qPrintable(QString::number(worst)));
    }

    void preferencesRecreateTheView()
    {
        AppDelegate &app = launch({{"theme", 5}});
        MainWindow &window = *app.window();
        QImage artwork(40, 40, QImage::Format_ARGB32);
        artwork.fill(Qt::red);
        app.session()->view()->setArtworkImage(artwork);
        const CoverlumeView *before = app.session()->view();

        window.display()->actions().first()->trigger(); // the display's own menu
        PreferencesDialog *dialog = app.preferencesDialog();
        QVERIFY(dialog && dialog->windowModality() == Qt::WindowModal);
        QVERIFY(!app.pump()->isRunning() && !app.pump()->isTimerArmed());

        auto *theme = dialog->findChild<QComboBox *>("theme");
        QVERIFY(theme);
        theme->activated(theme->findData(0)); // as a user's choice
        QCOMPARE(app.session()->view(), before);
        QTest::keyClick(dialog, Qt::Key_Escape);

        QVERIFY(app.session()->view() != before);
        QCOMPARE(app.session()->view()->getArtworkImage().size(), artwork.size());
        QCOMPARE(window.focusWidget(), window.display());
        QVERIFY(app.pump()->isRunning());
        QCOMPARE(settingsFile().value("theme"), QJsonValue(0));
        QVERIFY(settingsFile().contains("classicSettings"));
    }

    // The window tells when it first shows a laid-out picture, once; the
    // console window is only made when asked for, with what was logged
    // before in it.
    void startUp()
    {
        LogCapture log;
        AppDelegate &app = launch({});
        const auto told = [] {
            return LogCapture::lines().filter(QRegularExpression("^window: first picture \\d+ ms after start$")).size();
        };
        QTRY_COMPARE(told(), 1);
        QVERIFY(app.session()->view()->frameStep().layoutsRun() > 0);
        QVERIFY(!app.console());

        // Straight to the captured descriptor, as a library would write.
        std::fputs("a line before the console\n", stderr);
        std::fflush(stderr);
        QTRY_VERIFY(app.consoleBacklog().contains("a line before the console"));
        app.window()->consoleRequested();
        QVERIFY(app.console() && app.console()->isVisible());
        QVERIFY(app.consoleBacklog().isEmpty());
        QVERIFY(app.console()->textView()->toPlainText().contains("a line before the console"));
        QCOMPARE(told(), 1);
    }
};

QTEST_MAIN(TestAppWindow)
#include "tst_appwindow.moc"
