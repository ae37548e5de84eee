#include "session/PreferencesSheet.h"

#include "core/ThemeSettings.h"
#include "model/PlayerTable.h"
#include "model/ThemeId.h"
#include "platform/DefaultsStore.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PreferencesSheet", text);
}

using Kind = PreferencesSheet::Kind;
using Group = PreferencesSheet::Group;

// How a control's value goes into a theme's own dictionary.
enum class Entry { Float, IntFlag, Tag, Bool };
struct ThemeEntry
{
    const char *key;
    const char *control;
    Entry entry;
};
// The 17 entries every theme's dictionary gets.
constexpr ThemeEntry kThemeEntries[] = {
    {"imageSize", "sizeSlider", Entry::Float},       {"3Deffect", "Slider3D", Entry::Float},
    {"fontSize", "fontSlider", Entry::Float},        {"showTime", "showTime", Entry::Tag},
    {"showProgress", "showProgress", Entry::IntFlag}, {"showRating", "showRating", Entry::IntFlag},
    {"showLoved", "showLoved", Entry::IntFlag},      {"centred", "centred", Entry::Bool},
    {"keepStatic", "keepStatic", Entry::Bool},       {"bitRate", "bitRateButton", Entry::Bool},
    {"bitDepth", "bitDepthButton", Entry::Bool},     {"sampleRate", "sampleRateButton", Entry::Bool},
    {"fileKind", "fileKindButton", Entry::Bool},     {"releaseYear", "releaseYearButton", Entry::Bool},
    {"dateAdded", "dateAddedButton", Entry::Bool},   {"lastPlayed", "lastPlayedButton", Entry::Bool},
    {"playCount", "playCountButton", Entry::Bool},
};

// The controls whose changes are handled as they happen (the rest waits
// for the sheet to be accepted), and those of them stored for the theme.
const QSet<QString> kHandled = {
    QStringLiteral("sizeSlider"), QStringLiteral("Slider3D"),   QStringLiteral("fontSlider"),
    QStringLiteral("showProgress"), QStringLiteral("showRating"), QStringLiteral("showTime"),
    QStringLiteral("centred"),    QStringLiteral("keepStatic"), QStringLiteral("actionWhenPaused"),
    QStringLiteral("theme"),      QStringLiteral("keepOnTop"),
};
const QSet<QString> kStoredAtOnce = {
    QStringLiteral("sizeSlider"), QStringLiteral("Slider3D"),   QStringLiteral("fontSlider"),
    QStringLiteral("showRating"), QStringLiteral("showProgress"), QStringLiteral("showTime"),
    QStringLiteral("centred"),    QStringLiteral("keepStatic"),
};

// The controls the theme enables or disables, in the order of the rows below.
const char *const kThemeControls[] = {"sizeSlider", "Slider3D",     "fontSlider", "showRating", "showLoved",
                                      "showProgress", "showTime", "centred",    "keepStatic"};
struct EnablingRow
{
    const char *enabled; // one character per control above: 1 enabled
    QSet<QString> disabledLabels;
};
// By theme number. Full Screen's size slider also follows "centred"; Ken
// Burns Blur shows the same controls as Full Screen, without the coupling.
const EnablingRow &enablingRow(int theme)
{
    static const QList<EnablingRow> rows = {
        {"111111111", {}},
        {"001111100", {QStringLiteral("artworkSizeLabel"), QStringLiteral("Slider3DLabel"), QStringLiteral("centredInfo")}},
        {"101111100", {QStringLiteral("Slider3DLabel"), QStringLiteral("centredInfo")}},
        {"111110011", {QStringLiteral("showTimeLabel"), QStringLiteral("showRatingInfo")}},
        {"000000000", {QStringLiteral("showTimeLabel"), QStringLiteral("artworkSizeLabel"), QStringLiteral("Slider3DLabel"),
                       QStringLiteral("fontSizeLabel"), QStringLiteral("centredInfo"), QStringLiteral("showRatingInfo")}},
        {"101111101", {QStringLiteral("Slider3DLabel")}},
        {"101111100", {QStringLiteral("Slider3DLabel"), QStringLiteral("centredInfo")}},
        {"101111101", {QStringLiteral("Slider3DLabel")}},
        {"110000011", {}},
        {"111110011", {QStringLiteral("showTimeLabel"), QStringLiteral("showRatingInfo")}},
    };
    return rows.at(std::clamp(theme, 0, int(rows.size()) - 1));
}

