#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

class DefaultsStore;

// Which theme to show and the display settings that exist once globally and
// once per theme. Nothing is cached: every call reads the settings store, so
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

    // The theme to show, Random resolved. May be a number that names no
    // theme when the stored "theme" does.
    int getTheme() const;
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
    static QString dictionaryKey(int theme);

private:
    enum class Global { Float, TruncatedFloat, Boolean };
    enum class Entry { Float, Boolean, Integer };
    // The getter machinery: the result as a double, before the caller narrows it.
    double lookUp(const QString &key, Global global, double fallback, Entry entry) const;
    // The per-theme dictionary stored for a theme number, if any.
    std::optional<QVariantMap> dictionaryOf(int theme) const;

    DefaultsStore &m_defaults;
};
