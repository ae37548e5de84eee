#include "broadcaster/CoverlumeBroadcasterHelper.h"

#include "broadcaster/ArpSource.h"
#include "broadcaster/ArpTable.h"
#include "broadcaster/BroadcastText.h"
#include "broadcaster/BroadcasterFetcher.h"
#include "broadcaster/BroadcasterRequest.h"
#include "broadcaster/CoverlumeBroadcasterHelperURL.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QAuthenticator>
#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSemaphore>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

const QString CoverlumeBroadcasterHelper::playerInfoNotification =
    QStringLiteral("com.quillmoor.Coverlume.BroadcasterPlayerInfo");

namespace {

const QString kKnownBroadcastersKey = QStringLiteral("knownBroadcasters");

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
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
{
    // Exchanges and handed-over polls run on the main thread, whichever
    // thread first asked for the instance.
    if (QCoreApplication *app = QCoreApplication::instance(); app && m_context->thread() != app->thread())
        m_context->moveToThread(app->thread());
}

CoverlumeBroadcasterHelper::~CoverlumeBroadcasterHelper()
{
    stop();
    m_fetcher.reset();
    delete m_context; // running exchanges go with it, telling no one
}

void CoverlumeBroadcasterHelper::setArpSource(std::unique_ptr<ArpSource> source)
{
    m_arp = std::move(source);
}

void CoverlumeBroadcasterHelper::setDefaults(DefaultsStore *defaults)
{
    m_defaults = defaults;
}

QString CoverlumeBroadcasterHelper::baseAddress(const QString &ipv4)
{
    if (!ArpTable::isDottedQuad(ipv4))
        return {};
    return QStringLiteral("http://%1:%2").arg(ipv4).arg(port);
}

bool CoverlumeBroadcasterHelper::isBaseAddress(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^http://([0-9.]+):45055$"));
    const QRegularExpressionMatch match = form.match(text);
    return match.hasMatch() && ArpTable::isDottedQuad(match.captured(1));
}

bool CoverlumeBroadcasterHelper::addKnownBroadcaster(DefaultsStore &defaults, const QString &address,
                                                     QString *base, QString *error)
{
    const QString text = address.trimmed();
    const QString entry = isBaseAddress(text) ? text : baseAddress(text);
    if (entry.isEmpty()) {
        if (error)
            *error = QStringLiteral("'%1' is not an IPv4 address like 192.168.1.7").arg(address);
        return false;
    }
    if (base)
        *base = entry;
    QVariantList entries = defaults.arrayValue(kKnownBroadcastersKey);
    if (entries.contains(QVariant(entry)))
        return true;
    entries << entry;
    if (!defaults.set(kKnownBroadcastersKey, entries)) {
        if (error)
            *error = QStringLiteral("cannot save the settings in '%1'").arg(defaults.filePath());
        return false;
    }
    return true;
}

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
    return int(std::clamp<qint64>(m_rating, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

double CoverlumeBroadcasterHelper::getBookmark() const
{
    if (!m_lastBookmarkMs)
        return double(m_bookmark);
    // Whole seconds since the report, rounded in single precision as the
    // broadcaster protocol has always been read; never negative, and a
    // clock far off cannot overflow the sum.
    const qint64 elapsedMs = std::max<qint64>(0, nowMs() - *m_lastBookmarkMs);
    const float seconds = std::round(float(elapsedMs) / 1000.0f);
    const qint64 elapsed = seconds >= float(std::numeric_limits<qint32>::max())
        ? std::numeric_limits<qint32>::max()
        : qint64(seconds);
    const qint64 estimate = saturatingAdd(m_bookmark, elapsed);
    return double(estimate < m_duration ? estimate : m_bookmark);
}

void CoverlumeBroadcasterHelper::resetFields()
{
    m_track.clear();
    m_artist.clear();
    m_album.clear();
    m_bitrate.clear();
    m_bitdepth.clear();
    m_samplerate.clear();
    m_kind.clear();
    m_player.clear();
    m_spotifyID.clear();
    m_bookmark = m_duration = m_rating = m_popularity = 0;
    m_loved = m_disliked = false;
    setKnownBroadcaster(QString());
    m_lastBookmarkMs.reset();
}

void CoverlumeBroadcasterHelper::setKnownBroadcaster(const QString &address)
{
    QMutexLocker locker(&m_knownLock);
    m_knownBroadcaster = address;
}

void CoverlumeBroadcasterHelper::start()
{
    resetFields();
    findBroadcastService();
    if (m_started)
        return;
    m_started = true;
    {
        std::lock_guard<std::mutex> lock(m_sleepLock);
        if (m_stopping)
            return; // stopped for good: the application is quitting
    }
    ++m_threadsStarted;
    m_thread = std::thread([this] { maintenanceLoop(); });
}

void CoverlumeBroadcasterHelper::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_sleepLock);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CoverlumeBroadcasterHelper::findBroadcastService()
{
    // The table is read directly and at once: nothing runs in between, so
    // its text completes the discovery right here.
    readCompleted(m_arp ? m_arp->readTable() : QString());
}

QStringList CoverlumeBroadcasterHelper::savedBroadcasters()
{
    QStringList saved;
    if (!m_defaults)
        return saved;
    const QVariantList stored = m_defaults->arrayValue(kKnownBroadcastersKey);
    for (const QVariant &entry : stored) {
        const QString text = entry.toString();
        if (isBaseAddress(text)) {
            saved << text;
        } else if (!m_reportedSkips.contains(text)) {
            m_reportedSkips.insert(text);
            qCWarning(lcBroadcaster, "skipping saved broadcaster '%s': not http://ADDRESS:45055",
                      qUtf8Printable(text.left(80)));
        }
    }
    return saved;
}

void CoverlumeBroadcasterHelper::readCompleted(const QString &arpText)
{
    auto add = [this](const QString &address) {
        if (!address.isEmpty() && !m_knownBroadcasters.contains(address))
            m_knownBroadcasters << address;
    };
    for (const QString &saved : savedBroadcasters())
        add(saved);
    for (const QString &neighbour : ArpTable::candidateAddresses(arpText))
        add(baseAddress(neighbour));

    for (const QString &address : std::as_const(m_knownBroadcasters)) {
        // Start runs every frame cycle while nothing plays; a probe still
        // waiting for its answer is not sent again.
        if (m_inFlight.value(address) > 0)
            continue;
        qCInfo(lcBroadcaster, "sending request to %s", qUtf8Printable(address));
        probe(address);
    }
    saveBroadcasters();
}

void CoverlumeBroadcasterHelper::saveBroadcasters()
{
    if (!m_defaults)
        return;
    QVariantList entries;
    for (const QString &address : std::as_const(m_knownBroadcasters))
        entries << address;
    if (m_defaults->arrayValue(kKnownBroadcastersKey) == entries)
        return;
    m_defaults->set(kKnownBroadcastersKey, entries);
    m_defaults->synchronize();
}

QNetworkAccessManager &CoverlumeBroadcasterHelper::manager()
{
    if (!m_manager) {
        m_manager = new QNetworkAccessManager(m_context);
        m_manager->setProxy(QNetworkProxy::NoProxy); // broadcasters are on the LAN
        QObject::connect(m_manager, &QNetworkAccessManager::authenticationRequired,
                         [](QNetworkReply *, QAuthenticator *challenge) {
                             // No credential is offered: the refusal ends the exchange.
                             qCInfo(lcBroadcaster,
                                    "received authentication challenge, error:%s, proposedCredential user:%s",
                                    "(null)", qUtf8Printable(challenge->user()));
                         });
    }
    return *m_manager;
}

void CoverlumeBroadcasterHelper::probe(const QString &address)
{
    auto *exchange = new CoverlumeBroadcasterHelperURL(this, manager(), m_context);
    ++m_inFlight[address];
    QObject::connect(exchange, &CoverlumeBroadcasterHelperURL::ended, m_context,
                     [this](const QString &ended) {
                         if (--m_inFlight[ended] <= 0)
                             m_inFlight.remove(ended);
                     });
    exchange->sendGetRequestTo(address);
}

void CoverlumeBroadcasterHelper::helperURLDidReceiveData(CoverlumeBroadcasterHelperURL *,
                                                         const QHash<QString, QString> &fields,
                                                         const QString &fromURL)
{
    const QString previousTrack = m_track;
    m_track.clear();
    m_artist.clear();
    m_album.clear();
    m_bitrate.clear();
    m_bitdepth.clear();
    m_samplerate.clear();
    m_kind.clear();
    m_bookmark = m_duration = m_rating = 0;
    m_loved = m_disliked = false;

    auto text = [&fields](const char *key, QString &field) {
        const auto found = fields.constFind(QLatin1String(key));
        if (found != fields.constEnd() && !found->isEmpty())
            field = *found;
    };
    auto number = [&fields](const char *key, qint64 &field) {
        const auto found = fields.constFind(QLatin1String(key));
        if (found == fields.constEnd())
            return false;
        field = BroadcastText::integerValue(*found);
        return true;
    };
    auto flag = [&fields](const char *key, bool &field) {
        const auto found = fields.constFind(QLatin1String(key));
        if (found != fields.constEnd())
            field = BroadcastText::booleanValue(*found);
    };

    text("track", m_track);
    if (!m_track.isEmpty())
        setKnownBroadcaster(fromURL);
    text("artist", m_artist);
    text("album", m_album);
    text("spotifyid", m_spotifyID);
    text("bitrate", m_bitrate);
    text("bitdepth", m_bitdepth);
    text("samplerate", m_samplerate);
    text("kind", m_kind);
    text("player", m_player);
    if (number("bookmark", m_bookmark))
        m_lastBookmarkMs = nowMs();
    number("duration", m_duration);
    number("rating", m_rating);
    number("popularity", m_popularity);
    flag("loved", m_loved);
    flag("disliked", m_disliked);

    if (previousTrack != m_track)
        m_center->post(playerInfoNotification);
}

void CoverlumeBroadcasterHelper::helperURLReceivedNoData(CoverlumeBroadcasterHelperURL *,
                                                         const QString &fromURL)
{
    if (m_knownBroadcaster.isEmpty() || fromURL != m_knownBroadcaster)
        return;
    const QString previousTrack = m_track;
    m_track.clear();
    m_artist.clear();
    m_album.clear();
    m_spotifyID.clear();
    m_bitrate.clear();
    m_bitdepth.clear();
    m_samplerate.clear();
    m_kind.clear();
    m_bookmark = m_duration = m_rating = 0;
    m_loved = m_disliked = false;
    setKnownBroadcaster(QString());
    qCInfo(lcBroadcaster, "lost the broadcaster %s", qUtf8Printable(fromURL));
    if (!previousTrack.isEmpty())
        m_center->post(playerInfoNotification);
}

void CoverlumeBroadcasterHelper::maintenanceLoop()
{
    const auto interval = std::chrono::milliseconds(m_options.pollIntervalMs);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_sleepLock);
            if (m_wake.wait_for(lock, interval, [this] { return m_stopping; }))
                return;
        }
        bool known = false;
        {
            QMutexLocker locker(&m_knownLock);
            known = !m_knownBroadcaster.isEmpty();
        }
        if (!known)
            continue;
        // The exchange must be made on the main thread to get its events
        // there; wait until it is sent, but give way to a stop request.
        auto sent = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(m_context, [this, sent] {
            pollKnownBroadcaster();
            sent->release();
        }, Qt::QueuedConnection);
        for (;;) {
            if (sent->tryAcquire(1, 100))
                break;
            std::lock_guard<std::mutex> lock(m_sleepLock);
            if (m_stopping)
                return;
        }
    }
}