bool namesTheme(int theme)
{
    return theme >= int(ThemeId::Classic) && theme <= int(ThemeId::KenBurnsBlur);
}

constexpr int kBlackoutTextCap = 32;
constexpr double kIdleUnitNs = 1073741824.0; // 2^30
constexpr double kMinuteNs = 60e9;

} // namespace

const QList<PreferencesSheet::Control> &PreferencesSheet::controls()
{
    static const QList<Control> all = {
        {QStringLiteral("theme"), Kind::PopUp, Group::Theme, QStringLiteral("theme"), 0, 0, tr("Theme:")},
        {QStringLiteral("cycleSlider"), Kind::IntSlider, Group::Theme, QStringLiteral("cycle"), 200, 2400, tr("Cycle length:")},
        {QStringLiteral("preferredPlayerButton"), Kind::PopUp, Group::Theme, QStringLiteral("preferredPlayer"), 0, 0,
         tr("Preferred player:")},

        {QStringLiteral("sizeSlider"), Kind::FloatSlider, Group::Look, QStringLiteral("imageSize"), 1.0, 1.8, tr("Artwork size:")},
        {QStringLiteral("Slider3D"), Kind::FloatSlider, Group::Look, QStringLiteral("3Deffect"), 0.0, 1.0, tr("3-D effect:")},
        {QStringLiteral("fontSlider"), Kind::FloatSlider, Group::Look, QStringLiteral("fontSize"), 0.5, 2.0, tr("Text size:")},
        {QStringLiteral("showRating"), Kind::Check, Group::Look, QStringLiteral("showRating"), 0, 0, tr("Show the rating")},
        {QStringLiteral("showLoved"), Kind::Check, Group::Look, QStringLiteral("showLoved"), 0, 0, tr("Show loved tracks")},
        {QStringLiteral("showProgress"), Kind::Check, Group::Look, QStringLiteral("showProgress"), 0, 0,
         tr("Show the progress bar")},
        {QStringLiteral("showTime"), Kind::Matrix, Group::Look, QStringLiteral("showTime"), 0, 0, tr("Time:")},
        {QStringLiteral("centred"), Kind::Check, Group::Look, QStringLiteral("centred"), 0, 0, tr("Centre the artwork")},
        {QStringLiteral("keepStatic"), Kind::Check, Group::Look, QStringLiteral("keepStatic"), 0, 0, tr("Keep the artwork still")},

        {QStringLiteral("bitRateButton"), Kind::Check, Group::Details, QStringLiteral("bitRate"), 0, 0, tr("Bit rate")},
        {QStringLiteral("bitDepthButton"), Kind::Check, Group::Details, QStringLiteral("bitDepth"), 0, 0, tr("Bit depth")},
        {QStringLiteral("sampleRateButton"), Kind::Check, Group::Details, QStringLiteral("sampleRate"), 0, 0, tr("Sample rate")},
        {QStringLiteral("fileKindButton"), Kind::Check, Group::Details, QStringLiteral("fileKind"), 0, 0, tr("File kind")},
        {QStringLiteral("releaseYearButton"), Kind::Check, Group::Details, QStringLiteral("releaseYear"), 0, 0, tr("Release year")},
        {QStringLiteral("dateAddedButton"), Kind::Check, Group::Details, QStringLiteral("dateAdded"), 0, 0, tr("Date added")},
        {QStringLiteral("lastPlayedButton"), Kind::Check, Group::Details, QStringLiteral("lastPlayed"), 0, 0, tr("Last played")},
        {QStringLiteral("playCountButton"), Kind::Check, Group::Details, QStringLiteral("playCount"), 0, 0, tr("Play count")},

        {QStringLiteral("actionWhenPaused"), Kind::PopUp, Group::Playback, QStringLiteral("actionWhenPaused"), 0, 0,
         tr("When nothing plays:")},
        {QStringLiteral("showPaused"), Kind::PopUp, Group::Playback, QStringLiteral("showPaused"), 0, 0,
         tr("Paused from the keyboard:")},
        {QStringLiteral("defaultArtwork"), Kind::Matrix, Group::Playback, QStringLiteral("defaultArtwork"), 0, 0,
         tr("Track without artwork:")},
        {QStringLiteral("overrideSnowtape"), Kind::Check, Group::Playback, QStringLiteral("overrideSnowtape"), 0, 0,
         tr("Prefer a looked-up cover for radio streams")},
        {QStringLiteral("modifier"), Kind::PopUp, Group::Playback, QStringLiteral("modifier"), 0, 0, tr("Rating keys need:")},
        {QStringLiteral("ignoreRemote"), Kind::Check, Group::Playback, QStringLiteral("remoteEnabled"), 0, 0,
         tr("Ignore the remote control")},
        {QStringLiteral("listenButton"), Kind::Check, Group::Playback, QStringLiteral("listenForBroadcaster"), 0, 0,
         tr("Follow a broadcaster when nothing plays here")},

        {QStringLiteral("keepOnTop"), Kind::Check, Group::Window, QStringLiteral("keepOnTop"), 0, 0,
         tr("Keep the window above others")},
        {QStringLiteral("displayFloatingWindow"), Kind::Check, Group::Window, QStringLiteral("displayFloatingWindow"), 0, 0,
         tr("Show the window (otherwise only in full screen)")},
        {QStringLiteral("hideMouseCursorInFullScreen"), Kind::Check, Group::Window,
         QStringLiteral("hideMouseCursorInFullScreen"), 0, 0, tr("Hide the pointer in full screen")},
        {QStringLiteral("fullScreenAfterSystemIdleTime"), Kind::Minutes, Group::Window,
         QStringLiteral("fullScreenAfterSystemIdleTime"), 0, 720, tr("Full screen after idle:")},
        {QStringLiteral("exitFullScreenAfterActivity"), Kind::Check, Group::Window,
         QStringLiteral("exitFullScreenAfterActivity"), 0, 0, tr("Leave full screen on activity")},
        {QStringLiteral("noMusicNoAutoFullScreen"), Kind::Check, Group::Window, QStringLiteral("noMusicNoAutoFullScreen"), 0,
         0, tr("Only go full screen while music plays")},
        {QStringLiteral("blockSleepInFullScreen"), Kind::Check, Group::Window, QStringLiteral("blockSleepInFullScreen"), 0, 0,
         tr("Keep the display awake in full screen")},
        {QStringLiteral("blackoutAfterDelay"), Kind::Check, Group::Window, QStringLiteral("blackoutAfterDelay"), 0, 0,
         tr("Black out after a delay")},
        {QStringLiteral("blackoutDelay"), Kind::Text, Group::Window, QStringLiteral("blackoutDelay"), 0, 0, tr("Delay:")},
        {QStringLiteral("syncedLyrics"), Kind::PopUp, Group::Window, QStringLiteral("syncedLyrics"), 0, 0,
         tr("Timed lyrics:")},
        {QStringLiteral("lyricsOffsetMs"), Kind::IntSlider, Group::Window, QStringLiteral("lyricsOffsetMs"), -10000, 10000,
         tr("Lyrics earlier by (ms):")},
        // Switches of later features go at the end of this group.
    };
    return all;
}

