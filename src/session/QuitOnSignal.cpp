#include "session/QuitOnSignal.h"

#include "platform/Log.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_wakeFds[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    // Only the first signal is ours; the next one does what it always does.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_wakeFds[1], &byte, 1);
    errno = saved;
}

} // namespace

QuitOnSignal::QuitOnSignal(QObject *parent) : QObject(parent)
{
    if (g_wakeFds[0] >= 0 || ::pipe2(g_wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcSession, "cannot watch for quit signals");
        return;
    }
    m_notifier = new QSocketNotifier(g_wakeFds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitOnSignal::onReadable);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal()
{
    if (!m_notifier)
        return;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    ::close(g_wakeFds[0]);
    ::close(g_wakeFds[1]);
    g_wakeFds[0] = g_wakeFds[1] = -1;
}

void QuitOnSignal::onReadable()
{
    char buffer[16];
    while (::read(g_wakeFds[0], buffer, sizeof buffer) > 0) {
    }
    Q_EMIT quitRequested();
}
