#include "players/mpris/MprisBridge.h"

#include "platform/DefaultsStore.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/SessionBus.h"
#include "players/PlayerProfile.h"
#include "players/mpris/MprisPlayer.h"
#include "players/mpris/PlayerMapping.h"
#include "players/mpris/SystemVolume.h"

#include <QCryptographicHash>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDeadlineTimer>
#include <QThread>
#include <QFile>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

namespace {

using Op = ScriptVocabulary::Operation;

const QString kSpotifyArtworkHost = QStringLiteral("https://open.spotify.com");
const QString kSpotifyImageHost = QStringLiteral("https://i.scdn.co");

QString hostSetting(const DefaultsStore &defaults, const QString &key, const QString &fallback)
{
    QString host = defaults.stringValue(key).trimmed();
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    return host.isEmpty() ? fallback : host;
}

QString signatureOf(const MprisPlayer &player)
{
    const MprisTrack &t = player.track();
    return PlayStates::word(player.state()) + QChar(0x1f) + t.trackId + QChar(0x1f) + t.title
        + QChar(0x1f) + t.artistText() + QChar(0x1f) + t.album;
}

ScriptResult miss(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return ScriptResult();
}

// 0–1 as MPRIS means it; some players send 0–5 instead.
double unitRating(double rating)
{
    return rating > 1.0 ? std::min(rating, 5.0) / 5.0 : rating;
}

} // namespace

MprisBridge::MprisBridge(DefaultsStore &defaults, NotificationCenter *center, QObject *parent)
    : MprisBridge(defaults, center, sessionBusIfReachable(), parent)
{
}

MprisBridge::MprisBridge(DefaultsStore &defaults, NotificationCenter *center,
                         const QDBusConnection &connection, QObject *parent)
    : QObject(parent), m_defaults(defaults), m_center(center), m_connection(connection),
      m_network(std::make_unique<QNetworkAccessManager>())
{
    m_volume.setMaxThreadCount(1);
    m_poll.setInterval(positionPollMs);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        for (MprisPlayer *player : std::as_const(m_players)) {
            if (player->state() == PlayState::Playing)
                player->poll();
        }
    });
    start();
}

MprisBridge::~MprisBridge() = default;

void MprisBridge::start()
{
    if (!m_connection.isConnected()) {
        qCInfo(lcPlayers, "no session bus: no players to follow");
        return;
    }
    m_connection.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                         QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"),
                         this, SLOT(onNameOwnerChanged(QString, QString, QString)));
    // Every question goes out at once; the first fill waits for the
    // answers within one budget, and players that answer later join as
    // their answers come.
    const QDeadlineTimer budget(firstFillMs);
    const QDBusPendingCall list = busCall(QStringLiteral("ListNames"), {});
    waitForAnswers({list}, budget);
    QStringList names;
    if (list.isFinished() && list.reply().type() == QDBusMessage::ReplyMessage)
        names = QDBusPendingReply<QStringList>(list).value();
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString &name) { return PlayerMapping::suffixOf(name).isEmpty(); }),
                names.end());
    names = names.mid(0, maxPlayers);

    QList<QDBusPendingCall> owners, processes;
    for (const QString &name : std::as_const(names)) {
        owners << busCall(QStringLiteral("GetNameOwner"), name);
        processes << busCall(QStringLiteral("GetConnectionUnixProcessID"), name);
    }
    waitForAnswers(owners + processes, budget);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QDBusPendingReply<QString> owner(owners.at(i));
        const QDBusPendingReply<quint32> process(processes.at(i));
        addPlayer(names.at(i), owner.isFinished() && owner.isValid() ? owner.value() : QString(),
                  process.isFinished() && process.isValid() ? process.value() : 0);
    }

    QList<QDBusPendingCall> loads;
    for (MprisPlayer *player : std::as_const(m_players))
        loads << player->pendingLoads();
    waitForAnswers(loads, budget);
    int late = 0;
    for (MprisPlayer *player : std::as_const(m_players))
        late += player->takeLoaded() ? 0 : 1;
    if (late)
        qCInfo(lcPlayers, "%d of %lld players did not answer in %d ms; they join when they do", late,
               static_cast<long long>(m_players.size()), firstFillMs);
    // What the display starts with needs no notification: it detects its
    // player itself, and a post now would cut its first cycle short.
    choose(false);
    m_poll.start();
}