const PreferencesSheet::Control *PreferencesSheet::control(const QString &name)
{
    for (const Control &c : controls())
        if (c.name == name)
            return &c;
    return nullptr;
}

QList<PreferencesSheet::Item> PreferencesSheet::items(const QString &name)
{
    if (name == QLatin1String("theme"))
        return {{0, tr("Classic")},  {1, tr("Text")},   {2, tr("Mosaic")}, {3, tr("Full Screen")},
                {4, tr("Random")},   {5, tr("Apple TV")}, {6, tr("Lyrics")}, {7, tr("Blur")},
                {8, tr("Cover Only")}, {9, tr("Ken Burns Blur")}};
    if (name == QLatin1String("preferredPlayerButton")) {
        QList<Item> players{{0, tr("None")}};
        for (const PlayerTable::Facts &facts : PlayerTable::all())
            players.append({int(facts.id), facts.nameText()});
        return players;
    }
    if (name == QLatin1String("showTime"))
        return {{0, tr("None")}, {1, tr("Total")}, {2, tr("Remaining")}, {3, tr("Elapsed")}};
    if (name == QLatin1String("defaultArtwork"))
        return {{0, tr("No artwork")}, {1, tr("Default image")}, {2, tr("Web cover (none found)")}};
    if (name == QLatin1String("actionWhenPaused"))
        return {{0, tr("Clear the artwork")}, {1, tr("Show the default image")}, {2, tr("Show a random cover")},
                {3, tr("Show no paused title")}};
    if (name == QLatin1String("showPaused"))
        return {{0, tr("Show nothing")}, {1, tr("Show the paused title")}};
    if (name == QLatin1String("syncedLyrics"))
        return {{0, tr("Off")}, {1, tr("From .lrc files beside the track")},
                {2, tr("From .lrc files and the online service")}};
    if (name == QLatin1String("modifier"))
        return {{0, tr("No modifier")}, {1, tr("Ctrl")}, {2, tr("Alt")}, {3, tr("Super")}};
    return {};
}

