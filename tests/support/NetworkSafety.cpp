// Linked into every test binary: before any test runs, requests may go to
// the loopback range only (anything else aborts the test binary), proxies
// are off, and the settings live in a temporary folder of this process.

#include "platform/NetworkPolicy.h"

#include <QByteArray>
#include <QDir>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QByteArray scratchPath;
bool installed = false;

void removeScratch()
{
    QDir(QString::fromLocal8Bit(scratchPath)).removeRecursively();
}

struct NetworkSafety
{
    NetworkSafety()
    {
        installed = true;
        NetworkPolicy::setCheck([](const QUrl &url) {
            if (NetworkPolicy::isLoopback(url))
                return true;
            std::fprintf(stderr, "FAIL: a test tried to reach %s, outside 127.0.0.0/8\n",
                         url.toString().toUtf8().constData());
            std::abort();
        });
        for (const char *name : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY",
                                 "HTTPS_PROXY", "ALL_PROXY"})
            qunsetenv(name);
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

        // Never the user's own settings, even for a binary run by hand.
        scratchPath = QDir::tempPath().toLocal8Bit() + "/coverlume-test-XXXXXX";
        if (!::mkdtemp(scratchPath.data())) {
            std::fprintf(stderr, "FAIL: no temporary settings folder\n");
            std::abort();
        }
        qputenv("XDG_CONFIG_HOME", scratchPath + "/config");
        QDir().mkpath(QString::fromLocal8Bit(scratchPath + "/config"));
        std::atexit(removeScratch);
    }
};

const NetworkSafety networkSafety;

} // namespace

// Referenced by the tests that rely on the policy, so that the linker keeps
// this file even where nothing else of it is used.
bool networkSafetyInstalled()
{
    return installed && &networkSafety;
}
