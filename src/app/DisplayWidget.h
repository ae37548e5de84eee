#pragma once

#include <QTimer>
#include <QWidget>

class CoverlumeView;
class DisplaySession;

// Draws the session's current display view. After each frame it asks the
// window to repaint only the view's damage, which the view draws straight
// into the window's backing store (no second picture of the view is kept),
// so a frame that changes nothing costs nothing. When the widget's size
// settles after a resize the view is rebuilt at the new size; until then it
// is drawn scaled to fit with its shape kept (the rest is black). The view
// is asked afresh at every paint, so a replaced view shows at once; no view
// paints black.
// The session must outlive the widget. Main thread only.
class DisplayWidget : public QWidget
{
    Q_OBJECT
public:
    explicit DisplayWidget(const DisplaySession &session, QWidget *parent = nullptr);

    // Where a view of this size is drawn inside a widget of that size.
    static QRectF placement(const QSizeF &viewSize, const QSizeF &widgetSize);

    // How long the size must stay put before the view is rebuilt for it
    // (a window being dragged larger would otherwise lay out every step).
    static constexpr int resizeSettleMs = 200;

    // The pointer is hidden over the display until it next moves (true),
    // or shown at once.
    void hidePointerUntilMoved(bool hide);

public Q_SLOTS:
    // After a frame: asks to repaint only what changed.
    void presentFrame();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // The keys, the pointer and the loss of focus go to the view's input
    // handling as they come; the widget interprets none of them.
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void resizeViewToWidget();

    const DisplaySession &m_session;
    const CoverlumeView *m_drawn = nullptr; // the view last asked for its damage (compared, never used)
    QTimer m_resizeSettle;
    bool m_pointerHidden = false;
};