QDBusPendingCall MprisBridge::busCall(const QString &method, const QString &name) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), method);
    if (!name.isEmpty())
        message << name;
    return m_connection.asyncCall(message, firstFillMs);
}

void MprisBridge::waitForAnswers(const QList<QDBusPendingCall> &calls, const QDeadlineTimer &budget)
{
    // The bus delivers answers on a thread of its own, so they are seen
    // here without running the event loop (which would let the display's
    // timers in before the bridge is built).
    auto pending = [&calls] {
        return std::any_of(calls.cbegin(), calls.cend(), [](const QDBusPendingCall &c) { return !c.isFinished(); });
    };
    while (pending() && !budget.hasExpired())
        QThread::msleep(1);
}

void MprisBridge::addPlayer(const QString &busName, const QString &owner, quint32 process)
{
    if (m_players.contains(busName) || m_players.size() >= maxPlayers)
        return;
    m_processes.insert(busName, process);
    auto *player = new MprisPlayer(m_connection, busName, owner, m_network.get(),
                                   [this](const QString &url) { return artCandidates(url); }, this);
    m_players.insert(busName, player);
    connect(player, &MprisPlayer::settled, this, [this, player] { onSettled(player); });
    player->loadAsync();
}

void MprisBridge::askProcessOf(const QString &busName, const QString &owner)
{
    auto *watcher = new QDBusPendingCallWatcher(busCall(QStringLiteral("GetConnectionUnixProcessID"), owner), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, busName, owner] {
        watcher->deleteLater();
        const QDBusPendingReply<quint32> process(*watcher);
        const MprisPlayer *player = m_players.value(busName);
        // Still the same owner's name: the answer is about this player.
        if (!player || !process.isValid() || player->owner() != owner)
            return;
        m_processes.insert(busName, process.value());
        choose();
    });
}

void MprisBridge::removePlayer(const QString &busName)
{
    MprisPlayer *player = m_players.take(busName);
    m_processes.remove(busName);
    if (!player)
        return;
    player->disconnect(this);
    player->deleteLater();
}

void MprisBridge::onNameOwnerChanged(const QString &name, const QString &oldOwner,
                                     const QString &newOwner)
{
    if (PlayerMapping::suffixOf(name).isEmpty())
        return;
    if (!oldOwner.isEmpty())
        removePlayer(name);
    if (!newOwner.isEmpty()) {
        addPlayer(name, newOwner, 0);
        askProcessOf(name, newOwner);
    }
    choose();
}

QStringList MprisBridge::artCandidates(const QString &artUrl) const
{
    static const QRegularExpression spotify(
        QStringLiteral("^https?://(?:open\\.spotify\\.com|i\\.scdn\\.co)/image/([A-Za-z0-9]+)$"));
    const auto match = spotify.match(artUrl);
    if (!match.hasMatch())
        return {artUrl};
    const QString id = match.captured(1);
    const QString artworkHost = hostSetting(m_defaults, QStringLiteral("spotifyArtworkHost"), kSpotifyArtworkHost);
    const QString imageHost = hostSetting(m_defaults, QStringLiteral("spotifyImageHost"), kSpotifyImageHost);
    const QString reported = artUrl.contains(QLatin1String("i.scdn.co")) ? imageHost : artworkHost;
    QStringList candidates{reported + QStringLiteral("/image/") + id};
    const QString fallback = imageHost + QStringLiteral("/image/") + id;
    if (!candidates.contains(fallback))
        candidates << fallback;
    return candidates;
}

