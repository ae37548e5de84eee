#include "lyrics/LyricFetchers.h"

#include "lyrics/HtmlText.h"
#include "platform/BoundedGet.h"
#include "platform/DefaultsStore.h"
#include "platform/WebText.h"

using namespace Qt::StringLiterals;

LyricsBases LyricsBases::fromSettings(const DefaultsStore &defaults)
{
    LyricsBases bases;
    const auto read = [&defaults](const QString &key, QString &base) {
        QString value = defaults.stringValue(key).trimmed();
        while (value.endsWith(u'/'))
            value.chop(1);
        if (!value.isEmpty())
            base = value;
    };
    read(u"lyricsWikiBase"_s, bases.lyricsWiki);
    read(u"bingBase"_s, bases.bing);
    read(u"azLyricsBase"_s, bases.azLyrics);
    read(u"metroLyricsBase"_s, bases.metroLyrics);
    read(u"metalArchivesBase"_s, bases.metalArchives);
    return bases;
}

namespace LyricScrape {

namespace {

// The text from `marker` + `offset` on; nothing when the marker is absent or
// the offset runs past the end.
std::optional<QString> fromMarker(const QString &text, const QString &marker, qsizetype offset)
{
    const qsizetype at = text.indexOf(marker);
    if (at < 0 || at + offset > text.size())
        return std::nullopt;
    return text.sliced(at + offset);
}

// The text before the first `marker`; nothing without one.
std::optional<QString> beforeMarker(const QString &text, const QString &marker)
{
    const qsizetype at = text.indexOf(marker);
    if (at < 0)
        return std::nullopt;
    return text.first(at);
}

QString removeAll(QString text, std::initializer_list<QString> pieces)
{
    for (const QString &piece : pieces)
        text.remove(piece);
    return text;
}

bool isAddressCharacter(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return true;
    return QStringView(u"-._~:/?#[]@!$&'()*+,;=%").contains(QChar(c));
}

bool isHexDigit(QChar c)
{
    return c.isDigit() || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

} // namespace

bool containsIgnoringCase(const QString &text, const QString &needle)
{
    return !needle.isEmpty() && text.contains(needle, Qt::CaseInsensitive);
}

QUrl checkedAddress(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() > 0x7F || !isAddressCharacter(c.unicode()))
            return {};
        if (c == u'%' && (i + 2 >= text.size() || !isHexDigit(text.at(i + 1)) || !isHexDigit(text.at(i + 2))))
            return {};
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || !BoundedGet::isHttp(url))
        return {};
    return url;
}

QString wikiApiAddress(const LyricsBases &bases, const QString &song, const QString &artist)
{
    return bases.lyricsWiki + u"/api.php?func=getSong&artist="_s + HtmlText::cleanForAddress(artist)
        + u"&song="_s + HtmlText::cleanForAddress(song) + u"&fmt=xml"_s;
}

std::optional<QString> wikiPageAddress(const QString &answer)
{
    if (answer.contains(u"Not found"_s))
        return std::nullopt;
    const qsizetype open = answer.indexOf(u"<url>"_s, 0, Qt::CaseInsensitive);
    if (open < 0)
        return std::nullopt;
    const qsizetype start = open + 5;
    const qsizetype close = answer.indexOf(u"</url>"_s, start, Qt::CaseInsensitive);
    if (close < 0)
        return std::nullopt;
    return HtmlText::unescapeString(answer.sliced(start, close - start));
}

std::optional<QString> wikiLyrics(const QString &page)
{
    const std::optional<QString> box = fromMarker(page, u"class='lyricbox'>"_s, 17);
    if (!box)
        return std::nullopt;
    const qsizetype first = box->indexOf(u"&#"_s);
    if (first < 0)
        return std::nullopt;
    QString text = box->sliced(first);
    text.replace(u"<br />"_s, u"\n"_s);
    text = HtmlText::stripATags(removeAll(std::move(text), {u"<i>"_s, u"</i>"_s, u"<b>"_s, u"</b>"_s}));
    const std::optional<QString> words = beforeMarker(text, u"<"_s);
    if (!words)
        return std::nullopt;
    QString lyrics = HtmlText::unescapeFromHtml(*words);
    if (lyrics.contains(u"Unfortunately, we are not licensed"_s))
        return std::nullopt;
    return lyrics;
}

QString searchAddress(const LyricsBases &bases, const QString &query)
{
    QString text = bases.bing + u"/search?q="_s + query;
    text.remove(u'&');
    return WebText::percentEncodeAddress(text);
}

