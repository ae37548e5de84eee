#pragma once

#include "session/CommandLine.h"
#include "session/ConsoleCapture.h"
#include "session/ConsoleLineBuffer.h"

#include <QObject>
#include <QTimer>
#include <memory>

class ConsoleWindow;
class DisplaySession;
class FramePump;
class MainWindow;
class QuitOnSignal;
class ScreenSleepWatcher;
class StatusItem;

// The windowed application: builds the session, shapes and shows the main
// window, creates the display view, runs the frame pump, captures the log
// output for the console, and switches between a taskbar entry and a tray
// icon ("hideDockIcon"). Owns all of these; the current view is the
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

    MainWindow *window() const { return m_window.get(); }

public Q_SLOTS:
    // Replaces the display view, carrying its artwork over.
    void addNewCoverlumeView();
    // The taskbar-entry switch happens a moment later, once the menu that
    // asked for it has closed.
    void showDockIconClicked();
    void toggleActivationPolicy();
    void terminate();

private:
    void applicationDidFinishLaunching();
    void shapeWindowToScreen();
    void startConsoleCapture();
    void showConsole();
    void toggleWindowShown();
    void setTaskbarEntryShown(bool shown);
    void onHideTaskbarEntryToggled(bool hidden);
    int applicationWillTerminate();

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
    QTimer m_dockIconTimer;
    bool m_trayMissingTold = false;
};
