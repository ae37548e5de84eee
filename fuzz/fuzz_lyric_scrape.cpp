// Pages of the lyrics sources and their search service. The first line of
// the input is "artist<TAB>song", the rest is the page every scraping step
// reads.

#include "FuzzSupport.h"
#include "lyrics/LyricFetchers.h"

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = QString::fromUtf8(FuzzSupport::bytes(data, size));
    const qsizetype lineEnd = input.indexOf(u'\n');
    const QString first = input.left(lineEnd < 0 ? 0 : lineEnd);
    const QString page = input.mid(lineEnd + 1);
    const QString artist = first.section(u'\t', 0, 0);
    const QString song = first.section(u'\t', 1);
    const LyricsBases bases;

    if (const auto address = LyricScrape::wikiPageAddress(page))
        (void)LyricScrape::checkedAddress(*address);
    (void)LyricScrape::wikiLyrics(page);
    const QStringList prefixes{bases.azLyrics + QStringLiteral("/lyrics"), bases.metroLyrics + QStringLiteral("/"),
                               bases.metalArchives + QStringLiteral("/albums")};
    for (const QString &prefix : prefixes) {
        if (const auto link = LyricScrape::htmlLink(page, prefix))
            FuzzSupport::require(link->startsWith(prefix, Qt::CaseInsensitive), "a link starts with its prefix");
        if (const auto link = LyricScrape::quotedLink(page, prefix))
            FuzzSupport::require(link->startsWith(prefix, Qt::CaseInsensitive), "a quoted link starts with its prefix");
    }
    (void)LyricScrape::azLyrics(page);
    (void)LyricScrape::metroLyrics(page, artist);
    if (const auto id = LyricScrape::metalLyricsId(page, song))
        (void)LyricScrape::checkedAddress(LyricScrape::metalLyricsAddress(bases, *id));
    (void)LyricScrape::metalLyrics(page);
    (void)LyricScrape::azArtistWord(artist);
    (void)LyricScrape::checkedAddress(LyricScrape::wikiApiAddress(bases, song, artist));
    (void)LyricScrape::checkedAddress(first);
    (void)LyricScrape::searchAddress(bases, LyricScrape::azQuery(song, artist));
    return 0;
}
