#include "app/AppDelegate.h"

#include "app/ConsoleWindow.h"
#include "app/DisplayWidget.h"
#include "app/MainWindow.h"
#include "app/PreferencesDialog.h"
#include "app/StatusItem.h"
#include "core/CoverlumeView.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"
#include "platform/ProcessStart.h"
#include "platform/ScreenSleepWatcher.h"
#include "platform/SessionBus.h"
#include "session/DisplaySession.h"
#include "session/FramePump.h"
#include "session/PreferencesSheet.h"
#include "session/QuitOnSignal.h"
#include "session/RunOutputs.h"
#include "session/WindowGeometry.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDBusConnection>
#include <QFontDatabase>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <algorithm>
#include <cmath>
#include <optional>
#include <cstdio>

namespace {

const QString kHideDockIcon = QStringLiteral("hideDockIcon");
const QString kDisplayFloatingWindow = QStringLiteral("displayFloatingWindow");
const QString kHideMouseCursor = QStringLiteral("hideMouseCursorInFullScreen");

bool underWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Loads what the label's fonts need (the font configuration, the font
// database, the faces) while the main thread builds the window, so that the
// first layout finds them ready. Text drawn into an image is fine off the
// main thread; the caches it fills are shared, the glyphs are not.
void warmLabelFonts()
{
    QImage scratch(64, 64, QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);
    QPainter painter(&scratch);
    const QString sample = QStringLiteral("Ag09 \u2605\u2665\u2661\u0338 ||| \u2026");
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    for (const bool bold : {false, true}) {
        font.setBold(bold);
        painter.setFont(font);
        painter.drawText(QPointF(0, 32), sample);
    }
    painter.setFont(QFont(QStringLiteral("Arial")));
    painter.drawText(QPointF(0, 32), sample);
}

} // namespace

AppDelegate::AppDelegate(const CommandLine &commandLine, QObject *parent)
    : QObject(parent), m_commandLine(commandLine)
{
    m_dockIconTimer.setSingleShot(true);
    m_dockIconTimer.setInterval(300);
    connect(&m_dockIconTimer, &QTimer::timeout, this, &AppDelegate::toggleActivationPolicy);
    m_trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
}

AppDelegate::~AppDelegate()
{
    if (m_fontWarmer.joinable())
        m_fontWarmer.join();
    m_capture.stop();
    // Windows paint the session's view, so they go before it.
    delete m_prefsDialog.data();
    m_statusItem.reset();
    m_console.reset();
    m_window.reset();
}

int AppDelegate::exec()
{
    const int status = launch();
    if (status != 0)
        return status;
    QApplication::exec();
    return applicationWillTerminate();
}

