#include "players/mpris/MprisPlayer.h"

#include "platform/DBusValue.h"
#include "platform/Log.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <algorithm>
#include <atomic>
#include <limits>
#include <time.h>

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// Metadata with art as a data address can be large; beyond this it is dropped.
constexpr qint64 kPropertiesBudget = 32 * 1024 * 1024;

QVariantMap mapOf(const QVariant &value)
{
    QVariantMap map;
    if (value.canConvert<QDBusArgument>() && value.typeId() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        if (argument.currentType() != QDBusArgument::MapType)
            return {};
        argument >> map;
    } else {
        map = value.toMap();
    }
    return DBusValue::plainMap(map, kPropertiesBudget);
}

QVariant unwrap(const QVariant &value)
{
    if (value.typeId() == qMetaTypeId<QDBusVariant>())
        return value.value<QDBusVariant>().variant();
    return value;
}

std::optional<qint64> microseconds(const QVariant &value)
{
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::Double: {
        const double d = value.toDouble(&ok);
        if (!ok || !(d >= 0) || d > 1e15)
            return std::nullopt;
        return qint64(d);
    }
    default:
        return std::nullopt;
    }
}

} // namespace

MprisPlayer::MprisPlayer(const QDBusConnection &connection, const QString &busName,
                         const QString &owner, QNetworkAccessManager *network,
                         ArtCandidates candidates, QObject *parent)
    : QObject(parent), m_connection(connection), m_busName(busName),
      m_owner(owner.isEmpty() ? busName : owner), m_art(network, this),
      m_candidates(std::move(candidates))
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &MprisPlayer::settleTick);
    // Signals are matched on the owner's unique name: the well-known name
    // is only resolved by the bus library later, and signals sent before
    // that would be lost.
    m_connection.connect(m_owner, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                         SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    m_connection.connect(m_owner, kPath, kPlayerInterface, QStringLiteral("Seeked"), this,
                         SLOT(onSeeked(qlonglong)));
}

namespace {

std::atomic<qint64> skippedNs{0};
std::atomic<qint64> frozenNs{-1};
constexpr qint64 kNsPerMs = 1'000'000;

qint64 clockNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

} // namespace

qint64 MprisPlayer::monotonicNs()
{
    const qint64 frozen = frozenNs.load(std::memory_order_relaxed);
    return (frozen >= 0 ? frozen : clockNs()) + skippedNs.load(std::memory_order_relaxed);
}

void MprisPlayer::skipTimeForTesting(qint64 ms)
{
    skippedNs.fetch_add(ms * kNsPerMs, std::memory_order_relaxed);
}

void MprisPlayer::freezeTimeForTesting(bool frozen)
{
    frozenNs.store(frozen ? clockNs() : -1, std::memory_order_relaxed);
}

qint64 MprisPlayer::positionUs() const
{
    return m_clock.positionUs(monotonicNs());
}

qint64 MprisPlayer::lastPlayingMs() const
{
    if (m_state == PlayState::Playing)
        return monotonicNs() / 1'000'000;
    return m_lastPlayingNs < 0 ? -1 : m_lastPlayingNs / 1'000'000;
}

void MprisPlayer::loadAsync()
{
    const QString interfaces[2] = {kRootInterface, kPlayerInterface};
    for (int i = 0; i < 2; ++i) {
        QDBusMessage message = QDBusMessage::createMethodCall(m_busName, kPath, kProperties,
                                                              QStringLiteral("GetAll"));
        message << interfaces[i];
        m_loads[i] = m_connection.asyncCall(message, loadTimeoutMs);
        m_loadApplied[i] = false;
        auto *watcher = new QDBusPendingCallWatcher(m_loads[i], this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, i] {
            watcher->deleteLater();
            if (m_loadApplied[i])
                return;
            applyLoad(i);
            // A late identity may change what the player stands for.
            if (i == 0)
                changed();
        });
    }
}

bool MprisPlayer::takeLoaded()
{
    for (int i = 0; i < 2; ++i) {
        if (!m_loadApplied[i] && m_loads[i].isFinished())
            applyLoad(i);
    }
    // A first reading needs no settling: it is what the display starts with.
    m_settle.stop();
    m_settleStartNs = -1;
    m_settledState = m_state;
    return m_loadApplied[0] && m_loadApplied[1];
}

