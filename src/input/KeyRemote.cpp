#include "input/KeyRemote.h"

#include "core/CoverlumeView.h"
#include "core/ViewHost.h"
#include "input/BroadcasterCourier.h"
#include "input/KeyTable.h"
#include "input/Screenshot.h"
#include "nowplaying/PlayerScripts.h"
#include "nowplaying/SharedScripts.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QKeyEvent>

namespace {

using Slot = ScriptSlot ScriptSlots::*;
using Command = BroadcasterCourier::Command;

bool isOneOf(PlayerId player, std::initializer_list<PlayerId> players)
{
    return std::find(players.begin(), players.end(), player) != players.end();
}

// The rating keys: which scripts each runs, with hearts, with stars, for Hermes.
struct RatingKey
{
    int codes[2];
    Slot hearts[2];
    Slot stars;
    Slot hermes;
};

const RatingKey ratingKeys[] = {
    {{KeyCode::digit0, KeyCode::keypad0}, {&ScriptSlots::iTunesResetLovedScript, &ScriptSlots::iTunesResetDislikedScript},
     &ScriptSlots::iTunesSetRating0Script, &ScriptSlots::hermesThumbsDownScript},
    {{KeyCode::digit1, KeyCode::keypad1}, {&ScriptSlots::iTunesResetLovedScript, &ScriptSlots::iTunesResetDislikedScript},
     &ScriptSlots::iTunesSetRating1Script, &ScriptSlots::hermesThumbsDownScript},
    {{KeyCode::digit2, KeyCode::keypad2}, {&ScriptSlots::iTunesResetLovedScript, &ScriptSlots::iTunesResetDislikedScript},
     &ScriptSlots::iTunesSetRating2Script, &ScriptSlots::hermesThumbsDownScript},
    {{KeyCode::digit3, KeyCode::keypad3}, {&ScriptSlots::iTunesResetDislikedScript, &ScriptSlots::iTunesSetLovedScript},
     &ScriptSlots::iTunesSetRating3Script, &ScriptSlots::hermesThumbsUpScript},
    {{KeyCode::digit4, KeyCode::keypad4}, {&ScriptSlots::iTunesResetDislikedScript, &ScriptSlots::iTunesSetLovedScript},
     &ScriptSlots::iTunesSetRating4Script, &ScriptSlots::hermesThumbsUpScript},
    {{KeyCode::digit5, KeyCode::keypad5}, {&ScriptSlots::iTunesResetDislikedScript, &ScriptSlots::iTunesSetLovedScript},
     &ScriptSlots::iTunesSetRating5Script, &ScriptSlots::hermesThumbsUpScript},
    // Slash marks a disliked track, so for Hermes it is a thumbs down.
    {{KeyCode::slash, KeyCode::keypadSlash}, {&ScriptSlots::iTunesResetLovedScript, &ScriptSlots::iTunesSetDislikedScript},
     &ScriptSlots::iTunesSetRating0Script, &ScriptSlots::hermesThumbsDownScript},
};

// The players whose play/pause, previous and next scripts the keys run.
constexpr std::initializer_list<PlayerId> playPausePlayers = {
    PlayerId::ITunes, PlayerId::Music, PlayerId::Spotify, PlayerId::Swinsian, PlayerId::Ecoute, PlayerId::Rdio,
    PlayerId::Radium, PlayerId::Hermes, PlayerId::AirfoilSatellite, PlayerId::Audirvana};
constexpr std::initializer_list<PlayerId> previousPlayers = {
    PlayerId::ITunes, PlayerId::Music, PlayerId::Spotify, PlayerId::Swinsian, PlayerId::Ecoute, PlayerId::Rdio,
    PlayerId::AirfoilSatellite, PlayerId::Audirvana};
constexpr std::initializer_list<PlayerId> nextPlayers = {
    PlayerId::ITunes, PlayerId::Music, PlayerId::Spotify, PlayerId::Swinsian, PlayerId::Ecoute, PlayerId::Rdio,
    PlayerId::Hermes, PlayerId::AirfoilSatellite, PlayerId::Audirvana};

QString stripped(QString name)
{
    while (!name.isEmpty() && (name.front() == u'"' || name.front() == u'\'' || name.front() == u' '))
        name.remove(0, 1);
    while (!name.isEmpty() && (name.back() == u'"' || name.back() == u'\'' || name.back() == u' '))
        name.chop(1);
    return name;
}

} // namespace