int AppDelegate::launch()
{
    // From the start, so that an early SIGINT or SIGTERM still quits in order.
    m_quitOnSignal = new QuitOnSignal(this);
    connect(m_quitOnSignal, &QuitOnSignal::quitRequested, this, &AppDelegate::terminate);

    // Qt cannot make a window without a screen and would abort.
    if (QGuiApplication::screens().isEmpty()) {
        std::fprintf(stderr, "coverlume: no screen to show the window on "
                             "(--offscreen runs without one)\n");
        return 1;
    }

    // Beside the rest of the start-up, which needs no fonts until the window shows.
    m_fontWarmer = std::thread(warmLabelFonts);
    QString error;
    m_session = DisplaySession::create(SessionOptions::fromCommandLine(m_commandLine), &error);
    if (!m_session) {
        std::fprintf(stderr, "coverlume: %s\n", qUtf8Printable(error));
        return 2;
    }
    // Quitting is ours: the window's close button goes through terminate().
    QApplication::setQuitOnLastWindowClosed(false);
    if (QAbstractEventDispatcher *loop = QAbstractEventDispatcher::instance())
        connect(loop, &QAbstractEventDispatcher::awake, this, [this] { ++m_wakeUps; });
    // The rest of the start-up runs inside the event loop, like every later
    // event, so that a run of --frames 0 can already quit from there.
    QTimer::singleShot(0, this, &AppDelegate::applicationDidFinishLaunching);
    return 0;
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_window = std::make_unique<MainWindow>(*m_session);
    MainWindow *window = m_window.get();
    m_session->setFullScreenSource([window] { return window->isFullScreen(); });
    // What the display asks of its window.
    DisplaySession::WindowRequests requests;
    requests.enterFullScreen = [window] {
        if (!window->isFullScreen())
            window->toggleFullScreen();
    };
    requests.leaveFullScreen = [window] {
        if (window->isFullScreen())
            window->toggleFullScreen();
    };
    requests.showWindow = [window] { window->show(); };
    requests.hideWindow = [window] { window->hide(); };
    requests.raiseWindow = [window] {
        window->raise();
        window->activateWindow();
    };
    requests.hidePointerUntilMoved = [this, window](bool hide) {
        if (hide && !m_session->defaults().boolValue(kHideMouseCursor))
            return;
        window->display()->hidePointerUntilMoved(hide);
    };
    m_session->setWindowRequests(std::move(requests));
    connect(window, &MainWindow::willExitFullScreen, this, &AppDelegate::windowWillExitFullScreen);
    connect(window, &MainWindow::fullScreenChanged, this, [this](bool fullScreen) {
        if (fullScreen)
            windowDidEnterFullScreen();
        else
            windowDidExitFullScreen();
    });
    connect(window, &MainWindow::preferencesRequested, this, &AppDelegate::showPrefs);
    connect(window, &MainWindow::quitRequested, this, &AppDelegate::terminate);
    connect(window, &MainWindow::consoleRequested, this, &AppDelegate::showConsole);
    connect(window, &MainWindow::hideTaskbarEntryToggled, this,
            &AppDelegate::onHideTaskbarEntryToggled);

    // X11 window managers draw the title bar and decide which desktops a
    // window shows on, so there is no transparent title bar or all-desktops
    // flag to set here.
    shapeWindowToScreen();
    // A window hidden by preference is never shown, not even for a moment.
    if (m_commandLine.fullscreen)
        window->showFullScreen();
    setWindowVisibility();
    addNewCoverlumeView();
    setWindowLevel();
    window->display()->installEventFilter(this);
    m_pump = new FramePump([this] { runFrame(); }, [this] { presentFrame(); }, this);
    if (m_commandLine.frames) {
        m_pump->setFrameLimit(*m_commandLine.frames);
        connect(m_pump, &FramePump::finished, this, &AppDelegate::terminate);
    }
    m_pump->start();

    startConsoleCapture();
    qCInfo(lcApp, "Coverlume Standalone version: %s", qUtf8Printable(CommandLine::versionText()));

    m_sleepWatcher = new ScreenSleepWatcher(sessionBusIfReachable(),
                                            QDBusConnection::systemBus(), this);
    toggleActivationPolicy();
    m_dockIconTimer.stop();
}

void AppDelegate::shapeWindowToScreen()
{
    MainWindow &window = *m_window;
    if (m_commandLine.size) {
        // A size asked for is kept, and so is its shape.
        window.resizeContent(*m_commandLine.size);
        window.setContentAspectRatio(float(m_commandLine.size->width())
                                     / float(m_commandLine.size->height()));
        return;
    }

    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect visible = screen ? screen->availableGeometry() : QRect();
    const QSize first = WindowGeometry::initialContentSize(visible);
    // Where it was last time, when that is still on a screen.
    QList<QRect> screens;
    for (const QScreen *each : QGuiApplication::screens())
        screens << each->availableGeometry();
    const std::optional<QRect> kept = WindowGeometry::restorable(
        m_session->defaults().stringValue(WindowGeometry::settingsKey), screens);
    if (kept)
        window.setGeometry(*kept);
    else
        window.resizeContent(first);
    if (visible.width() > 0 && visible.height() > 0)
        window.setContentAspectRatio(float(visible.width()) / float(visible.height()));
}

void AppDelegate::addNewCoverlumeView()
{
    if (m_window)
        m_session->setFrameSize(QSizeF(m_window->contentSize()));
    m_session->addNewCoverlumeView();
    if (m_window) {
        // The display takes the keys, as the view it shows would.
        m_window->display()->setFocus();
        m_window->display()->update();
    }
}

void AppDelegate::runFrame()
{
    m_session->runFrame();
    const CoverlumeView *view = m_session->view();
    // The first tick of a view only ends its empty cycle; its layout need
    // not wait a whole interval for the next.
    if (view && view->frameStep().layoutsRun() == 0 && m_atOnceAskedFor != view) {
        m_atOnceAskedFor = view;
        m_pump->runNextAtOnce();
    }
}