bool MprisBridge::sameProcessPlayer(const MprisPlayer *a, const MprisPlayer *b) const
{
    const quint32 processA = m_processes.value(a->busName());
    const quint32 processB = m_processes.value(b->busName());
    const bool sameIdentity = !a->identity().isEmpty() && a->identity() == b->identity();
    const QString suffixA = PlayerMapping::suffixOf(a->busName());
    const QString suffixB = PlayerMapping::suffixOf(b->busName());
    // "vlc" and "vlc.instance42"; two instance forms are two players.
    const bool instanceForm = PlayerMapping::matches(suffixA, b->busName(), QString())
        || PlayerMapping::matches(suffixB, a->busName(), QString());
    if (processA && processB)
        return processA == processB && (sameIdentity || instanceForm);
    return sameIdentity && instanceForm;
}

QList<QList<MprisPlayer *>> MprisBridge::groups() const
{
    QStringList buses = m_players.keys();
    std::sort(buses.begin(), buses.end());
    QList<QList<MprisPlayer *>> groups;
    for (const QString &bus : std::as_const(buses)) {
        MprisPlayer *player = m_players.value(bus);
        auto same = std::find_if(groups.begin(), groups.end(), [&](const QList<MprisPlayer *> &group) {
            return sameProcessPlayer(group.constFirst(), player);
        });
        if (same == groups.end())
            groups.append({player});
        else
            same->append(player);
    }
    return groups;
}

MprisPlayer *MprisBridge::lead(const QList<MprisPlayer *> &group) const
{
    // A player may answer on every name but signal on one only: the names
    // it has signalled on are the ones to follow. Of those, the one
    // followed stays; else the first running, else the first.
    QList<MprisPlayer *> signalling;
    for (MprisPlayer *p : group) {
        if (p->signalsSeen() > 0)
            signalling << p;
    }
    const QList<MprisPlayer *> &from = signalling.isEmpty() ? group : signalling;
    for (MprisPlayer *p : from) {
        for (const QString &bus : m_chosen) {
            if (bus == p->busName())
                return p;
        }
    }
    const auto running = std::find_if(from.begin(), from.end(), [](const MprisPlayer *p) { return p->isRunning(); });
    return running != from.end() ? *running : from.constFirst();
}

MprisPlayer *MprisBridge::pick(const QList<MprisPlayer *> &candidates, const QString &current) const
{
    MprisPlayer *followed = nullptr;
    for (MprisPlayer *p : candidates) {
        if (p->busName() == current)
            followed = p;
    }
    if (followed && followed->state() == PlayState::Playing)
        return followed;
    for (MprisPlayer *p : candidates) {
        if (p->state() == PlayState::Playing)
            return p;
    }
    // Nothing plays: the one that played last, the followed one on a tie,
    // and at start-up a paused player with a track.
    MprisPlayer *best = followed;
    auto rank = [](const MprisPlayer *p) {
        return std::make_pair(p->lastPlayingMs(),
                              p->state() == PlayState::Paused && !p->track().isEmpty() ? 1 : 0);
    };
    for (MprisPlayer *p : candidates) {
        if (!best || rank(p) > rank(best))
            best = p;
    }
    return best;
}

void MprisBridge::choose(bool announce)
{
    const PlayerMapping mapping(m_defaults.object(QStringLiteral("playerMapping")),
                                m_defaults.object(QStringLiteral("ignoredPlayers")));
    QMap<QString, QList<MprisPlayer *>> byName;
    for (const QList<MprisPlayer *> &group : groups()) {
        MprisPlayer *player = lead(group);
        const QString name = mapping.nameFor(player->busName(), player->identity());
        if (!name.isEmpty() && player->isRunning())
            byName[name] << player;
    }
    QHash<QString, QString> chosen;
    for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
        if (MprisPlayer *player = pick(it.value(), m_chosen.value(it.key())))
            chosen.insert(it.key(), player->busName());
    }
    const QHash<QString, QString> previous = std::exchange(m_chosen, chosen);
    QSet<QString> names(previous.keyBegin(), previous.keyEnd());
    for (auto it = chosen.cbegin(); it != chosen.cend(); ++it)
        names.insert(it.key());
    for (const QString &name : std::as_const(names)) {
        if (previous.value(name) == chosen.value(name))
            continue;
        // Another name of the same player, showing the same: nothing to tell.
        const MprisPlayer *before = m_players.value(previous.value(name));
        const MprisPlayer *after = m_players.value(chosen.value(name));
        if (before && after && sameProcessPlayer(before, after) && m_posted.value(name) == signatureOf(*after))
            continue;
        logAt(m_defaults, 1, lcPlayers, "%s is now played by %s", qUtf8Printable(name),
               chosen.value(name).isEmpty() ? "nothing" : qUtf8Printable(chosen.value(name)));
        MprisPlayer *player = m_players.value(chosen.value(name));
        if (announce)
            post(name, player);
        else
            m_posted.insert(name, player ? signatureOf(*player) : QString());
    }
}

