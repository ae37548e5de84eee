#include "players/Scenario.h"

#include "players/PlayerProfile.h"
#include "players/ScenarioFields.h"
#include "players/ScriptVocabulary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequence>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Reads one scenario document: its structure, the players, their tracks
// and the events, on the field readers of ScenarioFields.
class Reader : public ScenarioFields
{
public:
    using ScenarioFields::ScenarioFields;

    bool read(const QJsonObject &root, Scenario *out);

private:
    bool player(const QJsonValue &value, const QString &path, Scenario::Player *out);
    bool statusAnswers(const QJsonValue &value, const QString &path, QMap<PlayState, ScriptResult> *out);
    bool track(const QJsonValue &value, const QString &path, const QString &player, Scenario::Track *out);
    bool event(const QJsonValue &value, const QString &path, const Scenario &scenario, Scenario::Event *out);
    bool checkEventTracks(Scenario *scenario, const QList<qsizetype> &fileOrder);
    bool displayEvent(const QJsonObject &o, const QString &path, Scenario::DisplayEvent *out);

    int m_trackCount = 0;
};

bool Reader::track(const QJsonValue &value, const QString &path, const QString &player, Scenario::Track *out)
{
    QJsonObject o;
    if (!object(value, path, &o))
        return false;
    if (++m_trackCount > Scenario::maxTracks)
        return fail(path, QStringLiteral("more than %1 tracks in the scenario").arg(Scenario::maxTracks));
    const QSet<QString> answered = ScriptVocabulary::trackKeys(player);
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString key = it.key();
        const QString here = at(path, key);
        if (key == u"location") {
            // Not read by a script but by the display's look-ups beside the
            // file (timed lyrics): any player may have one.
            if (!fileLocation(it.value(), here, &out->location))
                return false;
            continue;
        }
        if (!answered.contains(key)) {
            static const QSet<QString> known = [] {
                QSet<QString> keys;
                for (const PlayerProfile &profile : PlayerProfile::all())
                    keys += ScriptVocabulary::trackKeys(profile.name);
                return keys;
            }();
            if (known.contains(key))
                return fail(here, QStringLiteral("%1 has no script that reads it").arg(player));
            return fail(here, QStringLiteral("unknown key"));
        }
        const QJsonValue v = it.value();
        bool ok = true;
        if (key == u"name")
            ok = string(v, here, &out->name);
        else if (key == u"artist")
            ok = string(v, here, &out->artist);
        else if (key == u"album")
            ok = string(v, here, &out->album);
        else if (key == u"duration")
            ok = seconds(v, here, &out->durationMs);
        else if (key == u"artwork")
            ok = imageList(v, here, Scenario::maxArtworksPerTrack, &out->artworks);
        else if (key == u"artworkUrl")
            ok = artworkUrl(v, here, &out->artworkUrl);
        else if (key == u"rating")
            ok = integer(v, here, int32Min, int32Max, &out->rating);
        else if (key == u"loved")
            ok = boolean(v, here, &out->loved);
        else if (key == u"disliked")
            ok = boolean(v, here, &out->disliked);
        else if (key == u"streamTitle")
            ok = string(v, here, &out->streamTitle.emplace());
        else if (key == u"lyrics")
            ok = string(v, here, &out->lyrics);
        else if (key == u"kind")
            ok = string(v, here, &out->kind);
        else if (key == u"url")
            ok = string(v, here, &out->url);
        else if (key == u"bitRate")
            ok = integer(v, here, 0, int32Max, &out->bitRate);
        else if (key == u"sampleRate")
            ok = integer(v, here, 0, int32Max, &out->sampleRate);
        else if (key == u"bitDepth")
            ok = integer(v, here, 0, int32Max, &out->bitDepth);
        else if (key == u"year")
            ok = integer(v, here, 0, 9999, &out->year);
        else if (key == u"playCount")
            ok = integer(v, here, 0, maxJsonInteger, &out->playCount);
        else if (key == u"popularity")
            ok = integer(v, here, 0, 100, &out->popularity);
        else if (key == u"dateAdded")
            ok = date(v, here, &out->dateAdded);
        else if (key == u"playedDate")
            ok = date(v, here, &out->playedDate);
        if (!ok)
            return false;
    }
    return true;
}

