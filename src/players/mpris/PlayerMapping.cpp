#include "players/mpris/PlayerMapping.h"

#include "players/PlayerProfile.h"

namespace {

QString trimmedText(const QVariant &value)
{
    return value.typeId() == QMetaType::QString ? value.toString().trimmed() : QString();
}

} // namespace

PlayerMapping::PlayerMapping(const QVariant &playerMapping, const QVariant &ignoredPlayers)
{
    const QVariantMap mapping = playerMapping.toMap();
    for (auto it = mapping.cbegin(); it != mapping.cend(); ++it) {
        const QString pattern = trimmedText(it.value());
        if (pattern.isEmpty() || !PlayerProfile::find(it.key()))
            continue;
        m_mapping.append({it.key(), pattern});
    }
    // A single text is taken as a list of one.
    QVariantList ignored = ignoredPlayers.toList();
    if (ignoredPlayers.typeId() == QMetaType::QString)
        ignored = {ignoredPlayers};
    for (const QVariant &entry : std::as_const(ignored)) {
        const QString pattern = trimmedText(entry);
        if (!pattern.isEmpty())
            m_ignored << pattern;
    }
}

QString PlayerMapping::suffixOf(const QString &busName)
{
    const QLatin1String prefix(busPrefix);
    if (!busName.startsWith(prefix) || busName.size() == prefix.size())
        return QString();
    return busName.mid(prefix.size());
}

bool PlayerMapping::matches(const QString &pattern, const QString &busName, const QString &identity)
{
    if (pattern.isEmpty())
        return false;
    if (!identity.isEmpty() && identity.compare(pattern, Qt::CaseInsensitive) == 0)
        return true;
    const QString suffix = suffixOf(busName);
    if (suffix.isEmpty())
        return false;
    if (suffix.compare(pattern, Qt::CaseInsensitive) == 0)
        return true;
    // An instance suffix follows a dot: "chromium.instance575".
    return suffix.size() > pattern.size() && suffix.at(pattern.size()) == QLatin1Char('.')
        && suffix.startsWith(pattern, Qt::CaseInsensitive);
}

bool PlayerMapping::isProxy(const QString &busName)
{
    return matches(QStringLiteral("playerctld"), busName, QString());
}

bool PlayerMapping::isIgnored(const QString &busName, const QString &identity) const
{
    for (const QString &pattern : m_ignored) {
        if (matches(pattern, busName, identity))
            return true;
    }
    return false;
}

QString PlayerMapping::nameFor(const QString &busName, const QString &identity) const
{
    if (suffixOf(busName).isEmpty() || isProxy(busName) || isIgnored(busName, identity))
        return QString();
    for (const auto &[name, pattern] : m_mapping) {
        if (matches(pattern, busName, identity))
            return name;
    }
    if (matches(QStringLiteral("spotify"), busName, QString()))
        return QStringLiteral("Spotify");
    return QStringLiteral("Music");
}