QString azQuery(const QString &song, const QString &artist)
{
    return HtmlText::cleanForAddress(artist) + u"+lyrics+"_s + HtmlText::cleanForAddress(song);
}

QString metroQuery(const QString &song, const QString &artist)
{
    return HtmlText::cleanForAddress(artist) + u"+"_s + HtmlText::cleanForAddress(song) + u"+lyrics"_s;
}

QString metalQuery(const QString &song, const QString &artist)
{
    return artist + u"+lyrics+"_s + song + u"+metal+archives"_s;
}

std::optional<QString> htmlLink(const QString &searchPage, const QString &prefix)
{
    if (prefix.isEmpty())
        return std::nullopt;
    const qsizetype start = searchPage.indexOf(prefix, 0, Qt::CaseInsensitive);
    if (start < 0)
        return std::nullopt;
    const qsizetype end = searchPage.indexOf(u".html"_s, start, Qt::CaseInsensitive);
    if (end < 0)
        return std::nullopt;
    return HtmlText::unescapeString(searchPage.sliced(start, end + 5 - start));
}

std::optional<QString> quotedLink(const QString &searchPage, const QString &prefix)
{
    if (prefix.isEmpty())
        return std::nullopt;
    const qsizetype start = searchPage.indexOf(prefix, 0, Qt::CaseInsensitive);
    if (start < 0)
        return std::nullopt;
    const qsizetype end = searchPage.indexOf(u'"', start);
    if (end < 0)
        return std::nullopt;
    return HtmlText::unescapeString(searchPage.sliced(start, end - start));
}

QString azArtistWord(const QString &artist)
{
    const QString word = artist.section(u' ', 0, 0);
    qsizetype begin = 0;
    qsizetype end = word.size();
    while (begin < end && word.at(begin).isPunct())
        ++begin;
    while (end > begin && word.at(end - 1).isPunct())
        --end;
    return word.sliced(begin, end - begin);
}

std::optional<QString> azLyrics(const QString &page)
{
    const std::optional<QString> after = fromMarker(page, u"Sorry about that. -->"_s, 24);
    if (!after)
        return std::nullopt;
    std::optional<QString> text = beforeMarker(*after, u"</div>"_s);
    if (!text)
        return std::nullopt;
    text->replace(u"<br />"_s, u"\n"_s);
    text->replace(u"<br>"_s, u"\n"_s);
    return HtmlText::unescapeFromHtml(*text);
}

std::optional<QString> metroLyrics(const QString &page, const QString &artist)
{
    if (!containsIgnoringCase(page, artist))
        return std::nullopt;
    const std::optional<QString> after = fromMarker(page, u"<div id=\"lyrics-body-text\">"_s, 27);
    if (!after)
        return std::nullopt;
    std::optional<QString> text = beforeMarker(*after, u"</div>"_s);
    if (!text)
        return std::nullopt;
    text->replace(u"<br/>"_s, u"\n"_s);
    text->remove(u"<p class='verse'>"_s);
    QString lyrics = HtmlText::unescapeFromHtml(*text);
    if (lyrics.contains(u"Unfortunately, we aren't authorized to display these lyrics"_s))
        return std::nullopt;
    return lyrics;
}

std::optional<QString> metalLyricsId(const QString &albumPage, const QString &song)
{
    if (song.isEmpty())
        return std::nullopt;
    const qsizetype at = albumPage.indexOf(song, 0, Qt::CaseInsensitive);
    if (at < 0)
        return std::nullopt;
    const qsizetype hash = albumPage.indexOf(u'#', at + song.size());
    if (hash < 0)
        return std::nullopt;
    const qsizetype quote = albumPage.indexOf(u'"', hash + 1);
    if (quote < 0)
        return std::nullopt;
    return albumPage.sliced(hash + 1, quote - hash - 1);
}

QString metalLyricsAddress(const LyricsBases &bases, const QString &id)
{
    return bases.metalArchives + u"/release/ajax-view-lyrics/id/"_s + id;
}

QString metalLyrics(const QString &body)
{
    QString text = body;
    text.replace(u"<br />"_s, u"\n"_s);
    text = removeAll(std::move(text), {u"<em>"_s, u"</em>"_s, u"<strong>"_s, u"</strong>"_s, u"<i>"_s,
                                       u"</i>"_s, u"<b>"_s, u"</b>"_s});
    return HtmlText::unescapeFromHtml(text);
}

} // namespace LyricScrape

