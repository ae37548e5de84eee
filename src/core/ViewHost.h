#pragma once

// What the display view asks of the window that hosts it. The application
// answers from its real window; headless runs answer from the command line.
class ViewHost
{
public:
    virtual ~ViewHost() = default;
    virtual bool isFullScreen() const = 0;
};