bool Reader::statusAnswers(const QJsonValue &value, const QString &path, QMap<PlayState, ScriptResult> *out)
{
    QJsonObject o;
    if (!object(value, path, &o))
        return false;
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString here = at(path, it.key());
        const std::optional<PlayState> state = PlayStates::fromWord(it.key());
        if (!state)
            return fail(here, QStringLiteral("expected \"playing\", \"paused\" or \"stopped\""));
        const QJsonValue v = it.value();
        if (v.isString()) {
            out->insert(*state, ScriptResult::text(v.toString()));
        } else if (v.isBool()) {
            out->insert(*state, ScriptResult::boolean(v.toBool()));
        } else if (v.isDouble()) {
            const double number = v.toDouble();
            const bool whole = std::trunc(number) == number && std::abs(number) <= double(maxJsonInteger);
            out->insert(*state, whole ? ScriptResult::integer(qint64(number)) : ScriptResult::real(number));
        } else if (v.isNull()) {
            out->insert(*state, ScriptResult()); // the status script fails in that state
        } else {
            return fail(here, QStringLiteral("expected a text, a boolean, a number or null"));
        }
    }
    return true;
}

bool Reader::player(const QJsonValue &value, const QString &path, Scenario::Player *out)
{
    QJsonObject o;
    if (!object(value, path, &o))
        return false;
    if (!onlyKeys(o, path, {QStringLiteral("name"), QStringLiteral("processName"), QStringLiteral("running"),
                            QStringLiteral("state"), QStringLiteral("statusAnswers"), QStringLiteral("track"),
                            QStringLiteral("position"), QStringLiteral("tracks"), QStringLiteral("library")}))
        return false;
    if (!o.contains(u"name"))
        return fail(at(path, QStringLiteral("name")), QStringLiteral("missing"));
    if (!string(o.value(u"name"), at(path, QStringLiteral("name")), &out->name))
        return false;
    if (!PlayerProfile::find(out->name)) {
        return fail(at(path, QStringLiteral("name")),
                    QStringLiteral("unknown player \"%1\" (known: %2)")
                        .arg(out->name, PlayerProfile::names().join(QStringLiteral(", "))));
    }
    out->processName = out->name;
    if (o.contains(u"processName") && !name(o.value(u"processName"), at(path, QStringLiteral("processName")), &out->processName))
        return false;
    if (o.contains(u"running") && !boolean(o.value(u"running"), at(path, QStringLiteral("running")), &out->running))
        return false;
    if (o.contains(u"state") && !state(o.value(u"state"), at(path, QStringLiteral("state")), &out->state))
        return false;
    if (o.contains(u"statusAnswers")
        && !statusAnswers(o.value(u"statusAnswers"), at(path, QStringLiteral("statusAnswers")), &out->statusAnswers))
        return false;
    if (o.contains(u"tracks")) {
        const QString here = at(path, QStringLiteral("tracks"));
        QJsonArray items;
        if (!array(o.value(u"tracks"), here, Scenario::maxTracks, &items))
            return false;
        for (qsizetype i = 0; i < items.size(); ++i) {
            Scenario::Track t;
            if (!track(items.at(i), at(here, i), out->name, &t))
                return false;
            out->tracks.append(t);
        }
    }
    if (o.contains(u"library")) {
        const QString here = at(path, QStringLiteral("library"));
        if (!ScriptVocabulary::understands(out->name, ScriptVocabulary::Operation::RandomArtwork))
            return fail(here, QStringLiteral("%1 has no library script").arg(out->name));
        if (!imageList(o.value(u"library"), here, Scenario::maxLibraryCovers, &out->library.emplace()))
            return false;
    }
    if (out->state != PlayState::Stopped && out->tracks.isEmpty())
        return fail(at(path, QStringLiteral("state")), QStringLiteral("a player without tracks can only be stopped"));
    if (o.contains(u"track")) {
        qint64 index = 0;
        const qint64 last = qMax<qint64>(0, out->tracks.size() - 1);
        if (!integer(o.value(u"track"), at(path, QStringLiteral("track")), 0, last, &index))
            return false;
        out->track = int(index);
    }
    if (o.contains(u"position") && !seconds(o.value(u"position"), at(path, QStringLiteral("position")), &out->positionMs))
        return false;
    return true;
}

