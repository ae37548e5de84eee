#include "app/DisplayWidget.h"

#include "core/CoverlumeView.h"
#include "platform/Log.h"
#include "session/DisplaySession.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

DisplayWidget::DisplayWidget(const DisplaySession &session, QWidget *parent)
    : QWidget(parent), m_session(session)
{
    // Everything is painted here; nothing behind needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 100);
    setFocusPolicy(Qt::StrongFocus);
    // Pointer moves without a button held count as the user being back.
    setMouseTracking(true);
    m_resizeSettle.setSingleShot(true);
    m_resizeSettle.setInterval(resizeSettleMs);
    connect(&m_resizeSettle, &QTimer::timeout, this, &DisplayWidget::resizeViewToWidget);
}

QRectF DisplayWidget::placement(const QSizeF &viewSize, const QSizeF &widgetSize)
{
    if (viewSize.width() <= 0 || viewSize.height() <= 0)
        return {};
    const double scale = std::min(widgetSize.width() / viewSize.width(),
                                  widgetSize.height() / viewSize.height());
    const QSizeF shown = viewSize * scale;
    return QRectF(QPointF((widgetSize.width() - shown.width()) / 2,
                          (widgetSize.height() - shown.height()) / 2),
                  shown);
}

void DisplayWidget::presentFrame()
{
    CoverlumeView *view = m_session.view();
    if (!view || !isVisible()) {
        update();
        return;
    }
    if (view != m_drawn) {
        // A new view: everything it shows is new to the window.
        m_drawn = view;
        update();
        return;
    }
    const QRegion damage = view->damage();
    const QRectF target = placement(view->frameSize(), QSizeF(size()));
    if (damage.isEmpty() || target.isEmpty())
        return;
    if (target.size() == QSizeF(size())) {
        update(damage);
        return;
    }
    // Scaled while a resize settles: the damage grows by the scale.
    const double scale = target.width() / view->frameSize().width();
    QTransform toWidget = QTransform::fromTranslate(target.x(), target.y());
    toWidget.scale(scale, scale);
    update(toWidget.mapRect(damage.boundingRect()).adjusted(-1, -1, 1, 1));
}

void DisplayWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    CoverlumeView *view = m_session.view();
    const QRectF target = view ? placement(view->frameSize(), QSizeF(size())) : QRectF();
    painter.setClipRegion(event->region());
    // Where the view draws nothing it is black; so is the rest of the window.
    for (const QRect &r : event->region())
        painter.fillRect(r, Qt::black);
    if (!view || target.isEmpty())
        return;
    m_drawn = view;
    if (target != QRectF(rect())) {
        painter.translate(target.topLeft());
        painter.scale(target.width() / view->frameSize().width(), target.height() / view->frameSize().height());
        painter.setClipRect(QRectF(QPointF(0, 0), view->frameSize()), Qt::IntersectClip);
    }
    view->paintWindow(painter);
}

void DisplayWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_resizeSettle.start();
}

void DisplayWidget::resizeViewToWidget()
{
    CoverlumeView *view = m_session.view();
    if (!view || view->frameSize() == QSizeF(size()))
        return;
    // The view is the session's; the next view is made at the window's
    // size when the application replaces it.
    view->setFrameSize(QSizeF(size()));
    update();
}

void DisplayWidget::keyPressEvent(QKeyEvent *event)
{
    CoverlumeView *view = m_session.view();
    if (ViewInput *input = view ? view->input() : nullptr)
        input->keyPressed(*event);
    else
        QWidget::keyPressEvent(event);
}

void DisplayWidget::keyReleaseEvent(QKeyEvent *event)
{
    CoverlumeView *view = m_session.view();
    if (ViewInput *input = view ? view->input() : nullptr)
        input->keyReleased(*event);
    else
        QWidget::keyReleaseEvent(event);
}

void DisplayWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pointerHidden)
        hidePointerUntilMoved(false);
    CoverlumeView *view = m_session.view();
    if (ViewInput *input = view ? view->input() : nullptr)
        input->pointerMoved(*event);
    QWidget::mouseMoveEvent(event);
}

void DisplayWidget::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    // Focus that moves to a popup of this window stays with the user.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    CoverlumeView *view = m_session.view();
    if (ViewInput *input = view ? view->input() : nullptr)
        input->focusLost();
}

void DisplayWidget::hidePointerUntilMoved(bool hide)
{
    if (hide == m_pointerHidden)
        return;
    m_pointerHidden = hide;
    if (hide)
        setCursor(Qt::BlankCursor);
    else
        unsetCursor();
}
