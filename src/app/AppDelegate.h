#pragma once

#include "app/PreferencesDialog.h"
#include "session/CommandLine.h"
#include "session/ConsoleCapture.h"
#include "session/ConsoleLineBuffer.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <thread>

class ConsoleWindow;
class DisplaySession;
class FramePump;
class MainWindow;
class PreferencesSheet;
class QuitOnSignal;
class ScreenSleepWatcher;
class StatusItem;

// The windowed application: builds the session, shapes and shows the main
// window, creates the display view, runs the frame pump, captures the log
// output for the console, and switches between a taskbar entry and a tray
// icon ("hideDockIcon"). It applies the window preferences (stays on top,
// hidden window) and tells the view about full-screen transitions, and runs
// the preferences sheet. Owns all of these; the current view is the
// session's. Main thread only.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    explicit AppDelegate(const CommandLine &commandLine, QObject *parent = nullptr);
    ~AppDelegate() override;

    // Start-up, the event loop and the orderly end. Returns the exit status:
    // 0; 1 when an output could not be written or there is no screen to show
    // the window on; 2 when the players scenario could not be loaded.
    int exec();
    // The first half of exec(): the session is made and the rest of the
    // start-up is queued for the event loop. 0 when it was, else the status
    // exec() returns. For tests, which run the event loop themselves.
    int launch();

    MainWindow *window() const { return m_window.get(); }
    DisplaySession *session() const { return m_session.get(); }
    FramePump *pump() const { return m_pump; }
    StatusItem *statusItem() const { return m_statusItem.get(); }
    PreferencesDialog *preferencesDialog() const { return m_prefsDialog; }
    // Null until the console is first shown; the lines logged before then
    // wait in consoleBacklog() (the last ConsoleWindow::maxLines of them).
    ConsoleWindow *console() const { return m_console.get(); }
    const QStringList &consoleBacklog() const { return m_consoleBacklog; }

    // Whether the desktop shows tray icons; tests set their own answer.
    void setTrayAvailability(std::function<bool()> available) { m_trayAvailable = std::move(available); }

public Q_SLOTS:
    // Replaces the display view, carrying its artwork over.
    void addNewCoverlumeView();
    // The taskbar-entry switch happens a moment later, once the menu that
    // asked for it has closed.
    void showDockIconClicked();
    void toggleActivationPolicy();
    void terminate();

    // "keepOnTop": above other windows or among them. Ignored under
    // Wayland, where the compositor decides.
    void setWindowLevel();
    // "displayFloatingWindow": the window shown, or hidden with the tray
    // icon in its place. Never hidden in full screen, nor where there is no
    // tray to bring it back from.
    void setWindowVisibility();
    // Opens the preferences on the window (shown first when hidden); the
    // display holds still until they are closed.
    void showPrefs();

private:
    void applicationDidFinishLaunching();
    void shapeWindowToScreen();
    void startConsoleCapture();
    void showConsole();
    void toggleWindowShown();
    void setTaskbarEntryShown(bool shown);
    void onHideTaskbarEntryToggled(bool hidden);
    int applicationWillTerminate();
    void OKPrefs();
    void windowDidEnterFullScreen();
    void windowWillExitFullScreen();
    void windowDidExitFullScreen();
    bool trayAvailable() const { return m_trayAvailable(); }
    // The one place that changes the window's flags: the window is mapped
    // again as it was.
    void setWindowFlagInPlace(Qt::WindowType flag, bool on);
    // The pump's two steps. Until the current view has laid itself out
    // nothing is painted, and its second tick (the layout) runs at once.
    void runFrame();
    void presentFrame();
    bool eventFilter(QObject *watched, QEvent *event) override;

    CommandLine m_commandLine;
    std::unique_ptr<DisplaySession> m_session;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ConsoleWindow> m_console;
    std::unique_ptr<StatusItem> m_statusItem;
    FramePump *m_pump = nullptr;
    ScreenSleepWatcher *m_sleepWatcher = nullptr;
    QuitOnSignal *m_quitOnSignal = nullptr;
    ConsoleCapture m_capture;
    ConsoleLineBuffer m_consoleLines;
    QStringList m_consoleBacklog;
    const void *m_atOnceAskedFor = nullptr; // the view whose layout was asked to run at once
    bool m_firstPictureTold = false;
    qint64 m_wakeUps = 0;
    std::thread m_fontWarmer;
    QTimer m_dockIconTimer;
    bool m_trayMissingTold = false;
    bool m_keptShownTold = false;
    bool m_exitAnnounced = true; // windowWillExitFullScreen ran since the last entry
    std::unique_ptr<PreferencesSheet> m_sheet;
    QPointer<PreferencesDialog> m_prefsDialog;
    std::function<bool()> m_trayAvailable;
};