bool Reader::event(const QJsonValue &value, const QString &path, const Scenario &scenario, Scenario::Event *out)
{
    using Action = Scenario::Action;
    static const QHash<QString, Action> actions{
        {QStringLiteral("pause"), Action::Pause},   {QStringLiteral("resume"), Action::Resume},
        {QStringLiteral("stop"), Action::Stop},     {QStringLiteral("next"), Action::Next},
        {QStringLiteral("previous"), Action::Previous}, {QStringLiteral("seek"), Action::Seek},
        {QStringLiteral("track"), Action::Track},   {QStringLiteral("quit"), Action::Quit},
        {QStringLiteral("launch"), Action::Launch}};

    QJsonObject o;
    if (!object(value, path, &o))
        return false;
    for (const char *required : {"frame", "player", "action"}) {
        if (!o.contains(QLatin1String(required)))
            return fail(at(path, QString::fromLatin1(required)), QStringLiteral("missing"));
    }
    if (!integer(o.value(u"frame"), at(path, QStringLiteral("frame")), 0, Scenario::maxFrame, &out->frame))
        return false;
    QString playerName;
    if (!string(o.value(u"player"), at(path, QStringLiteral("player")), &playerName))
        return false;
    out->player = -1;
    for (qsizetype i = 0; i < scenario.players.size(); ++i) {
        if (scenario.players.at(i).name == playerName)
            out->player = int(i);
    }
    if (out->player < 0)
        return fail(at(path, QStringLiteral("player")), QStringLiteral("no player \"%1\" in this scenario").arg(playerName));
    QString actionWord;
    if (!string(o.value(u"action"), at(path, QStringLiteral("action")), &actionWord))
        return false;
    if (!actions.contains(actionWord)) {
        return fail(at(path, QStringLiteral("action")),
                    QStringLiteral("expected one of pause, resume, stop, next, previous, seek, track, quit, launch"));
    }
    out->action = actions.value(actionWord);

    QSet<QString> allowed{QStringLiteral("frame"), QStringLiteral("player"), QStringLiteral("action")};
    if (out->action == Action::Seek) {
        allowed << QStringLiteral("seconds");
        if (!o.contains(u"seconds"))
            return fail(at(path, QStringLiteral("seconds")), QStringLiteral("missing"));
        if (!seconds(o.value(u"seconds"), at(path, QStringLiteral("seconds")), &out->positionMs))
            return false;
    } else if (out->action == Action::Track) {
        allowed << QStringLiteral("track") << QStringLiteral("position");
        const QString here = at(path, QStringLiteral("track"));
        const QJsonValue t = o.value(u"track");
        if (t.isDouble()) {
            qint64 index = 0;
            if (!integer(t, here, 0, Scenario::maxTracks, &index))
                return false;
            out->trackIndex = int(index); // checked against the list once the events are in order
        } else if (t.isObject()) {
            // Read into a local: a nested type with member initialisers is
            // not default-constructible through optional::emplace for every
            // compiler.
            Scenario::Track added;
            if (!track(t, here, playerName, &added))
                return false;
            out->track = std::move(added);
        } else {
            return fail(here, QStringLiteral("expected a track index or a track"));
        }
        if (o.contains(u"position") && !seconds(o.value(u"position"), at(path, QStringLiteral("position")), &out->positionMs))
            return false;
    } else if (out->action == Action::Launch) {
        allowed << QStringLiteral("state");
        if (o.contains(u"state") && !state(o.value(u"state"), at(path, QStringLiteral("state")), &out->launchState))
            return false;
    }
    return onlyKeys(o, path, allowed);
}