void MprisBridge::onSettled(MprisPlayer *player)
{
    choose();
    for (auto it = m_chosen.cbegin(); it != m_chosen.cend(); ++it) {
        if (it.value() == player->busName() && m_posted.value(it.key()) != signatureOf(*player))
            post(it.key(), player);
    }
}

void MprisBridge::post(const QString &name, MprisPlayer *player)
{
    m_posted.insert(name, player ? signatureOf(*player) : QString());
    const QString notification = notificationFor(name);
    if (m_center && !notification.isEmpty())
        m_center->post(notification);
}

QString MprisBridge::notificationFor(const QString &name)
{
    const PlayerProfile *profile = PlayerProfile::find(name);
    return profile ? profile->notification : QString();
}

MprisPlayer *MprisBridge::standInPlayer(const QString &name) const
{
    const auto it = m_chosen.constFind(name);
    return it == m_chosen.constEnd() ? nullptr : m_players.value(it.value());
}

PlayerFacts MprisBridge::playerFacts(const QString &application) const
{
    PlayerFacts facts;
    // Identity, seeks and the no-player reason.
    if (!isOnBus())
        facts.noPlayerReason = QStringLiteral("No session bus: start Coverlume from your desktop session");
    const MprisPlayer *player = standInPlayer(application);
    if (!player)
        return facts;
    facts.identity = player->identity();
    facts.seeks = player->seeksInTrack();
    // The current track's file and its position, from the position clock.
    if (!player->track().isEmpty()) {
        facts.location = player->track().url;
        facts.positionMs = player->positionUs() / 1000;
    }
    return facts;
}

QString MprisBridge::standIn(const QString &name) const
{
    return m_chosen.value(name);
}

QList<MprisBridge::PlayerInfo> MprisBridge::players() const
{
    const PlayerMapping mapping(m_defaults.object(QStringLiteral("playerMapping")),
                                m_defaults.object(QStringLiteral("ignoredPlayers")));
    QList<PlayerInfo> infos;
    for (const QList<MprisPlayer *> &group : groups()) {
        const MprisPlayer *player = lead(group);
        PlayerInfo info;
        info.busName = player->busName();
        info.identity = player->identity();
        info.standsFor = mapping.nameFor(info.busName, info.identity);
        info.ignored = mapping.isIgnored(info.busName, info.identity);
        info.followed = !info.standsFor.isEmpty() && m_chosen.value(info.standsFor) == info.busName;
        info.signalsSeen = player->signalsSeen();
        info.state = player->state();
        for (const MprisPlayer *other : group) {
            if (other != player)
                info.otherNames << other->busName();
        }
        const MprisPlayer *followed = standInPlayer(info.standsFor);
        if (info.ignored)
            info.reason = QStringLiteral("ignored by ignoredPlayers");
        else if (info.standsFor.isEmpty())
            info.reason = QStringLiteral("skipped: mirrors other players");
        else if (info.followed)
            info.reason = info.state == PlayState::Playing ? QStringLiteral("followed: playing")
                                                           : QStringLiteral("followed: played last");
        else if (!player->isRunning())
            info.reason = QStringLiteral("not followed: stopped, no track");
        else if (followed && followed->state() == PlayState::Playing)
            info.reason = QStringLiteral("not followed: another player is playing");
        else
            info.reason = QStringLiteral("not followed: another player played last");
        infos << info;
    }
    return infos;
}