const QList<std::pair<QString, QString>> &PreferencesSheet::labels()
{
    static const QList<std::pair<QString, QString>> all = {
        {QStringLiteral("artworkSizeLabel"), QStringLiteral("sizeSlider")},
        {QStringLiteral("Slider3DLabel"), QStringLiteral("Slider3D")},
        {QStringLiteral("fontSizeLabel"), QStringLiteral("fontSlider")},
        {QStringLiteral("showRatingInfo"), QStringLiteral("showRating")},
        {QStringLiteral("showTimeLabel"), QStringLiteral("showTime")},
        {QStringLiteral("centredInfo"), QStringLiteral("centred")},
    };
    return all;
}

PreferencesSheet::PreferencesSheet(DefaultsStore &defaults, Hooks hooks)
    : m_defaults(defaults), m_hooks(std::move(hooks))
{
}

qint64 PreferencesSheet::minutesToIdleUnits(int minutes)
{
    return qint64(std::llround(double(minutes) * kMinuteNs / kIdleUnitNs));
}

int PreferencesSheet::idleUnitsToMinutes(qint64 units)
{
    if (units <= 0)
        return 0;
    // A time that is set never shows as "never".
    const double minutes = std::round(double(units) * kIdleUnitNs / kMinuteNs);
    return int(std::clamp(minutes, 1.0, 1e9));
}

QVariant PreferencesSheet::clamped(const Control &c, const QVariant &value) const
{
    switch (c.kind) {
    case Kind::FloatSlider: {
        double v = value.toDouble();
        if (!std::isfinite(v))
            v = c.minimum;
        return std::round(std::clamp(v, c.minimum, c.maximum) * 100.0) / 100.0;
    }
    case Kind::IntSlider:
    case Kind::Minutes: {
        double v = value.toDouble();
        if (!std::isfinite(v))
            v = c.minimum;
        return int(std::lround(std::clamp(v, c.minimum, c.maximum)));
    }
    case Kind::PopUp:
    case Kind::Matrix:
        return value.toInt();
    case Kind::Check:
        return value.toBool();
    case Kind::Text:
        return value.toString().left(kBlackoutTextCap);
    }
    return value;
}

void PreferencesSheet::configureSheet()
{
    for (const Control &c : controls()) {
        QVariant v;
        const bool present = m_defaults.contains(c.key);
        switch (c.kind) {
        case Kind::FloatSlider:
            v = present ? m_defaults.doubleValue(c.key) : c.minimum;
            break;
        case Kind::IntSlider:
            v = double(present ? m_defaults.integerValue(c.key) : qint64(c.minimum));
            break;
        case Kind::PopUp:
        case Kind::Matrix:
            // "showPaused" and "syncedLyrics" show their second item when
            // they were never stored, as their readers take them then.
            v = present ? m_defaults.intValue(c.key)
                        : (c.name == QLatin1String("showPaused") || c.name == QLatin1String("syncedLyrics") ? 1 : 0);
            break;
        case Kind::Check:
            v = m_defaults.boolValue(c.key);
            if (c.name == QLatin1String("ignoreRemote"))
                v = !v.toBool();
            break;
        case Kind::Text:
            v = m_defaults.stringValue(c.key);
            break;
        case Kind::Minutes:
            m_idleUnitsRead = m_defaults.integerValue(c.key);
            m_idleMinutesShown = std::min(idleUnitsToMinutes(m_idleUnitsRead), int(c.maximum));
            v = m_idleMinutesShown;
            break;
        }
        m_values.insert(c.name, clamped(c, v));
    }
    overrideWithThemeSettingsIfPoss();
    handleControl(QStringLiteral("theme"));
    if (m_changed)
        m_changed();
}