bool Reader::displayEvent(const QJsonObject &o, const QString &path, Scenario::DisplayEvent *out)
{
    if (!o.contains(u"frame"))
        return fail(at(path, QStringLiteral("frame")), QStringLiteral("missing"));
    if (!integer(o.value(u"frame"), at(path, QStringLiteral("frame")), 0, Scenario::maxFrame, &out->frame))
        return false;
    if (o.contains(u"key") == o.contains(u"idle"))
        return fail(path, QStringLiteral("expected either \"key\" or \"idle\""));
    if (o.contains(u"idle")) {
        if (!integer(o.value(u"idle"), at(path, QStringLiteral("idle")), 0, maxJsonInteger, &out->idleMs))
            return false;
        return onlyKeys(o, path, {QStringLiteral("frame"), QStringLiteral("idle")});
    }
    const QString here = at(path, QStringLiteral("key"));
    if (!string(o.value(u"key"), here, &out->key))
        return false;
    const QKeySequence chord = QKeySequence::fromString(out->key, QKeySequence::PortableText);
    if (out->key.size() > Scenario::maxNameLength || chord.count() != 1 || chord[0].key() == Qt::Key_unknown)
        return fail(here, QStringLiteral("expected one key with its modifiers, like \"Alt+4\""));
    return onlyKeys(o, path, {QStringLiteral("frame"), QStringLiteral("key")});
}

// Track indexes and launch states depend on the inline tracks added by
// earlier events, so they are checked in the order the events will run.
bool Reader::checkEventTracks(Scenario *scenario, const QList<qsizetype> &fileOrder)
{
    QList<qsizetype> trackCounts;
    for (const Scenario::Player &p : scenario->players)
        trackCounts << p.tracks.size();
    for (qsizetype i = 0; i < scenario->events.size(); ++i) {
        const Scenario::Event &e = scenario->events.at(i);
        const QString path = at(QStringLiteral("events"), fileOrder.at(i));
        qsizetype &count = trackCounts[e.player];
        if (e.action == Scenario::Action::Track && e.track)
            ++count;
        if (e.action == Scenario::Action::Track && !e.track && e.trackIndex >= count) {
            return fail(at(path, QStringLiteral("track")),
                        QStringLiteral("no track %1: the player has %2 then").arg(e.trackIndex).arg(count));
        }
        if (e.action == Scenario::Action::Launch && e.launchState != PlayState::Stopped && count == 0)
            return fail(at(path, QStringLiteral("state")), QStringLiteral("a player without tracks can only be stopped"));
    }
    return true;
}

