#include "app/DisplayWidget.h"

#include "core/CoverlumeView.h"
#include "session/DisplaySession.h"

#include <QPainter>
#include <algorithm>

DisplayWidget::DisplayWidget(const DisplaySession &session, QWidget *parent)
    : QWidget(parent), m_session(session)
{
    // Everything is painted here; nothing behind needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 100);
    setFocusPolicy(Qt::StrongFocus);
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

void DisplayWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const CoverlumeView *view = m_session.view();
    if (!view)
        return;
    const QRectF target = placement(view->frameSize(), QSizeF(size()));
    if (target.isEmpty())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(target.topLeft());
    painter.scale(target.width() / view->frameSize().width(),
                  target.height() / view->frameSize().height());
    painter.setClipRect(QRectF(QPointF(0, 0), view->frameSize()));
    view->paint(painter);
}
