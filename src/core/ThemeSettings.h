#pragma once

#include "model/ThemeId.h"

#include <QString>
#include <QVariantMap>
#include <optional>

class DefaultsStore;

// Which theme to show and the display settings that exist once globally and
// once per theme. The theme shown is cached and read again whenever the
// store reports a change; everything else reads the store at each call, so
// a changed setting takes effect at the next read.
//
// The nine getters read the global value (or a built-in fallback, logging
// "NO DEFAULT DEFAULT!!!" when the key is missing), then prefer the per-theme
// dictionary of the theme being shown when there is one; an entry missing
// from that dictionary reads as 0, not as the global value. Main thread only.
class ThemeSettings
{
public:
    explicit ThemeSettings(DefaultsStore &defaults);
    ~ThemeSettings();
    ThemeSettings(const ThemeSettings &) = delete;
    ThemeSettings &operator=(const ThemeSettings &) = delete;

    // The theme to show, Random resolved. May be a number that names no
    // theme when the stored "theme" does.
    ThemeId getTheme() const;
    // Advances the Random rotation by one: 0, 2, 3, 5, 6, 7, 0, …
    void nextRandomTheme();
    // The per-theme dictionary of the chosen theme, Random not resolved.
    std::optional<QVariantMap> settingsForCurrentTheme() const;

    float getArtworkSizeForCurrentTheme() const;
    float getFontSizeForCurrentTheme() const;
    float get3DeffectForCurrentTheme() const;
    bool getShowRatingForCurrentTheme() const;
    bool getShowLovedForCurrentTheme() const;
    bool getShowProgressForCurrentTheme() const;
    int getShowTimeForCurrentTheme() const;
    bool getCentredForCurrentTheme() const;
    bool getStaticForCurrentTheme() const;

    // "classicSettings" … for a theme number; empty for Random and numbers
    // that name no theme.
    static QString dictionaryKey(ThemeId theme);

private:
    enum class Global { Float, TruncatedFloat, Boolean };
    enum class Entry { Float, Boolean, Integer };
    // The getter machinery: the result as a double, before the caller narrows it.
    double lookUp(const QString &key, Global global, double fallback, Entry entry) const;
    // The per-theme dictionary stored for a theme number, if any.
    std::optional<QVariantMap> dictionaryOf(ThemeId theme) const;
    // The theme to show as the store holds it now; missing: no "theme" at all.
    struct Shown
    {
        ThemeId theme = ThemeId::AppleTV;
        bool missing = false;
    };
    Shown readTheme() const;

    DefaultsStore &m_defaults;
    int m_listener = 0;
    mutable Shown m_shown;
    mutable bool m_shownIsCurrent = false;
};
