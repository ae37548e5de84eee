#pragma once

// What the display view asks of the window that hosts it. The application
// answers from its real window; headless runs answer from the command line
// and keep the window's state themselves.
//
// The requests change the window; a host without one (a test, a benchmark)
// may ignore them, which is what the defaults do.
class ViewHost
{
public:
    virtual ~ViewHost() = default;
    virtual bool isFullScreen() const = 0;

    // Full screen on and off; nothing when the window is already so.
    virtual void enterFullScreen() {}
    virtual void leaveFullScreen() {}
    // The window shown (and kept from being hidden with the application),
    // or taken off the screen.
    virtual void showWindow() {}
    virtual void hideWindow() {}
    // The window brought to the front, made key and its application active.
    virtual void raiseWindow() {}
    // The pointer over the window hidden until it next moves (true), or
    // shown at once (false).
    virtual void hidePointerUntilMoved(bool hide) { (void)hide; }
};