void CoverlumeBroadcasterHelper::pollKnownBroadcaster()
{
    // Read again here: the broadcaster may have been lost meanwhile.
    if (m_knownBroadcaster.isEmpty())
        return;
    probe(m_knownBroadcaster);
}

std::optional<QByteArray> CoverlumeBroadcasterHelper::fetch(const QString &path, qint64 maxBytes)
{
    if (!m_fetcher)
        m_fetcher = std::make_unique<BroadcasterFetcher>();
    return m_fetcher->fetch(m_knownBroadcaster + path, maxBytes);
}

int CoverlumeBroadcasterHelper::syncRequestsSent() const
{
    return m_fetcher ? m_fetcher->requestsSent() : 0;
}

QByteArray CoverlumeBroadcasterHelper::getArtwork()
{
    if (m_knownBroadcaster.isEmpty())
        return {};
    const std::optional<QByteArray> body = fetch(QStringLiteral("/artwork"), BroadcasterRequest::maxArtworkBytes);
    if (!body || body->isEmpty()) {
        qCInfo(lcBroadcaster, "data is nil");
        return {};
    }
    return *body;
}

void CoverlumeBroadcasterHelper::sendCommand(const QString &path)
{
    if (m_knownBroadcaster.isEmpty())
        return;
    fetch(path, BroadcasterRequest::maxTextBodyBytes); // the answer means nothing
}

void CoverlumeBroadcasterHelper::sendPlayPause()
{
    if (m_knownBroadcaster.isEmpty())
        return;
    qCInfo(lcBroadcaster, "sending request: %s", qUtf8Printable(m_knownBroadcaster + QStringLiteral("/playpause")));
    sendCommand(QStringLiteral("/playpause"));
}

void CoverlumeBroadcasterHelper::sendPrev() { sendCommand(QStringLiteral("/prev")); }
void CoverlumeBroadcasterHelper::sendNext() { sendCommand(QStringLiteral("/next")); }
void CoverlumeBroadcasterHelper::sendVolumeUp() { sendCommand(QStringLiteral("/volumeup")); }
void CoverlumeBroadcasterHelper::sendVolumeDown() { sendCommand(QStringLiteral("/volumedown")); }
