#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

class DefaultsStore;

// The preferences sheet without its widgets: what every control shows,
// which controls and labels are enabled, and what is stored when.
//
// Controls are named (the names are the widgets' object names) and hold
// plain values: an int tag for pop-ups and button matrices, a double for
// sliders, a bool for check boxes, a string for text fields, whole minutes
// for the idle time. The theme-dependent controls are stored per theme as
// soon as they change (the theme pop-up stores "theme" at once too, so the
// display must not run while the sheet is open); the rest is stored by
// closeConfig(). "keepOnTop" is stored and applied when it is ticked.
//
// The dialog sets values as the user changes them and redraws from
// value()/isEnabled() whenever the sheet reports a change. Main thread only;
// the store must outlive the sheet.
class PreferencesSheet
{
public:
    enum class Kind { PopUp, Matrix, IntSlider, FloatSlider, Text, Check, Minutes };
    enum class Group { Theme, Look, Details, Playback, Window };

    struct Control
    {
        QString name;
        Kind kind;
        Group group;
        QString key;         // the global key it shows; empty: none
        double minimum = 0;  // sliders and minutes
        double maximum = 0;
        QString title;       // the label or check box text
    };
    struct Item
    {
        int tag;
        QString title;
    };

    // Every control, in the order the dialog lays them out.
    static const QList<Control> &controls();
    static const Control *control(const QString &name);
    // The items of a pop-up or matrix, by tag.
    static QList<Item> items(const QString &name);
    // The six labels whose colour follows the theme; each sits by a control.
    static const QList<std::pair<QString, QString>> &labels(); // label, control

    // What the sheet asks of the application.
    struct Hooks
    {
        std::function<void()> setWindowLevel;       // "keepOnTop" changed
        std::function<void()> addNewCoverlumeView;  // the sheet was accepted
    };

    explicit PreferencesSheet(DefaultsStore &defaults, Hooks hooks = {});

    // Fills every control from the store and enables them for the theme.
    void configureSheet();

    QVariant value(const QString &name) const { return m_values.value(name); }
    bool isEnabled(const QString &name) const { return !m_disabled.contains(name); }
    bool isLabelDisabled(const QString &label) const { return m_disabledLabels.contains(label); }

    // The user changed a control. Values are clamped to the control's range;
    // unknown names are ignored. Calls the change listener once.
    void setValue(const QString &name, const QVariant &value);
    void setChangeListener(std::function<void()> listener) { m_changed = std::move(listener); }

    // Accepting the sheet: the theme's settings, then the global keys, then
    // a new view.
    void closeConfig();
    // The current theme's own settings, from the controls (nothing for
    // Random or a number that names no theme).
    void saveThemeSpecificSettings();

    // The idle setting's units (2^30 ns each) and whole minutes, rounded to
    // the nearest; a time under half a minute shows as one.
    static qint64 minutesToIdleUnits(int minutes);
    static int idleUnitsToMinutes(qint64 units);

private:
    void handleControl(const QString &sender);
    void applyEnablingFor(int theme);
    void overrideWithThemeSettingsIfPoss();
    void overrideWithThemeSettings();
    QVariantMap themeEntryValues() const;
    std::optional<QVariantMap> settingsForCurrentTheme() const;
    int tagOf(const QString &name) const { return m_values.value(name).toInt(); }
    bool isOn(const QString &name) const { return m_values.value(name).toBool(); }
    QVariant clamped(const Control &control, const QVariant &value) const;

    DefaultsStore &m_defaults;
    Hooks m_hooks;
    QHash<QString, QVariant> m_values;
    // The theme entries' values as the sheet last read or wrote them for
    // the current theme: what differs from them the user changed.
    QVariantMap m_themeShown;
    QSet<QString> m_disabled;
    QSet<QString> m_disabledLabels;
    // What the idle field showed when the sheet was filled, and the stored
    // units behind it: an untouched field keeps the units exactly.
    int m_idleMinutesShown = 0;
    qint64 m_idleUnitsRead = 0;
    std::function<void()> m_changed;
};
