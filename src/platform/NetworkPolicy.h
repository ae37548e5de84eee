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

    // "localhost" or an address in 127.0.0.0/8.
    static bool isLoopback(const QUrl &url);
    // With COVERLUME_LOOPBACK_ONLY set (and not "0"), every request outside
    // the loopback range is refused: the test scripts set it for the
    // programs they start, so a test can never reach a real site.
    static void applyEnvironment();
};