QString MprisBridge::listing(const QList<PlayerInfo> &players)
{
    QList<QStringList> rows;
    for (const PlayerInfo &info : players) {
        QString reason = info.reason;
        if (!info.otherNames.isEmpty())
            reason += QStringLiteral(" (also %1)").arg(info.otherNames.join(QStringLiteral(", ")));
        rows.append({info.busName, info.identity.isEmpty() ? QStringLiteral("-") : info.identity,
                     PlayStates::word(info.state),
                     info.standsFor.isEmpty() ? QStringLiteral("-") : QStringLiteral("as ") + info.standsFor, reason});
    }
    QList<qsizetype> widths;
    for (const QStringList &row : std::as_const(rows)) {
        widths.resize(row.size());
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    }
    QString text;
    for (const QStringList &row : std::as_const(rows)) {
        QString line;
        for (qsizetype c = 0; c + 1 < row.size(); ++c)
            line += row[c].leftJustified(widths[c] + 3);
        text += line + row.constLast() + QLatin1Char('\n');
    }
    return text;
}

bool MprisBridge::compile(const QString &source)
{
    return ScriptVocabulary::find(source) != nullptr;
}

ScriptResult MprisBridge::execute(const QString &source, QString *error)
{
    const ScriptVocabulary::Entry *entry = ScriptVocabulary::find(source);
    if (!entry)
        return miss(error, QStringLiteral("not a script the players understand"));
    switch (entry->operation) {
    case Op::ProcessList: {
        ScriptResult::List names;
        for (const PlayerProfile &profile : PlayerProfile::all()) {
            if (m_chosen.contains(profile.name))
                names << ScriptResult::text(profile.name);
        }
        return ScriptResult::list(names);
    }
    case Op::VolumeUp:
    case Op::VolumeDown: {
        if (!SystemVolume::hasTool())
            return miss(error, QStringLiteral("the output volume cannot be changed here"));
        // The sound server's tool may take its time: it runs on the
        // bridge's own thread, one step after the other.
        const bool up = entry->operation == Op::VolumeUp;
        m_volume.start([up] { SystemVolume::step(up); });
        return ScriptResult();
    }
    default:
        break;
    }
    const MprisPlayer *player = standInPlayer(entry->receiver);
    if (!player)
        return miss(error, QStringLiteral("%1 is not running").arg(entry->receiver));
    return answer(*entry, *player, error);
}

QString MprisBridge::keptArtAddress(const MprisPlayer &player)
{
    if (player.artBytes().isEmpty())
        return QString();
    if (!m_artDir) {
        m_artDir = std::make_unique<QTemporaryDir>();
        if (!m_artDir->isValid()) {
            m_artDir.reset();
            return QString();
        }
    }
    // Named by content: players that reuse one file name for every cover
    // still get a copy per picture.
    const QString name = QString::fromLatin1(
        QCryptographicHash::hash(player.artBytes(), QCryptographicHash::Sha1).toHex());
    const QString path = m_artDir->filePath(name);
    if (!QFile::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(player.artBytes()) != player.artBytes().size())
            return QString();
    }
    return QUrl::fromLocalFile(path).toString();
}

