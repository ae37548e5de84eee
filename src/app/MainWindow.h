#pragma once

#include "session/Autostart.h"

#include <QMainWindow>

class DisplaySession;
class DisplayWidget;
class QAction;

// The window that hosts the display. Its display area keeps the shape it
// was given (width / height = contentAspectRatio()) while the user resizes
// the window; full screen and maximised windows fill the screen instead and
// the display is letterboxed. The menu bar hides in full screen; its
// shortcuts keep working.
//
// Closing the window quits the application, unless the taskbar entry is
// hidden (the tray then brings the window back) and closing only hides it.
// Main thread only; the session must outlive the window.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(const DisplaySession &session, QWidget *parent = nullptr);

    DisplayWidget *display() const { return m_display; }

    // The display area's size; resizeContent() keeps the window's position.
    QSize contentSize() const;
    void resizeContent(const QSize &size);

    // 0 (or less) lets the display area take any shape.
    void setContentAspectRatio(float ratio) { m_aspectRatio = ratio; }
    float contentAspectRatio() const { return m_aspectRatio; }

    void setClosingHides(bool hides) { m_closingHides = hides; }
    void setHideTaskbarEntryChecked(bool checked);

    // The items the tray menu shows too: Preferences… and the full-screen
    // item, whose text follows the window's state.
    QAction *preferencesAction() const { return m_preferencesAction; }
    QAction *fullScreenAction() const { return m_fullScreenAction; }
    // "Start with the Desktop": ticked while the session's autostart entry
    // is there and on. The tray menu shows it too.
    QAction *autostartAction() const { return m_autostartAction; }

public Q_SLOTS:
    void toggleFullScreen();
    // Reads the autostart entry again into the item's tick.
    void refreshStartsWithDesktop();

Q_SIGNALS:
    void consoleRequested();
    void preferencesRequested();
    // Before the window leaves full screen at our own request; a window
    // manager that ends full screen itself only reports the change.
    void willExitFullScreen();
    void quitRequested();
    void hideTaskbarEntryToggled(bool hidden);
    void shownChanged(bool shown);
    void fullScreenChanged(bool fullScreen);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildMenus();
    void keepAspectRatio();
    void setStartsWithDesktop(bool starts);

    DisplayWidget *m_display;
    QAction *m_fullScreenAction = nullptr;
    QAction *m_preferencesAction = nullptr;
    QAction *m_hideTaskbarAction = nullptr;
    QAction *m_autostartAction = nullptr;
    Autostart m_autostart;
    float m_aspectRatio = 0;
    bool m_closingHides = false;
    bool m_adjusting = false;
    bool m_wasFullScreen = false;
};
