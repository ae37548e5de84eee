#include "broadcaster/CoverlumeBroadcasterHelper.h"

#include "broadcaster/ArpSource.h"
#include "broadcaster/BroadcasterCommands.h"
#include "broadcaster/BroadcasterDiscovery.h"
#include "broadcaster/BroadcasterPoller.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <limits>

const QString CoverlumeBroadcasterHelper::playerInfoNotification =
    QStringLiteral("com.quillmoor.Coverlume.BroadcasterPlayerInfo");

namespace {

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

CoverlumeBroadcasterHelper &CoverlumeBroadcasterHelper::sharedCoverlumeBroadcasterHelper()
{
    // Never destroyed: the application stops its thread on quit, and no
    // static destructor must touch Qt after the application object is gone.
    static CoverlumeBroadcasterHelper *const shared = new CoverlumeBroadcasterHelper();
    return *shared;
}

CoverlumeBroadcasterHelper::CoverlumeBroadcasterHelper()
    : CoverlumeBroadcasterHelper(Options{})
{
}

CoverlumeBroadcasterHelper::CoverlumeBroadcasterHelper(Options options)
    : m_options(std::move(options))
    , m_center(m_options.center ? m_options.center : &NotificationCenter::defaultCenter())
    , m_context(new QObject)
    , m_discovery(std::make_unique<BroadcasterDiscovery>(*this, *m_context))
    , m_poller(std::make_unique<BroadcasterPoller>(
          m_options.pollIntervalMs, *m_context,
          [this] {
              QMutexLocker locker(&m_knownLock);
              return !m_knownBroadcaster.isEmpty();
          },
          [this] { pollKnownBroadcaster(); }))
    , m_commands(std::make_unique<BroadcasterCommands>())
{
    // Exchanges and handed-over polls run on the main thread, whichever
    // thread first asked for the instance.
    if (QCoreApplication *app = QCoreApplication::instance(); app && m_context->thread() != app->thread())
        m_context->moveToThread(app->thread());
}

CoverlumeBroadcasterHelper::~CoverlumeBroadcasterHelper()
{
    stop();
    m_commands.reset();
    delete m_context; // running exchanges go with it, telling no one
}

void CoverlumeBroadcasterHelper::setArpSource(std::unique_ptr<ArpSource> source)
{
    m_discovery->setArpSource(std::move(source));
}

void CoverlumeBroadcasterHelper::setDefaults(DefaultsStore *defaults)
{
    m_discovery->setDefaults(defaults);
}

DefaultsStore *CoverlumeBroadcasterHelper::defaults() const
{
    return m_discovery->defaults();
}

QString CoverlumeBroadcasterHelper::baseAddress(const QString &ipv4)
{
    return BroadcasterDiscovery::baseAddress(ipv4);
}

bool CoverlumeBroadcasterHelper::isBaseAddress(const QString &text)
{
    return BroadcasterDiscovery::isBaseAddress(text);
}

bool CoverlumeBroadcasterHelper::addKnownBroadcaster(DefaultsStore &defaults, const QString &address,
                                                     QString *base, QString *error)
{
    return BroadcasterDiscovery::addKnownBroadcaster(defaults, address, base, error);
}

QStringList CoverlumeBroadcasterHelper::knownBroadcasters() const { return m_discovery->knownBroadcasters(); }
bool CoverlumeBroadcasterHelper::isStarted() const { return m_poller->isStarted(); }
int CoverlumeBroadcasterHelper::pollingThreadsStarted() const { return m_poller->threadsStarted(); }
int CoverlumeBroadcasterHelper::pollCycles() const { return m_poller->cycles(); }
int CoverlumeBroadcasterHelper::probesSent() const { return m_discovery->probesSent(); }
int CoverlumeBroadcasterHelper::syncRequestsSent() const { return m_commands->requestsSent(); }

qint64 CoverlumeBroadcasterHelper::nowMs() const
{
    return m_options.monotonicMs ? m_options.monotonicMs() : steadyMs();
}

QVariant CoverlumeBroadcasterHelper::reported(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

int CoverlumeBroadcasterHelper::getRating() const
{
    return int(std::clamp<qint64>(m_report.rating, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

double CoverlumeBroadcasterHelper::getBookmark() const
{
    return double(m_report.estimatedBookmark(nowMs()));
}

void CoverlumeBroadcasterHelper::setKnownBroadcaster(const QString &address)
{
    QMutexLocker locker(&m_knownLock);
    m_knownBroadcaster = address;
}

void CoverlumeBroadcasterHelper::start()
{
    m_report.clear();
    setKnownBroadcaster(QString());
    forgetArtwork();
    m_discovery->findBroadcastService();
    m_poller->start();
}

void CoverlumeBroadcasterHelper::stop()
{
    m_poller->stop();
}

void CoverlumeBroadcasterHelper::helperURLDidReceiveData(CoverlumeBroadcasterHelperURL *,
                                                         const QHash<QString, QString> &fields,
                                                         const QString &fromURL)
{
    const QString previousTrack = m_report.track;
    const QString previousBroadcaster = m_knownBroadcaster;
    m_report.take(fields, nowMs());
    if (!m_report.track.isEmpty())
        setKnownBroadcaster(fromURL);
    // A new track's artwork is asked for now, off the frame; the layout
    // shows what has arrived by then.
    if (!m_report.track.isEmpty() && (previousTrack != m_report.track || previousBroadcaster != fromURL))
        requestArtwork(fromURL);
    if (previousTrack != m_report.track)
        m_center->post(playerInfoNotification);
}

void CoverlumeBroadcasterHelper::helperURLReceivedNoData(CoverlumeBroadcasterHelperURL *,
                                                         const QString &fromURL)
{
    if (m_knownBroadcaster.isEmpty() || fromURL != m_knownBroadcaster)
        return;
    const QString previousTrack = m_report.track;
    m_report.forgetTrack();
    setKnownBroadcaster(QString());
    forgetArtwork();
    qCInfo(lcBroadcaster, "lost the broadcaster %s", qUtf8Printable(fromURL));
    if (!previousTrack.isEmpty())
        m_center->post(playerInfoNotification);
}

void CoverlumeBroadcasterHelper::pollKnownBroadcaster()
{
    // Read again here: the broadcaster may have been lost meanwhile.
    if (m_knownBroadcaster.isEmpty())
        return;
    // A poll still unanswered when the next is due has failed: a
    // broadcaster that never finishes its answers is lost, not kept.
    if (m_discovery->isWaitingFor(m_knownBroadcaster)) {
        helperURLReceivedNoData(nullptr, m_knownBroadcaster);
        return;
    }
    m_discovery->probe(m_knownBroadcaster);
}

QByteArray CoverlumeBroadcasterHelper::getArtwork()
{
    if (m_knownBroadcaster.isEmpty())
        return {};
    if (m_artwork.isEmpty())
        qCInfo(lcBroadcaster, "data is nil"); // none came, or not yet
    return m_artwork;
}

void CoverlumeBroadcasterHelper::requestArtwork(const QString &address)
{
    forgetArtwork();
    const int request = m_artworkRequest;
    // Answered on the fetch thread; kept on the main thread if it is still
    // the artwork of the track asked for. The context outlives the commands,
    // whose destructor ends the fetch thread.
    m_commands->artworkLater(address, [this, request](QByteArray bytes) {
        QMetaObject::invokeMethod(m_context, [this, request, bytes = std::move(bytes)] {
            if (request == m_artworkRequest)
                m_artwork = bytes;
        }, Qt::QueuedConnection);
    });
}

void CoverlumeBroadcasterHelper::forgetArtwork()
{
    ++m_artworkRequest;
    m_artwork.clear();
}

// The keys may be sent from a thread of their own: the address is read
// under the lock its writer takes.
QString CoverlumeBroadcasterHelper::commandAddress() const
{
    QMutexLocker locker(&m_knownLock);
    return m_knownBroadcaster;
}

void CoverlumeBroadcasterHelper::sendPlayPause() { m_commands->send(commandAddress(), BroadcastProtocol::playPausePath); }
void CoverlumeBroadcasterHelper::sendPrev() { m_commands->send(commandAddress(), BroadcastProtocol::previousPath); }
void CoverlumeBroadcasterHelper::sendNext() { m_commands->send(commandAddress(), BroadcastProtocol::nextPath); }
void CoverlumeBroadcasterHelper::sendVolumeUp() { m_commands->send(commandAddress(), BroadcastProtocol::volumeUpPath); }
void CoverlumeBroadcasterHelper::sendVolumeDown() { m_commands->send(commandAddress(), BroadcastProtocol::volumeDownPath); }
