#pragma once

#include <QDateTime>

class QKeyEvent;
class QMouseEvent;

// The keyboard and pointer as the window hands them to the display view:
// key presses and releases, pointer moves, the window losing focus, and the
// window's full-screen transitions. The view owns one; the window forwards
// and never interprets. Main thread only.
class ViewInput
{
public:
    virtual ~ViewInput() = default;
    virtual void keyPressed(const QKeyEvent &event) = 0;
    virtual void keyReleased(const QKeyEvent &event) = 0;
    virtual void pointerMoved(const QMouseEvent &event) = 0;
    // The window stopped being the one that takes the keys.
    virtual void focusLost() = 0;
    // When the window last entered full screen; invalid when it left.
    virtual void setEnteredFullScreen(const QDateTime &when) = 0;
};
