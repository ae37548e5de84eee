#include "broadcaster/BroadcasterCommands.h"

#include "broadcaster/BroadcastProtocol.h"
#include "broadcaster/BroadcasterFetcher.h"
#include "broadcaster/BroadcasterRequest.h"
#include "platform/Log.h"

// Made at once (its thread still starts at the first request), so that
// commands sent from another thread never race to make it.
BroadcasterCommands::BroadcasterCommands()
    : m_fetcher(std::make_unique<BroadcasterFetcher>())
    , m_artworkFetcher(std::make_unique<BroadcasterFetcher>())
{
}
BroadcasterCommands::~BroadcasterCommands() = default;

BroadcasterFetcher &BroadcasterCommands::fetcher()
{
    return *m_fetcher;
}

int BroadcasterCommands::requestsSent() const
{
    return m_fetcher->requestsSent() + m_artworkFetcher->requestsSent();
}

void BroadcasterCommands::artworkLater(const QString &base, std::function<void(QByteArray)> done)
{
    if (base.isEmpty())
        return;
    m_artworkFetcher->fetchLater(base + BroadcastProtocol::artworkPath, BroadcasterRequest::maxArtworkBytes,
                                 [done = std::move(done)](std::optional<QByteArray> body) {
                                     done(body ? std::move(*body) : QByteArray());
                                 });
}

void BroadcasterCommands::send(const QString &base, QLatin1String path)
{
    if (base.isEmpty())
        return;
    if (path == BroadcastProtocol::playPausePath)
        qCInfo(lcBroadcaster, "sending request: %s", qUtf8Printable(base + path));
    fetcher().fetch(base + path, BroadcasterRequest::maxTextBodyBytes); // the answer means nothing
}
