#include "core/ThemeSettings.h"

#include "core/ThemeTable.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

const QString kTheme = QStringLiteral("theme");
const QString kCurrentRandomTheme = QStringLiteral("currentRandomTheme");
constexpr ThemeId kAppleTV = ThemeId::AppleTV;

void logNoDefault()
{
    qCInfo(lcCore, "NO DEFAULT DEFAULT!!!");
}

// BOOL and small-int results keep only the low 8 bits, as a signed value.
int lowSignedByte(double value)
{
    const qint64 whole = DefaultsStore::toInteger(QVariant(value));
    return static_cast<int8_t>(static_cast<uint8_t>(whole & 0xff));
}

bool isRealTheme(qint64 theme)
{
    return theme >= 0 && theme <= 9;
}

// The size factors scale points of a view at most a few thousand wide; the
// 3D effect turns the cover by 20 degrees a unit.
constexpr double maxSizeFactor = 10.0;
constexpr double max3Deffect = 10.0;

// A size or angle factor held to a range in which no layout's arithmetic
// can overflow; a value outside it (or not a number) is logged once per key.
float boundedSetting(const QString &key, double value, double limit, float fallback, bool *logged)
{
    const double low = key == QLatin1String("3Deffect") ? -limit : 0.0;
    double bounded = value;
    if (std::isnan(value))
        bounded = fallback;
    else
        bounded = std::clamp(value, low, limit);
    if (bounded != value && !*logged) {
        qCWarning(lcCore, "%s %g is out of range; using %g", qPrintable(key), value, bounded);
        *logged = true;
    }
    return static_cast<float>(bounded);
}

} // namespace

ThemeSettings::ThemeSettings(DefaultsStore &defaults)
    : m_defaults(defaults)
{
    m_listener = m_defaults.addChangeListener([this] { m_shownIsCurrent = false; });
}

ThemeSettings::~ThemeSettings()
{
    m_defaults.removeChangeListener(m_listener);
}

QString ThemeSettings::dictionaryKey(ThemeId theme)
{
    const ThemeEntry *entry = themeEntry(theme);
    return entry ? QString::fromLatin1(entry->settingsKey) : QString();
}

ThemeId ThemeSettings::getTheme() const
{
    if (!m_shownIsCurrent) {
        // Reading may write the rotation back, which reports a change: the
        // answer stands for the store as it is after that write.
        const Shown shown = readTheme();
        m_shown = shown;
        m_shownIsCurrent = true;
    }
    if (m_shown.missing)
        logNoDefault();
    return m_shown.theme;
}

ThemeSettings::Shown ThemeSettings::readTheme() const
{
    if (!m_defaults.contains(kTheme))
        return {kAppleTV, true};
    const ThemeId theme = ThemeId(m_defaults.intValue(kTheme));
    if (theme != ThemeId::Random)
        return {theme};
    if (!m_defaults.contains(kCurrentRandomTheme)) {
        m_defaults.set(kCurrentRandomTheme, int(kAppleTV));
        return {kAppleTV};
    }
    const qint64 shown = m_defaults.integerValue(kCurrentRandomTheme);
    if (!isRealTheme(shown)) {
        // A value that names no theme would leave Random blank for good.
        static bool logged = false;
        if (!logged) {
            qCWarning(lcCore, "currentRandomTheme %lld names no theme; restarting the rotation",
                      static_cast<long long>(shown));
            logged = true;
        }
        m_defaults.set(kCurrentRandomTheme, 0);
        return {ThemeId::Classic};
    }
    return {ThemeId(shown)};
}

void ThemeSettings::nextRandomTheme()
{
    int next = 0;
    if (m_defaults.contains(kCurrentRandomTheme)) {
        const qint64 current = m_defaults.integerValue(kCurrentRandomTheme);
        if (isRealTheme(current)) {
            next = current == 0 ? 2 : static_cast<int>(current) + 1;
            if (next == 4)
                next = 5;
            if (next == 8)
                next = 0;
        }
    }
    // Written through at once: the next run carries on from here.
    m_defaults.set(kCurrentRandomTheme, next);
}

