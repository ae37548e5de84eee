#include "app/StatusItem.h"

#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace {

QIcon statusIcon()
{
    const QImage glyph(QStringLiteral(":/status_icon.png"));
    QIcon icon;
    // 18 points, with a sharp copy for doubled pixel densities.
    for (int side : {18, 36})
        icon.addPixmap(QPixmap::fromImage(
            glyph.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return icon;
}

} // namespace

StatusItem::StatusItem(const QList<QAction *> &windowActions, QObject *parent)
    : QObject(parent), m_menu(new QMenu), m_icon(new QSystemTrayIcon(this))
{
    m_toggleWindow = m_menu->addAction(tr("Hide Window"), this, &StatusItem::toggleWindowRequested);
    m_menu->addActions(windowActions);
    m_menu->addAction(tr("Console"), this, &StatusItem::consoleRequested);
    m_menu->addSeparator();
    connect(m_menu, &QMenu::aboutToShow, this, &StatusItem::menuAboutToShow);
    m_menu->addAction(tr("Quit Coverlume"), this, &StatusItem::quitRequested);

    m_icon->setIcon(statusIcon());
    m_icon->setToolTip(QStringLiteral("Coverlume"));
    m_icon->setContextMenu(m_menu);
    // A plain click shows or hides the window, the menu is on the other button.
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            Q_EMIT toggleWindowRequested();
    });
    m_icon->show();
}

StatusItem::~StatusItem()
{
    m_icon->hide();
    delete m_menu;
}

void StatusItem::setWindowShown(bool shown)
{
    m_toggleWindow->setText(shown ? tr("Hide Window") : tr("Show Window"));
}