void AppDelegate::presentFrame()
{
    const CoverlumeView *view = m_session->view();
    // Before the first layout there is nothing to show but black.
    if (!view || view->frameStep().layoutsRun() == 0)
        return;
    // Only what the frame changed reaches the window.
    m_window->display()->presentFrame();
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && !m_firstPictureTold && m_window
        && watched == m_window->display()) {
        const CoverlumeView *view = m_session->view();
        if (view && view->frameStep().layoutsRun() > 0) {
            m_firstPictureTold = true;
            if (const std::optional<double> ms = msSinceProcessStart())
                qCInfo(lcApp, "window: first picture %.0f ms after start", *ms);
        }
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::startConsoleCapture()
{
    // The console window is made when first shown; until then its lines wait here.
    connect(&m_capture, &ConsoleCapture::bytesRead, this, [this](const QByteArray &chunk) {
        const QStringList lines = m_consoleLines.feed(chunk);
        if (m_console) {
            m_console->appendLines(lines);
            return;
        }
        m_consoleBacklog += lines;
        // Trimmed in batches, so that each line costs the same however many come.
        if (m_consoleBacklog.size() >= 2 * ConsoleWindow::maxLines)
            m_consoleBacklog.remove(0, m_consoleBacklog.size() - ConsoleWindow::maxLines);
    });
    QString error;
    if (!m_capture.start(2, &error))
        qCWarning(lcApp, "console: %s; log lines only reach the terminal", qUtf8Printable(error));
}

void AppDelegate::showConsole()
{
    if (!m_console) {
        m_console = std::make_unique<ConsoleWindow>();
        const qsizetype keep = std::min<qsizetype>(m_consoleBacklog.size(), ConsoleWindow::maxLines);
        m_console->appendLines(m_consoleBacklog.mid(m_consoleBacklog.size() - keep));
        m_consoleBacklog.clear();
    }
    m_console->showAndRaise();
}

void AppDelegate::toggleWindowShown()
{
    if (m_window->isVisible()) {
        m_window->hide();
        return;
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void AppDelegate::onHideTaskbarEntryToggled(bool hidden)
{
    m_session->defaults().set(kHideDockIcon, hidden);
    showDockIconClicked();
}

void AppDelegate::showDockIconClicked()
{
    m_dockIconTimer.start();
}

void AppDelegate::toggleActivationPolicy()
{
    if (!m_window)
        return;
    const bool hide = m_session->defaults().boolValue(kHideDockIcon);
    m_window->setHideTaskbarEntryChecked(hide);
    // The tray icon is the way back to a window hidden by preference too.
    const bool wantTray = hide || !m_session->defaults().boolValue(kDisplayFloatingWindow);

    if (hide && !trayAvailable()) {
        if (!m_trayMissingTold) {
            m_trayMissingTold = true;
            qCInfo(lcApp, "no system tray: keeping the taskbar entry");
        }
    }
    if (!wantTray || !trayAvailable()) {
        m_statusItem.reset();
        m_window->setClosingHides(false);
        setTaskbarEntryShown(true);
        return;
    }

    if (!m_statusItem) {
        m_statusItem = std::make_unique<StatusItem>(
            QList<QAction *>{m_window->preferencesAction(), m_window->fullScreenAction(),
                             m_window->autostartAction()});
        connect(m_statusItem.get(), &StatusItem::menuAboutToShow, m_window.get(),
                &MainWindow::refreshStartsWithDesktop);
        connect(m_statusItem.get(), &StatusItem::toggleWindowRequested, this,
                &AppDelegate::toggleWindowShown);
        connect(m_statusItem.get(), &StatusItem::consoleRequested, this, &AppDelegate::showConsole);
        connect(m_statusItem.get(), &StatusItem::quitRequested, this, &AppDelegate::terminate);
        connect(m_window.get(), &MainWindow::shownChanged, m_statusItem.get(),
                &StatusItem::setWindowShown);
        m_statusItem->setWindowShown(m_window->isVisible());
    }
    m_window->setClosingHides(true);
    setTaskbarEntryShown(!hide);
}

void AppDelegate::setTaskbarEntryShown(bool shown)
{
    setWindowFlagInPlace(Qt::Tool, !shown);
}

void AppDelegate::setWindowFlagInPlace(Qt::WindowType flag, bool on)
{
    if (m_window->windowFlags().testFlag(flag) == on)
        return;
    // Changing the flags unmaps the window; map it again as it was, where
    // it was, and in full screen if it was.
    const bool visible = m_window->isVisible();
    const Qt::WindowStates states = m_window->windowState();
    const QPoint position = m_window->pos();
    m_window->setWindowFlag(flag, on);
    if (!visible)
        return;
    if (!(states & (Qt::WindowFullScreen | Qt::WindowMaximized)))
        m_window->move(position);
    m_window->setWindowState(states);
    m_window->show();
}

void AppDelegate::setWindowLevel()
{
    if (!m_window || underWayland())
        return;
    setWindowFlagInPlace(Qt::WindowStaysOnTopHint, m_session->defaults().boolValue(QStringLiteral("keepOnTop")));
}

void AppDelegate::setWindowVisibility()
{
    if (!m_window)
        return;
    toggleActivationPolicy();
    const bool shown = m_session->defaults().boolValue(kDisplayFloatingWindow);
    if (!shown && !m_window->isFullScreen()) {
        if (trayAvailable()) {
            m_window->hide();
            return;
        }
        if (!m_keptShownTold) {
            m_keptShownTold = true;
            qCInfo(lcApp, "no system tray: keeping the window shown");
        }
    }
    if (!m_window->isVisible())
        m_window->show();
}

void AppDelegate::windowDidEnterFullScreen()
{
    m_exitAnnounced = false;
    if (m_session->defaults().boolValue(kHideMouseCursor))
        m_window->display()->hidePointerUntilMoved(true);
    m_session->fullScreenChanged(true);
}

void AppDelegate::windowWillExitFullScreen()
{
    if (m_exitAnnounced)
        return;
    m_exitAnnounced = true;
    m_window->display()->hidePointerUntilMoved(false);
    m_session->fullScreenChanged(false);
}

void AppDelegate::windowDidExitFullScreen()
{
    // A window manager that ended full screen by itself gave no warning.
    windowWillExitFullScreen();
    m_window->display()->hidePointerUntilMoved(false);
    // After the window has finished leaving: showNormal() shows it again
    // once its state has changed.
    QMetaObject::invokeMethod(this, &AppDelegate::setWindowVisibility, Qt::QueuedConnection);
}

void AppDelegate::showPrefs()
{
    if (!m_window)
        return;
    if (m_prefsDialog) {
        m_prefsDialog->raise();
        m_prefsDialog->activateWindow();
        return;
    }
    if (!m_window->isVisible())
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
    // The sheet stores the theme as it is chosen: no frame may run on
    // settings half made.
    if (m_pump)
        m_pump->stop();

    PreferencesSheet::Hooks hooks;
    hooks.setWindowLevel = [this] { setWindowLevel(); };
    hooks.addNewCoverlumeView = [this] { addNewCoverlumeView(); };
    m_sheet = std::make_unique<PreferencesSheet>(m_session->defaults(), std::move(hooks));
    auto *dialog = new PreferencesDialog(*m_sheet, m_window.get());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    m_prefsDialog = dialog;
    m_sheet->setChangeListener([dialog] { dialog->refresh(); });
    m_sheet->configureSheet();
    connect(dialog, &QDialog::finished, this, &AppDelegate::OKPrefs);
    dialog->open();
}

void AppDelegate::OKPrefs()
{
    if (!m_sheet)
        return;
    m_sheet->setChangeListener({});
    m_sheet->closeConfig();
    m_sheet.reset();
    setWindowVisibility();
    if (m_pump)
        m_pump->start();
}

void AppDelegate::terminate()
{
    QCoreApplication::quit();
}

int AppDelegate::applicationWillTerminate()
{
    if (m_pump) {
        m_pump->stop();
        qCInfo(lcApp, "%s; %lld wake-ups of the event loop", qUtf8Printable(m_pump->summary()),
               static_cast<long long>(m_wakeUps));
    }
    // The normal geometry is remembered, but not that of a size asked for
    // on the command line or of a scripted run.
    if (m_window && !m_commandLine.size && !m_commandLine.frames)
        m_session->defaults().set(WindowGeometry::settingsKey, WindowGeometry::toText(m_window->normalGeometry()));
    m_session->leaveDistributedCenter();
    m_capture.stop();
    return RunOutputs::write(m_commandLine, *m_session);
}
