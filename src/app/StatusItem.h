#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The tray icon shown while the taskbar entry or the window is hidden: the
// "status_icon" glyph at 18x18 points, with a menu to show or hide the
// window, the window's own items it is given (preferences, full screen,
// start with the desktop), the console and quit. Owns its icon and menu,
// not the items it is given. Main thread only.
class StatusItem : public QObject
{
    Q_OBJECT
public:
    explicit StatusItem(const QList<QAction *> &windowActions = {}, QObject *parent = nullptr);
    ~StatusItem() override;

    // Keeps the first menu entry's text in step with the window.
    void setWindowShown(bool shown);

Q_SIGNALS:
    void toggleWindowRequested();
    void consoleRequested();
    void quitRequested();
    // Before the menu shows: the given items can bring their state up to date.
    void menuAboutToShow();

private:
    QMenu *m_menu;
    QAction *m_toggleWindow;
    QSystemTrayIcon *m_icon;
};