void MprisPlayer::applyLoad(int index)
{
    m_loadApplied[index] = true;
    const QDBusMessage reply = m_loads[index].reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCInfo(lcPlayers, "%s did not answer: %s", qUtf8Printable(m_busName),
               qUtf8Printable(reply.errorMessage().left(200)));
        return;
    }
    const QVariantMap properties = mapOf(reply.arguments().constFirst());
    index == 0 ? applyRoot(properties) : applyPlayer(properties);
}

void MprisPlayer::getProperty(const QString &interface, const QString &name)
{
    QDBusMessage message = QDBusMessage::createMethodCall(m_busName, kPath, kProperties,
                                                          QStringLiteral("Get"));
    message << interface << name;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(message, callTimeoutMs), this);
    const bool isPosition = interface == kPlayerInterface && name == u"Position";
    const bool isMetadata = interface == kPlayerInterface && name == u"Metadata";
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, interface, name, isPosition, isMetadata, seeks = m_seeks] {
        watcher->deleteLater();
        if (isMetadata)
            m_metadataOut = false;
        if (isPosition) {
            m_pollOut = false;
            if (seeks != m_seeks)
                return; // answered before the player moved: the seek's own value stands
        }
        const QDBusMessage reply = watcher->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return; // a late or failed read changes nothing
        const QVariant value = DBusValue::plainValue(unwrap(reply.arguments().constFirst()));
        if (interface == kRootInterface)
            applyRoot({{name, value}});
        else
            applyPlayer({{name, value}});
    });
}

void MprisPlayer::pollPosition()
{
    if (m_pollOut)
        return;
    m_pollOut = true;
    getProperty(kPlayerInterface, QStringLiteral("Position"));
}

void MprisPlayer::pollMetadata()
{
    if (m_metadataOut)
        return;
    m_metadataOut = true;
    m_metadataReadNs = monotonicNs();
    getProperty(kPlayerInterface, QStringLiteral("Metadata"));
}

void MprisPlayer::poll()
{
    pollPosition();
    if (m_metadataReadNs < 0 || monotonicNs() - m_metadataReadNs >= metadataPollMs * kNsPerMs)
        pollMetadata();
}

void MprisPlayer::call(const QString &method)
{
    QDBusMessage message = QDBusMessage::createMethodCall(m_busName, kPath, kPlayerInterface, method);
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(message, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
}

void MprisPlayer::onPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                      const QStringList &invalidated)
{
    if (m_signalsSeen < std::numeric_limits<int>::max())
        ++m_signalsSeen;
    QVariantMap properties;
    for (auto it = changed.cbegin(); it != changed.cend(); ++it)
        properties.insert(it.key(), unwrap(it.value()));
    if (interface == kRootInterface)
        applyRoot(DBusValue::plainMap(properties, kPropertiesBudget));
    else if (interface == kPlayerInterface)
        applyPlayer(properties);
    else
        return;
    // Properties reported only by name are read again.
    for (const QString &name : invalidated.mid(0, 16))
        getProperty(interface, name);
}

void MprisPlayer::onSeeked(qlonglong positionUs)
{
    ++m_seeks;
    m_clock.jumpTo(positionUs, monotonicNs());
    // Players that guess a length at first correct it by now, often silently.
    pollMetadata();
}

void MprisPlayer::applyRoot(const QVariantMap &properties)
{
    const QVariant identity = properties.value(QStringLiteral("Identity"));
    if (identity.typeId() == QMetaType::QString)
        m_identity = identity.toString().left(256);
}