const QByteArray LyricFetcher::userAgent = QByteArrayLiteral(
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_9_5) AppleWebKit/600.1.17 (KHTML, like Gecko) "
    "Version/7.1 Safari/537.85.10");

LyricFetcher::LyricFetcher(Site site, Get get, Log log)
    : m_site(site)
    , m_get(std::move(get))
    , m_log(std::move(log))
{
}

LyricFetcher::Get LyricFetcher::webGet(QNetworkAccessManager *manager, const std::atomic<bool> *cancel)
{
    return [manager, cancel](const QUrl &url) -> std::optional<QByteArray> {
        BoundedGet::Options options;
        options.deadline = std::chrono::milliseconds(timeoutMs);
        options.maxBytes = maxBodyBytes;
        options.maxRedirects = 10;
        options.userAgent = userAgent;
        options.readErrorBodies = true;
        options.cancel = cancel;
        BoundedGet::Result result = BoundedGet::get(QNetworkRequest(url), options, manager);
        if (!result.ok)
            return std::nullopt;
        return std::move(result.body);
    };
}

void LyricFetcher::log(const QString &line) const
{
    if (m_log)
        m_log(line);
}

std::optional<QString> LyricFetcher::fetch(const QString &address)
{
    const QUrl url = LyricScrape::checkedAddress(address);
    std::optional<QByteArray> body;
    if (url.isValid() && m_get)
        body = m_get(url);
    if (!body) {
        log(u"data is nil"_s);
        return std::nullopt;
    }
    // Bytes that are not UTF-8 are no text: nothing is guessed or repaired.
    return WebText::decodeUtf8(*body);
}

std::optional<QString> LyricFetcher::getLyricsForSong(const QString &song, const QString &artist,
                                                      const LyricsBases &bases)
{
    if (song.isEmpty() || artist.isEmpty())
        return std::nullopt;
    if (m_cartist && m_csong && *m_cartist == artist && *m_csong == song && m_clyrics && !m_clyrics->isEmpty())
        return m_clyrics;
    m_cartist.reset();
    m_csong.reset();
    m_clyrics.reset();
    std::optional<QString> lyrics = scrape(song, artist, bases);
    if (lyrics) {
        m_csong = song;
        m_cartist = artist;
        m_clyrics = lyrics;
    }
    return lyrics;
}

std::optional<QString> LyricFetcher::scrape(const QString &song, const QString &artist, const LyricsBases &bases)
{
    using namespace LyricScrape;
    switch (m_site) {
    case Site::LyricsWiki: {
        const std::optional<QString> answer = fetch(wikiApiAddress(bases, song, artist));
        const std::optional<QString> address = answer ? wikiPageAddress(*answer) : std::nullopt;
        if (!address)
            return std::nullopt;
        const std::optional<QString> page = fetch(*address);
        return page ? wikiLyrics(*page) : std::nullopt;
    }
    case Site::AZLyrics:
    case Site::MetroLyrics: {
        const bool az = m_site == Site::AZLyrics;
        const std::optional<QString> search
            = fetch(searchAddress(bases, az ? azQuery(song, artist) : metroQuery(song, artist)));
        const std::optional<QString> link
            = search ? htmlLink(*search, az ? bases.azLyrics + u"/lyrics"_s : bases.metroLyrics) : std::nullopt;
        if (!link)
            return std::nullopt;
        const std::optional<QString> page = fetch(*link);
        if (!page)
            return std::nullopt;
        if (!az)
            return metroLyrics(*page, artist);
        if (!containsIgnoringCase(*page, azArtistWord(artist))) {
            log(u"%1 doesn't contain %2"_s.arg(*link, artist));
            return std::nullopt;
        }
        return azLyrics(*page);
    }
    case Site::MetalArchives: {
        const std::optional<QString> search = fetch(searchAddress(bases, metalQuery(song, artist)));
        const std::optional<QString> link
            = search ? quotedLink(*search, bases.metalArchives + u"/albums"_s) : std::nullopt;
        if (!link)
            return std::nullopt;
        const std::optional<QString> album = fetch(*link);
        if (!album)
            return std::nullopt;
        if (!containsIgnoringCase(*album, artist)) {
            log(u"%1 doesn't contain %2"_s.arg(*link, artist));
            return std::nullopt;
        }
        const std::optional<QString> id = metalLyricsId(*album, song);
        const std::optional<QString> body = id ? fetch(metalLyricsAddress(bases, *id)) : std::nullopt;
        return body ? std::optional<QString>(metalLyrics(*body)) : std::nullopt;
    }
    }
    return std::nullopt;
}