KeyRemote::KeyRemote(CoverlumeView &view, BroadcasterCourier *courier)
    : m_view(view)
    , m_courier(courier ? *courier : BroadcasterCourier::shared())
    , m_quiet(std::make_unique<NotificationCenter>())
    , m_scripts(std::make_unique<PlayerScripts>(view.services().scripts, *m_quiet, this, [](const QString &) {}))
{
    m_resign.setSingleShot(true);
    m_resign.setInterval(resignDelayMs);
    QObject::connect(&m_resign, &QTimer::timeout, [this] { m_view.power().systemActivity(); });
}

KeyRemote::~KeyRemote() = default;

void KeyRemote::keyPressed(const QKeyEvent &event)
{
    const KeyStroke stroke = keyStroke(event);
    if (stroke.modifier)
        flagsChanged(stroke.flags);
    else
        keyDown(stroke.code, stroke.flags);
}

void KeyRemote::keyReleased(const QKeyEvent &event)
{
    if (!event.isAutoRepeat())
        keyUp(keyStroke(event).code);
}

void KeyRemote::pointerMoved(const QMouseEvent &)
{
    mouseMoved();
}

void KeyRemote::keyDown(int code, quint32 flags)
{
    switch (code) {
    case KeyCode::space: spacePressed(); return;
    case KeyCode::left: leftArrowPressed(); return;
    case KeyCode::right: rightArrowPressed(); return;
    case KeyCode::up: volumeUp(); return;
    case KeyCode::down: volumeDown(); return;
    default: break;
    }
    if (ratingKeysLive(flags) && rate(code))
        return;
    if (code == KeyCode::s) {
        if (m_modifierDown) {
            takeShot();
            return;
        }
        qCInfo(lcInput, "modifier not down");
    }
    m_view.power().systemActivity();
}

void KeyRemote::keyUp(int code)
{
    if (code == KeyCode::command || code == KeyCode::option || code == KeyCode::control)
        m_modifierDown = false;
}

void KeyRemote::flagsChanged(quint32 flags)
{
    switch (m_view.services().defaults.intValue(QStringLiteral("modifier"))) {
    case 3: m_modifierDown = m_modifierDown || (flags & KeyFlag::command); break;
    case 2: m_modifierDown = m_modifierDown || (flags & KeyFlag::option); break;
    case 1: m_modifierDown = m_modifierDown || (flags & KeyFlag::control); break;
    default: break;
    }
}

void KeyRemote::mouseMoved()
{
    const FrameClock &clock = m_view.services().clock;
    if (m_enteredFullScreen.isValid() && m_enteredFullScreen.msecsTo(clock.now()) < fullScreenSettleMs)
        return;
    m_view.power().systemActivity();
    // A moving pointer sends many events a frame; one reading is enough.
    if (m_taredAtFrame != clock.frame()) {
        m_taredAtFrame = clock.frame();
        m_view.power().tareSystemIdle();
    }
}

void KeyRemote::windowDidResignKey()
{
    m_resign.start();
}

bool KeyRemote::ratingKeysLive(quint32 flags) const
{
    const PlayerId current = m_view.nowPlaying().currentPlayer();
    const bool library = current == PlayerId::ITunes || current == PlayerId::Music;
    const bool live = (m_view.themeSettings().getShowRatingForCurrentTheme() && !m_view.marks().fiveStars.isEmpty()
                       && library)
        || current == PlayerId::Hermes;
    if (!live)
        return false;
    switch (m_view.services().defaults.intValue(QStringLiteral("modifier"))) {
    case 0: return true;
    case 1: return flags & KeyFlag::control;
    case 2: return flags & KeyFlag::option;
    case 3: return flags & KeyFlag::command;
    default: return false;
    }
}

