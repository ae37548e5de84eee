#pragma once

#include <QString>
#include <QStringList>
#include <span>

// The small string operations the lyrics scrapers clean page text with, and
// the case-insensitive list test player detection uses. Pure functions of
// their arguments; any thread. Positions and lengths count UTF-16 units.
namespace HtmlText {

struct Entity
{
    const char16_t *reference; // "&quot;", ampersand and semicolon included
    char16_t unit;
};

// The named references of HTML 4.01 and "&apos;": 253 entries, sorted by
// the unit they stand for.
std::span<const Entity> entityTable();

// "&amp;" to "&", then "&apos;" to "'" (so "&amp;apos;" gives "'").
QString unescapeString(const QString &text);

// Decodes the character references: named ones from the table, "&#NNN;"
// and "&#xHH;" of one code unit (1 to 65534, digits only). One pass from the
// end; a decoded "&" is never read again, and a reference is looked for only
// up to the "&" after it. What does not decode stays as it is.
QString unescapeFromHtml(const QString &text);

// Removes every "<a href…>" and every "</a>", keeping the link text. An
// "<a href" that no ">" follows stays, with everything after it.
QString stripATags(const QString &text);

// An artist or title as a path fragment: "&" and "?" removed, the three
// apostrophes to "%27", spaces to "%20"; nothing else escaped.
QString cleanForAddress(const QString &text);

// Whether some element equals `text` ignoring case (whole strings).
bool containsIgnoringCase(const QStringList &list, const QString &text);

} // namespace HtmlText
