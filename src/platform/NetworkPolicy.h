#pragma once

#include <QUrl>
#include <functional>

// A process-wide check every outgoing request (the broadcaster's, the
// artwork downloads) passes before it is sent and before each redirect is
// followed. The application installs none (every address is allowed); the
// tests install one that fails on any host outside the loopback range. A
// refused request is not sent and counts as a network failure. Any thread:
// the check is called from whichever thread sends.
class NetworkPolicy
{
public:
    using Check = std::function<bool(const QUrl &url)>;

    // Replaces the check; an empty one allows everything.
    static void setCheck(Check check);
    static bool allows(const QUrl &url);
};