ScriptResult MprisBridge::answer(const ScriptVocabulary::Entry &entry, const MprisPlayer &player,
                                 QString *error)
{
    const PlayerProfile *profile = PlayerProfile::find(entry.receiver);
    const PlayerTable::Facts *facts = profile ? profile->facts : nullptr;
    const MprisTrack &track = player.track();
    const QString &name = entry.receiver;
    switch (entry.operation) {
    case Op::Status:
    case Op::TrackTitle:
        return profile ? profile->naturalStatus(player.state(), track.title) : ScriptResult();
    case Op::Name:
        // Radium's one line is "artist - title", split again by the display.
        if (facts && facts->id == PlayerId::Radium && !track.artists.isEmpty())
            return ScriptResult::text(track.artistText() + QStringLiteral(" - ") + track.title);
        return ScriptResult::text(track.title);
    case Op::Artist:
        return ScriptResult::text(track.artistText());
    case Op::Album:
    case Op::Station:
        return ScriptResult::text(track.album);
    case Op::Duration:
        if (profile && profile->duration == PlayerProfile::DurationUnit::Milliseconds)
            return ScriptResult::integer(track.lengthUs / 1000);
        return ScriptResult::integer(track.lengthUs / 1'000'000);
    case Op::Position:
        return ScriptResult::integer(player.positionUs() / 1'000'000);
    case Op::Rating:
        if (!track.userRating)
            return ScriptResult::integer(0);
        // In the player's own scale.
        switch (facts ? facts->rating : PlayerTable::RatingStyle::None) {
        case PlayerTable::RatingStyle::Thumbs:
            return ScriptResult::integer(*track.userRating > 0 ? 1 : 0);
        case PlayerTable::RatingStyle::Stars5:
            return ScriptResult::integer(qRound(unitRating(*track.userRating) * 5));
        default:
            return ScriptResult::integer(qRound(unitRating(*track.userRating) * 100));
        }
    case Op::Popularity:
        if (!track.autoRating)
            return ScriptResult();
        return ScriptResult::integer(qRound(std::min(*track.autoRating, 1.0) * 100));
    case Op::Lyrics:
        return track.lyrics.isEmpty() ? ScriptResult() : ScriptResult::text(track.lyrics);
    case Op::PlayCount:
        return track.useCount ? ScriptResult::integer(*track.useCount) : ScriptResult();
    case Op::PlayedDate:
        return track.lastUsed ? ScriptResult::date(*track.lastUsed) : ScriptResult();
    case Op::Year:
        return track.year ? ScriptResult::integer(*track.year) : ScriptResult();
    case Op::Url:
        return track.trackId.startsWith(QLatin1String("spotify:")) ? ScriptResult::text(track.trackId)
                                                                  : ScriptResult();
    case Op::Artwork:
        // A miss must be an error: an empty success would stop the rotation.
        if (entry.argument != 1 || player.artBytes().isEmpty())
            return miss(error, QStringLiteral("no artwork"));
        return ScriptResult::bytes(player.artBytes());
    case Op::ArtworkUrl: {
        // A player whose artwork is only an address names a file of ours:
        // the MPRIS address may be one only the player can read.
        const bool addressOnly = facts && facts->artwork == PlayerTable::ArtworkSource::Address;
        const QString address = addressOnly ? keptArtAddress(player) : player.artAddress();
        if (address.isEmpty())
            return miss(error, QStringLiteral("no artwork"));
        return ScriptResult::text(address);
    }
    case Op::RandomArtwork:
        return miss(error, QStringLiteral("no library to draw artwork from"));
    case Op::PlayPause:
    case Op::Play:
    case Op::Pause:
    case Op::Next:
    case Op::Previous: {
        static const QHash<Op, QString> methods{
            {Op::PlayPause, QStringLiteral("PlayPause")}, {Op::Play, QStringLiteral("Play")},
            {Op::Pause, QStringLiteral("Pause")},         {Op::Next, QStringLiteral("Next")},
            {Op::Previous, QStringLiteral("Previous")}};
        const_cast<MprisPlayer &>(player).call(methods.value(entry.operation));
        return ScriptResult();
    }
    case Op::SetRating:
    case Op::SetLoved:
    case Op::SetDisliked:
    case Op::ThumbsUp:
    case Op::ThumbsDown:
        return miss(error, QStringLiteral("%1 cannot be rated from here").arg(name));
    default:
        // Stream title, loved, disliked, kind, bit rate, sample rate, bit
        // depth, date added: MPRIS does not tell.
        return ScriptResult();
    }
}
