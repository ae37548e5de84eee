#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <atomic>
#include <functional>
#include <optional>

class DefaultsStore;
class QNetworkAccessManager;

// Where the four lyrics sources and the search service live. Each defaults
// to the real site and may be pointed elsewhere by a setting of the same
// name ("lyricsWikiBase", "bingBase", "azLyricsBase", "metroLyricsBase",
// "metalArchivesBase"); the links looked for in search pages are built from
// the same bases. Kept without a trailing "/".
struct LyricsBases
{
    QString lyricsWiki = QStringLiteral("https://lyrics.wikia.com");
    QString bing = QStringLiteral("https://www.bing.com");
    QString azLyrics = QStringLiteral("https://www.azlyrics.com");
    QString metroLyrics = QStringLiteral("https://www.metrolyrics.com");
    QString metalArchives = QStringLiteral("https://www.metal-archives.com");

    // Main thread: the store is read there.
    static LyricsBases fromSettings(const DefaultsStore &defaults);
};

// The scraping steps, as pure functions of the page texts. Every failure is
// nothing. Markers are literal and case-sensitive unless the name says
// otherwise; positions count UTF-16 units.
namespace LyricScrape {

// The text as an address the fetchers request: http or https, a host, and
// only characters an address may hold (percent escapes well formed).
// Invalid otherwise; a non-ASCII letter makes it invalid, as it is not
// escaped for the wiki.
QUrl checkedAddress(const QString &text);

QString wikiApiAddress(const LyricsBases &bases, const QString &song, const QString &artist);
// The song page's address from the wiki's answer.
std::optional<QString> wikiPageAddress(const QString &answer);
std::optional<QString> wikiLyrics(const QString &page);

// A search of the search service: "&" removed, then percent-encoded.
QString searchAddress(const LyricsBases &bases, const QString &query);
QString azQuery(const QString &song, const QString &artist);
QString metroQuery(const QString &song, const QString &artist);
QString metalQuery(const QString &song, const QString &artist);

// The first link in a search page that starts with `prefix` (ignoring
// case) and runs through ".html" (ignoring case), unescaped.
std::optional<QString> htmlLink(const QString &searchPage, const QString &prefix);
// The first link that starts with `prefix` (ignoring case, as host names
// are) and runs up to a quotation mark, unescaped.
std::optional<QString> quotedLink(const QString &searchPage, const QString &prefix);

// The artist's first space-separated word, punctuation stripped from its
// ends: what an AZLyrics page must contain.
QString azArtistWord(const QString &artist);
std::optional<QString> azLyrics(const QString &page);

std::optional<QString> metroLyrics(const QString &page, const QString &artist);

// The track's lyrics identifier on a Metal Archives album page.
std::optional<QString> metalLyricsId(const QString &albumPage, const QString &song);
QString metalLyricsAddress(const LyricsBases &bases, const QString &id);
QString metalLyrics(const QString &body);

// Whether `text` holds `needle` ignoring case; an empty needle never.
bool containsIgnoringCase(const QString &text, const QString &needle);

} // namespace LyricScrape

// One lyrics source with its memory of the last success. Used from one
// thread at a time; its requests are synchronous and bounded.
class LyricFetcher
{
public:
    enum class Site { LyricsWiki, AZLyrics, MetalArchives, MetroLyrics };
    // The body at an address, or nothing when there is none.
    using Get = std::function<std::optional<QByteArray>(const QUrl &url)>;
    using Log = std::function<void(const QString &line)>;

    static constexpr int timeoutMs = 10'000;
    static constexpr qint64 maxBodyBytes = 2 * 1024 * 1024;
    static const QByteArray userAgent;

    LyricFetcher(Site site, Get get, Log log = {});

    // The lyrics, lines separated by line feeds, or nothing. A repeat of the
    // last success (exact song and artist) makes no request.
    std::optional<QString> getLyricsForSong(const QString &song, const QString &artist,
                                            const LyricsBases &bases);

    Site site() const { return m_site; }

    // The GET every fetcher makes, on the calling (worker) thread: the
    // sites' "User-Agent", 10 s in all, no cache, redirects followed, the
    // body of an error status read, nothing over 2 MiB.
    static Get webGet(QNetworkAccessManager *manager, const std::atomic<bool> *cancel);

private:
    std::optional<QString> scrape(const QString &song, const QString &artist, const LyricsBases &bases);
    std::optional<QString> fetch(const QString &address);
    void log(const QString &line) const;

    Site m_site;
    Get m_get;
    Log m_log;
    std::optional<QString> m_cartist, m_csong, m_clyrics;
};