std::optional<QVariantMap> ThemeSettings::dictionaryOf(ThemeId theme) const
{
    const QString key = dictionaryKey(theme);
    if (key.isEmpty())
        return std::nullopt;
    const QVariant value = m_defaults.object(key);
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return value.toMap();
}

std::optional<QVariantMap> ThemeSettings::settingsForCurrentTheme() const
{
    return dictionaryOf(ThemeId(m_defaults.intValue(kTheme)));
}

double ThemeSettings::lookUp(const QString &key, Global global, double fallback, Entry entry) const
{
    double value = fallback;
    if (m_defaults.contains(key)) {
        switch (global) {
        case Global::Float:
            value = m_defaults.floatValue(key);
            break;
        case Global::TruncatedFloat:
            value = std::trunc(static_cast<double>(m_defaults.floatValue(key)));
            break;
        case Global::Boolean:
            value = m_defaults.boolValue(key) ? 1 : 0;
            break;
        }
    } else {
        logNoDefault();
    }

    const std::optional<QVariantMap> dictionary = dictionaryOf(getTheme());
    if (!dictionary)
        return value;
    const QVariant stored = dictionary->value(key);
    switch (entry) {
    case Entry::Float:
        return DefaultsStore::toFloat(stored);
    case Entry::Boolean:
        return DefaultsStore::toBool(stored) ? 1 : 0;
    case Entry::Integer:
        return static_cast<double>(DefaultsStore::toInteger(stored));
    }
    return value;
}

float ThemeSettings::getArtworkSizeForCurrentTheme() const
{
    static bool logged = false;
    return boundedSetting(QStringLiteral("imageSize"), lookUp(QStringLiteral("imageSize"), Global::Float, 1.2f, Entry::Float),
                          maxSizeFactor, 1.2f, &logged);
}

float ThemeSettings::getFontSizeForCurrentTheme() const
{
    static bool logged = false;
    return boundedSetting(QStringLiteral("fontSize"), lookUp(QStringLiteral("fontSize"), Global::Float, 1.0f, Entry::Float),
                          maxSizeFactor, 1.0f, &logged);
}

float ThemeSettings::get3DeffectForCurrentTheme() const
{
    static bool logged = false;
    return boundedSetting(QStringLiteral("3Deffect"), lookUp(QStringLiteral("3Deffect"), Global::Float, 0.3f, Entry::Float),
                          max3Deffect, 0.3f, &logged);
}

bool ThemeSettings::getShowRatingForCurrentTheme() const
{
    return lowSignedByte(lookUp(QStringLiteral("showRating"), Global::TruncatedFloat, 1, Entry::Boolean)) != 0;
}

bool ThemeSettings::getShowLovedForCurrentTheme() const
{
    return lowSignedByte(lookUp(QStringLiteral("showLoved"), Global::TruncatedFloat, 1, Entry::Boolean)) != 0;
}

bool ThemeSettings::getShowProgressForCurrentTheme() const
{
    return lowSignedByte(lookUp(QStringLiteral("showProgress"), Global::TruncatedFloat, 1, Entry::Boolean)) != 0;
}

int ThemeSettings::getShowTimeForCurrentTheme() const
{
    return lowSignedByte(lookUp(QStringLiteral("showTime"), Global::TruncatedFloat, 0, Entry::Integer));
}

bool ThemeSettings::getCentredForCurrentTheme() const
{
    return lowSignedByte(lookUp(QStringLiteral("centred"), Global::TruncatedFloat, 0, Entry::Boolean)) != 0;
}

bool ThemeSettings::getStaticForCurrentTheme() const
{
    return lowSignedByte(lookUp(QStringLiteral("keepStatic"), Global::Boolean, 0, Entry::Boolean)) != 0;
}
