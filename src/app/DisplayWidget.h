#pragma once

#include <QWidget>

class DisplaySession;

// Draws the session's current display view, scaled to fit the widget with
// its shape kept (the rest is black). The view is asked afresh at every
// paint, so a replaced view shows at once; no view paints black.
// The session must outlive the widget. Main thread only.
class DisplayWidget : public QWidget
{
    Q_OBJECT
public:
    explicit DisplayWidget(const DisplaySession &session, QWidget *parent = nullptr);

    // Where a view of this size is drawn inside a widget of that size.
    static QRectF placement(const QSizeF &viewSize, const QSizeF &widgetSize);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const DisplaySession &m_session;
};