void PreferencesSheet::setValue(const QString &name, const QVariant &value)
{
    const Control *c = control(name);
    if (!c)
        return;
    m_values.insert(name, clamped(*c, value));
    if (kHandled.contains(name))
        handleControl(name);
    if (m_changed)
        m_changed();
}

void PreferencesSheet::handleControl(const QString &sender)
{
    if (sender == QLatin1String("keepOnTop")) {
        m_defaults.set(QStringLiteral("keepOnTop"), isOn(QStringLiteral("keepOnTop")));
        if (m_hooks.setWindowLevel)
            m_hooks.setWindowLevel();
    }
    const int theme = tagOf(QStringLiteral("theme"));
    if (sender == QLatin1String("theme")) {
        applyEnablingFor(theme);
        m_defaults.set(QStringLiteral("theme"), theme);
        overrideWithThemeSettingsIfPoss();
    }
    if (theme == int(ThemeId::FullScreen)) {
        // The two boxes move together in this theme.
        if (sender == QLatin1String("centred"))
            m_values.insert(QStringLiteral("keepStatic"), isOn(QStringLiteral("centred")));
        else if (sender == QLatin1String("keepStatic"))
            m_values.insert(QStringLiteral("centred"), isOn(QStringLiteral("keepStatic")));
    }
    // Full Screen's size slider follows "centred"; the time read-out needs
    // the progress bar in every theme.
    applyEnablingFor(theme);
    if (kStoredAtOnce.contains(sender))
        saveThemeSpecificSettings();
}

void PreferencesSheet::applyEnablingFor(int theme)
{
    // A number that names no theme keeps the enabling it had.
    if (namesTheme(theme)) {
        const EnablingRow &row = enablingRow(theme);
        m_disabledLabels = row.disabledLabels;
        for (int i = 0; i < int(std::size(kThemeControls)); ++i) {
            const QString name = QString::fromLatin1(kThemeControls[i]);
            if (row.enabled[i] == '1')
                m_disabled.remove(name);
            else
                m_disabled.insert(name);
        }
        if (theme == int(ThemeId::FullScreen) && isOn(QStringLiteral("centred")))
            m_disabled.insert(QStringLiteral("sizeSlider"));
    }
    // Random keeps no settings of its own: the details would be stored nowhere.
    if (namesTheme(theme))
        for (const Control &c : controls())
            if (c.group == Group::Details) {
                if (theme == int(ThemeId::Random))
                    m_disabled.insert(c.name);
                else
                    m_disabled.remove(c.name);
            }
    if (!isOn(QStringLiteral("showProgress")))
        m_disabled.insert(QStringLiteral("showTime"));
    else if (!namesTheme(theme) || enablingRow(theme).enabled[6] == '1')
        m_disabled.remove(QStringLiteral("showTime"));
    // A label greys with its control.
    for (const auto &[label, controlName] : labels())
        if (m_disabled.contains(controlName))
            m_disabledLabels.insert(label);
}

std::optional<QVariantMap> PreferencesSheet::settingsForCurrentTheme() const
{
    const QString key = ThemeSettings::dictionaryKey(ThemeId(m_defaults.intValue(QStringLiteral("theme"))));
    if (key.isEmpty() || !m_defaults.contains(key))
        return std::nullopt;
    return m_defaults.dictionaryValue(key);
}

QVariantMap PreferencesSheet::themeEntryValues() const
{
    QVariantMap shown;
    for (const ThemeEntry &e : kThemeEntries)
        shown.insert(QString::fromLatin1(e.key), m_values.value(QString::fromLatin1(e.control)));
    return shown;
}

void PreferencesSheet::overrideWithThemeSettingsIfPoss()
{
    overrideWithThemeSettings();
    m_themeShown = themeEntryValues();
}

void PreferencesSheet::overrideWithThemeSettings()
{
    const std::optional<QVariantMap> settings = settingsForCurrentTheme();
    if (!settings)
        return;
    for (const ThemeEntry &e : kThemeEntries) {
        const auto found = settings->constFind(QString::fromLatin1(e.key));
        if (found == settings->constEnd())
            continue;
        const QString name = QString::fromLatin1(e.control);
        QVariant v;
        switch (e.entry) {
        case Entry::Float:
            v = double(DefaultsStore::toFloat(*found));
            break;
        case Entry::IntFlag:
            v = DefaultsStore::toInteger(*found) != 0;
            break;
        case Entry::Tag:
            v = int(DefaultsStore::toInteger(*found));
            break;
        case Entry::Bool:
            v = DefaultsStore::toBool(*found);
            break;
        }
        m_values.insert(name, clamped(*control(name), v));
    }
}