bool KeyRemote::rate(int code)
{
    const auto key = std::find_if(std::begin(ratingKeys), std::end(ratingKeys), [code](const RatingKey &k) {
        return k.codes[0] == code || k.codes[1] == code;
    });
    if (key == std::end(ratingKeys))
        return false;
    const PlayerId current = m_view.nowPlaying().currentPlayer();
    m_scripts->setUpScriptsForPlayer(current);
    const ScriptSlots &slots = m_scripts->slots;
    if (current == PlayerId::ITunes || current == PlayerId::Music) {
        if (m_view.themeSettings().getShowLovedForCurrentTheme()) {
            run(slots.*(key->hearts[0]));
            run(slots.*(key->hearts[1]));
        } else {
            run(slots.*(key->stars));
        }
        jumpToFadeOut();
    } else if (current == PlayerId::Hermes) {
        run(slots.*(key->hermes));
        jumpToFadeOut();
    }
    return true;
}

void KeyRemote::takeShot()
{
    qCInfo(lcInput, "making shot");
    const QImage picture = m_view.snapshot(m_view.frameSize().toSize());
    const QString path = Screenshot::save(picture, Screenshot::folder(), m_view.services().clock.now());
    if (!path.isEmpty()) {
        logAt(m_view.services().defaults, 1, lcInput, "screenshot saved to %s", qUtf8Printable(path));
    }
}

void KeyRemote::spacePressed()
{
    const PlayerId p = m_view.nowPlaying().preferredPlayer();
    sendToBroadcaster(int(Command::PlayPause));
    if (isOneOf(p, playPausePlayers) && isRunning(p)) {
        const ScriptSlots &slots = transportFor(p);
        aboutToRunPPScript();
        run(slots.PPScript);
    } else if (p == PlayerId::Snowtape && isRunning(p)) {
        const ScriptSlots &slots = transportFor(p);
        run(run(slots.snowtapeStatusScript).booleanValue() ? slots.snowtapePauseScript : slots.PPScript);
    }
    jumpToFadeOut();
    m_view.nowPlaying().pauseCheck();
}

void KeyRemote::leftArrowPressed()
{
    const PlayerId p = m_view.nowPlaying().preferredPlayer();
    sendToBroadcaster(int(Command::Previous));
    if (isOneOf(p, previousPlayers) && isRunning(p))
        run(transportFor(p).prevScript);
    jumpToFadeOut();
}

void KeyRemote::rightArrowPressed()
{
    const PlayerId p = m_view.nowPlaying().preferredPlayer();
    sendToBroadcaster(int(Command::Next));
    if (isOneOf(p, nextPlayers) && isRunning(p))
        run(transportFor(p).nextScript);
    jumpToFadeOut();
}

void KeyRemote::volumeUp()
{
    if (sendToBroadcaster(int(Command::VolumeUp)))
        return;
    if (const Script *script = m_view.volumeUpScript())
        script->execute();
}

void KeyRemote::volumeDown()
{
    if (sendToBroadcaster(int(Command::VolumeDown)))
        return;
    if (const Script *script = m_view.volumeDownScript())
        script->execute();
}

bool KeyRemote::sendToBroadcaster(int command)
{
    if (m_view.nowPlaying().preferredPlayer() != PlayerId::Broadcaster)
        return false;
    if (BroadcasterClient *client = m_view.services().broadcaster)
        m_courier.send(*client, Command(command));
    return true;
}

void KeyRemote::aboutToRunPPScript()
{
    m_view.services().defaults.set(QStringLiteral("userPaused"),
                                   m_view.nowPlaying().currentPlayer() != PlayerId::None);
}

void KeyRemote::jumpToFadeOut()
{
    FrameCycle &cycle = m_view.cycle();
    const int fadeOut = cycle.CYCLE - 26;
    if (cycle.framesCount < fadeOut)
        cycle.framesCount = fadeOut;
}

bool KeyRemote::isRunning(PlayerId player)
{
    const QString name = PlayerScripts::processName(player);
    if (name.isEmpty())
        return false;
    const ScriptResult list = m_view.services().scripts.execute(SharedScripts::processList());
    for (int i = 1; i <= list.numberOfItems(); ++i) {
        if (stripped(list.descriptorAtIndex(i).stringValue()).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

const ScriptSlots &KeyRemote::transportFor(PlayerId player)
{
    m_scripts->setUpSomePlayerSpecificScriptsForPlayer(player);
    return m_scripts->slots;
}
