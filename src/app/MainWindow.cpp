#include "app/MainWindow.h"

#include "app/DisplayWidget.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <cmath>

MainWindow::MainWindow(const DisplaySession &session, QWidget *parent)
    : QMainWindow(parent), m_display(new DisplayWidget(session, this))
{
    setWindowTitle(QStringLiteral("Coverlume"));
    setCentralWidget(m_display);
    buildMenus();
    // A dark menu bar over the dark display, whatever the desktop's style.
    menuBar()->setStyleSheet(QStringLiteral(
        "QMenuBar { background: #1c1c1e; color: #c8c8cc; }"
        "QMenuBar::item { background: transparent; padding: 3px 9px; }"
        "QMenuBar::item:selected { background: #3a3a3c; }"));
}

void MainWindow::buildMenus()
{
    QMenu *app = menuBar()->addMenu(tr("&Coverlume"));
    m_preferencesAction = app->addAction(tr("Preferences…"));
    m_preferencesAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Comma), QKeySequence::Preferences});
    m_preferencesAction->setMenuRole(QAction::PreferencesRole);
    connect(m_preferencesAction, &QAction::triggered, this, &MainWindow::preferencesRequested);
    app->addSeparator();
    m_hideTaskbarAction = app->addAction(tr("Hide Taskbar Entry"));
    m_hideTaskbarAction->setCheckable(true);
    connect(m_hideTaskbarAction, &QAction::toggled, this, &MainWindow::hideTaskbarEntryToggled);
    m_autostartAction = app->addAction(tr("Start with the Desktop"));
    m_autostartAction->setCheckable(true);
    connect(m_autostartAction, &QAction::triggered, this, &MainWindow::setStartsWithDesktop);
    // Desktop tools edit the entry behind our back: read it at each showing.
    connect(app, &QMenu::aboutToShow, this, &MainWindow::refreshStartsWithDesktop);
    refreshStartsWithDesktop();
    app->addSeparator();
    QAction *quit = app->addAction(tr("&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, &MainWindow::quitRequested);

    QMenu *view = menuBar()->addMenu(tr("&View"));
    m_fullScreenAction = view->addAction(tr("Enter Full Screen"));
    m_fullScreenAction->setShortcuts({QKeySequence(Qt::Key_F11), QKeySequence::FullScreen});
    connect(m_fullScreenAction, &QAction::triggered, this, &MainWindow::toggleFullScreen);
    QAction *console = view->addAction(tr("Console"));
    console->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    connect(console, &QAction::triggered, this, &MainWindow::consoleRequested);

    // The menu bar hides in full screen; the window keeps the shortcuts.
    addActions({quit, m_fullScreenAction, console, m_preferencesAction});

    // The display's own menu, for a window whose menu bar is out of sight.
    m_display->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_display->addActions({m_preferencesAction, m_fullScreenAction});
}

void MainWindow::setHideTaskbarEntryChecked(bool checked)
{
    const QSignalBlocker quiet(m_hideTaskbarAction);
    m_hideTaskbarAction->setChecked(checked);
}

void MainWindow::refreshStartsWithDesktop()
{
    const QSignalBlocker quiet(m_autostartAction);
    m_autostartAction->setChecked(m_autostart.isEnabled());
}

void MainWindow::setStartsWithDesktop(bool starts)
{
    QString error;
    if (!m_autostart.setEnabled(starts, &error)) {
        QMessageBox::warning(this, tr("Start with the Desktop"),
                             starts ? tr("Coverlume could not be set to start with the desktop.")
                                    : tr("Coverlume could not be kept from starting with the desktop."),
                             QMessageBox::Ok);
        qWarning("coverlume: %s", qUtf8Printable(error));
    }
    refreshStartsWithDesktop();
}

QSize MainWindow::contentSize() const
{
    return m_display->size();
}

void MainWindow::resizeContent(const QSize &size)
{
    // Whatever the menu bar takes comes on top of the display area. Before
    // the first show the layout has not run, so ask the menu bar itself.
    const QSize extra = isVisible()
        ? this->size() - m_display->size()
        : QSize(0, menuBar()->isHidden() ? 0 : menuBar()->sizeHint().height());
    const bool adjusting = m_adjusting;
    m_adjusting = true;
    resize(size + extra.expandedTo(QSize(0, 0)));
    m_adjusting = adjusting;
}

void MainWindow::toggleFullScreen()
{
    if (isFullScreen()) {
        Q_EMIT willExitFullScreen();
        showNormal();
    }
    else
        showFullScreen();
}

void MainWindow::keepAspectRatio()
{
    if (m_aspectRatio <= 0 || m_adjusting || isFullScreen() || isMaximized() || !isVisible())
        return;
    const QSize content = m_display->size();
    const int wanted = int(std::lround(content.width() / m_aspectRatio));
    if (std::abs(wanted - content.height()) <= 1)
        return;
    resizeContent(QSize(content.width(), wanted));
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    keepAspectRatio();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_closingHides) {
        hide();
        event->ignore();
        return;
    }
    event->ignore(); // the application quits in its own order
    Q_EMIT quitRequested();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const bool fullScreen = isFullScreen();
    menuBar()->setVisible(!fullScreen);
    m_fullScreenAction->setText(fullScreen ? tr("Exit Full Screen") : tr("Enter Full Screen"));
    if (fullScreen != m_wasFullScreen) {
        m_wasFullScreen = fullScreen;
        Q_EMIT fullScreenChanged(fullScreen);
    }
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    Q_EMIT shownChanged(true);
}

void MainWindow::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    Q_EMIT shownChanged(false);
}