bool Reader::read(const QJsonObject &root, Scenario *out)
{
    if (!onlyKeys(root, QString(), {QStringLiteral("description"), QStringLiteral("volume"),
                                    QStringLiteral("processes"), QStringLiteral("players"),
                                    QStringLiteral("events")}))
        return false;
    if (root.contains(u"description")) {
        QString ignored;
        if (!string(root.value(u"description"), QStringLiteral("description"), &ignored))
            return false;
    }
    if (root.contains(u"volume")) {
        qint64 volume = 0;
        if (!integer(root.value(u"volume"), QStringLiteral("volume"), 0, 100, &volume))
            return false;
        out->volume = int(volume);
    }
    if (root.contains(u"processes")) {
        QJsonArray items;
        if (!array(root.value(u"processes"), QStringLiteral("processes"), Scenario::maxProcesses, &items))
            return false;
        for (qsizetype i = 0; i < items.size(); ++i) {
            QString process;
            if (!name(items.at(i), at(QStringLiteral("processes"), i), &process))
                return false;
            out->processes << process;
        }
    }
    if (root.contains(u"players")) {
        QJsonArray items;
        if (!array(root.value(u"players"), QStringLiteral("players"), PlayerProfile::all().size(), &items))
            return false;
        for (qsizetype i = 0; i < items.size(); ++i) {
            Scenario::Player p;
            const QString path = at(QStringLiteral("players"), i);
            if (!player(items.at(i), path, &p))
                return false;
            for (const Scenario::Player &earlier : out->players) {
                if (earlier.name == p.name)
                    return fail(at(path, QStringLiteral("name")), QStringLiteral("%1 is listed twice").arg(p.name));
            }
            out->players << p;
        }
    }
    if (root.contains(u"events")) {
        QJsonArray items;
        if (!array(root.value(u"events"), QStringLiteral("events"), Scenario::maxEvents, &items))
            return false;
        QList<std::pair<Scenario::Event, qsizetype>> events;
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QJsonObject o = items.at(i).toObject();
            if (o.contains(u"key") || o.contains(u"idle")) {
                Scenario::DisplayEvent d;
                if (!displayEvent(o, at(QStringLiteral("events"), i), &d))
                    return false;
                out->displayEvents << d;
                continue;
            }
            Scenario::Event e;
            if (!event(items.at(i), at(QStringLiteral("events"), i), *out, &e))
                return false;
            events.append({e, i});
        }
        std::stable_sort(events.begin(), events.end(),
                         [](const auto &a, const auto &b) { return a.first.frame < b.first.frame; });
        std::stable_sort(out->displayEvents.begin(), out->displayEvents.end(),
                         [](const auto &a, const auto &b) { return a.frame < b.frame; });
        QList<qsizetype> fileOrder;
        for (const auto &[e, index] : events) {
            out->events << e;
            fileOrder << index;
        }
        if (!checkEventTracks(out, fileOrder))
            return false;
    }
    return true;
}

// A refusal is one line: control characters from a key or a file name
// (a newline, a NUL) are shown escaped, as \n or \x00.
QString oneLine(const QString &message)
{
    QString line;
    line.reserve(message.size());
    for (const QChar c : message) {
        if (c == u'\n')
            line += QStringLiteral("\\n");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control)
            line += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            line += c;
    }
    return line;
}

} // namespace

std::optional<Scenario> Scenario::parse(const QByteArray &json, const QString &fileName, QString *error)
{
    const QFileInfo info(fileName);
    const QString shownName = info.fileName().isEmpty() ? fileName : info.fileName();
    const auto refuse = [&](const QString &message) {
        if (error)
            *error = oneLine(message);
        return std::nullopt;
    };
    if (json.size() > maxFileBytes)
        return refuse(QStringLiteral("%1: larger than %2").arg(shownName, ScenarioFields::megabytes(maxFileBytes)));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return refuse(QStringLiteral("%1: not JSON: %2 at offset %3")
                          .arg(shownName, parseError.errorString())
                          .arg(parseError.offset));
    }
    if (!document.isObject())
        return refuse(QStringLiteral("%1: expected an object at the top level").arg(shownName));
    Reader reader(shownName, info.absoluteDir());
    Scenario scenario;
    if (!reader.read(document.object(), &scenario))
        return refuse(reader.error);
    return scenario;
}

std::optional<Scenario> Scenario::load(const QString &path, QString *error)
{
    const QString shownName = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = oneLine(QStringLiteral("%1: cannot read: %2").arg(shownName, file.errorString()));
        return std::nullopt;
    }
    // One byte past the cap tells a file that is too large without reading it all.
    const QByteArray json = file.read(maxFileBytes + 1);
    return parse(json, path, error);
}