namespace {

// A theme entry's value with the type its readers expect.
QVariant typedEntry(const ThemeEntry &e, const QVariant &v)
{
    switch (e.entry) {
    case Entry::Float:
        return v.toDouble();
    case Entry::IntFlag:
        return v.toBool() ? 1 : 0;
    case Entry::Tag:
        return v.toInt();
    case Entry::Bool:
        return v.toBool();
    }
    return v;
}

} // namespace

void PreferencesSheet::saveThemeSpecificSettings()
{
    const QString key = ThemeSettings::dictionaryKey(ThemeId(tagOf(QStringLiteral("theme"))));
    if (key.isEmpty())
        return;
    // Into the dictionary the file holds now: only what the sheet changed
    // since it read it is written, and what it lacks, so that a change of
    // another entry meanwhile (another display's sheet, an edit by hand)
    // and entries the sheet does not know stay.
    const QVariantMap shown = m_themeShown;
    QVariantMap changed;
    const QVariantMap now = themeEntryValues();
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (shown.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    const bool written = m_defaults.update(key, [this, &changed](const QVariant &stored) {
        QVariantMap settings = stored.toMap();
        for (const ThemeEntry &e : kThemeEntries) {
            const QString entry = QString::fromLatin1(e.key);
            if (settings.contains(entry) && !changed.contains(entry))
                continue;
            settings.insert(entry, typedEntry(e, m_values.value(QString::fromLatin1(e.control))));
        }
        return QVariant(settings);
    });
    // Should the file stay out of reach, the next save tries again.
    if (written)
        m_themeShown = now;
}

void PreferencesSheet::closeConfig()
{
    saveThemeSpecificSettings();
    const auto flag = [this](const char *name) { return isOn(QString::fromLatin1(name)) ? 1 : 0; };
    const auto tag = [this](const char *name) { return tagOf(QString::fromLatin1(name)); };
    const std::pair<const char *, QVariant> globals[] = {
        {"listenForBroadcaster", flag("listenButton")},
        {"modifier", tag("modifier")},
        {"theme", tag("theme")},
        {"actionWhenPaused", tag("actionWhenPaused")},
        {"preferredPlayer", tag("preferredPlayerButton")},
        {"cycle", tag("cycleSlider")},
        {"blackoutDelay", value(QStringLiteral("blackoutDelay")).toString()},
        {"showPaused", tag("showPaused")},
        {"overrideSnowtape", flag("overrideSnowtape")},
        {"defaultArtwork", tag("defaultArtwork")},
        {"showTime", tag("showTime")},
        {"blackoutAfterDelay", flag("blackoutAfterDelay")},
        {"showLoved", flag("showLoved")},
        // The remote switch and the window group have no other place to be stored.
        {"remoteEnabled", !isOn(QStringLiteral("ignoreRemote"))},
        {"displayFloatingWindow", isOn(QStringLiteral("displayFloatingWindow"))},
        {"hideMouseCursorInFullScreen", isOn(QStringLiteral("hideMouseCursorInFullScreen"))},
        {"exitFullScreenAfterActivity", isOn(QStringLiteral("exitFullScreenAfterActivity"))},
        {"noMusicNoAutoFullScreen", isOn(QStringLiteral("noMusicNoAutoFullScreen"))},
        {"blockSleepInFullScreen", isOn(QStringLiteral("blockSleepInFullScreen"))},
        {"syncedLyrics", tag("syncedLyrics")},
        {"lyricsOffsetMs", tag("lyricsOffsetMs")},
    };
    for (const auto &[key, v] : globals)
        m_defaults.set(QString::fromLatin1(key), v);
    // Minutes are coarser than the stored units: an untouched field keeps them.
    const int minutes = tagOf(QStringLiteral("fullScreenAfterSystemIdleTime"));
    if (minutes != m_idleMinutesShown)
        m_defaults.set(QStringLiteral("fullScreenAfterSystemIdleTime"), minutesToIdleUnits(minutes));
    if (m_hooks.addNewCoverlumeView)
        m_hooks.addNewCoverlumeView();
}