void MprisPlayer::applyPlayer(const QVariantMap &properties)
{
    const qint64 now = monotonicNs();
    if (properties.contains(QStringLiteral("Rate"))) {
        bool ok = false;
        const double rate = properties.value(QStringLiteral("Rate")).toDouble(&ok);
        m_clock.setRate(ok ? rate : 1.0, now);
    }
    if (properties.contains(QStringLiteral("Metadata"))) {
        m_metadataReadNs = now;
        applyMetadata(mapOf(properties.value(QStringLiteral("Metadata"))));
    }
    if (properties.contains(QStringLiteral("PlaybackStatus"))) {
        const QVariant status = properties.value(QStringLiteral("PlaybackStatus"));
        applyStatus(status.typeId() == QMetaType::QString ? status.toString() : QString());
    }
    if (properties.contains(QStringLiteral("Position"))) {
        if (const auto position = microseconds(properties.value(QStringLiteral("Position")))) {
            m_clock.reading(*position, now);
            // Past the end of the track: the length it gave may be wrong.
            const qint64 length = m_track.lengthUs;
            if (length > 0 && *position > length && m_lengthPassedUs != length) {
                m_lengthPassedUs = length;
                pollMetadata();
            }
        }
    }
}

void MprisPlayer::applyStatus(const QString &status)
{
    PlayState state = PlayState::Stopped;
    if (status == u"Playing")
        state = PlayState::Playing;
    else if (status == u"Paused")
        state = PlayState::Paused;
    if (m_state == PlayState::Playing || state == PlayState::Playing)
        m_lastPlayingNs = monotonicNs();
    if (state == m_state)
        return;
    const bool leftPlaying = m_state == PlayState::Playing;
    m_state = state;
    m_clock.setPlaying(state == PlayState::Playing, monotonicNs());
    if (state == PlayState::Playing)
        pollPosition();
    changed(leftPlaying);
}

void MprisPlayer::applyMetadata(const QVariantMap &metadata)
{
    const MprisTrack track = MprisTrack::fromMetadata(metadata);
    if (track == m_track)
        return; // re-sent unchanged, as some players do every second
    const bool newTrack = !track.sameTrackAs(m_track);
    const bool newArt = newTrack || track.artUrl != m_track.artUrl;
    m_track = track;
    m_clock.setLength(track.lengthUs);
    if (newTrack) {
        m_seeksBeforeTrack = m_seeks;
        m_lengthPassedUs = -1;
        m_clock.jumpTo(0, monotonicNs());
        pollPosition();
    }
    if (newArt) {
        m_artBytes.clear();
        m_artAddress.clear();
        fetchArt();
    }
    if (newTrack || newArt)
        changed();
}

void MprisPlayer::fetchArt()
{
    m_artRequested = m_track.artUrl;
    if (m_track.artUrl.isEmpty()) {
        m_art.cancel();
        return;
    }
    const QStringList candidates = m_candidates ? m_candidates(m_track.artUrl) : QStringList{m_track.artUrl};
    m_art.fetch(candidates, [this](const QByteArray &bytes, const QString &address) {
        m_artBytes = bytes;
        m_artAddress = address;
        // A settling waiting for this art may end now.
        settleTick();
    });
}

void MprisPlayer::changed(bool leftPlaying)
{
    const qint64 now = monotonicNs();
    if (m_settleStartNs < 0) {
        m_settleStartNs = now;
        m_holdUntilNs = -1;
    }
    m_lastChangeNs = now;
    // The hold may outlast the usual limit, but only by itself: a player
    // that keeps flipping is still reported.
    if (leftPlaying)
        m_holdUntilNs = std::min(now, m_settleStartNs + maxSettleMs * kNsPerMs) + flipHoldMs * kNsPerMs;
    settleTick();
}

qint64 MprisPlayer::settleDueNs() const
{
    const qint64 limit = m_settleStartNs + maxSettleMs * kNsPerMs;
    // Quiet for settleMs, or the new art read, within the limit; then the
    // end of a hold for a flip.
    const qint64 quiet = m_art.isBusy() ? limit : std::min(limit, m_lastChangeNs + settleMs * kNsPerMs);
    return std::max(quiet, m_holdUntilNs);
}

void MprisPlayer::settleTick()
{
    if (m_settleStartNs < 0)
        return;
    const qint64 waitNs = settleDueNs() - monotonicNs();
    if (waitNs > 0) {
        m_settle.start(int((waitNs + kNsPerMs - 1) / kNsPerMs));
        return;
    }
    m_settle.stop();
    m_settleStartNs = -1;
    m_holdUntilNs = -1;
    m_settledState = m_state;
    Q_EMIT settled();
}
