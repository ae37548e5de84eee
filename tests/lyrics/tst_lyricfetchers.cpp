#include "lyrics/LyricFetchers.h"
#include "support/NetworkStandIn.h"

#include <QNetworkAccessManager>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kHost = u"127.0.0.18"_s;
constexpr quint16 kPort = 45180;
const QByteArray kRoot = "http://127.0.0.18:45180";

// Every site behind one stand-in, each under a path of its own.
LyricsBases standInBases()
{
    LyricsBases bases;
    const QString root = QString::fromLatin1(kRoot);
    bases.lyricsWiki = root + u"/wiki"_s;
    bases.bing = root + u"/bing"_s;
    bases.azLyrics = root + u"/az"_s;
    bases.metroLyrics = root + u"/metro"_s;
    bases.metalArchives = root + u"/ma"_s;
    return bases;
}

// Our own invented band and song, as each site would show them.
QHash<QByteArray, QByteArray> sitePages()
{
    return {
        {"/wiki/api.php?func=getSong&artist=Lanterns%20of%20Oss&song=Copper%20Tide&fmt=xml",
         "<LyricsResult><URL>" + kRoot + "/wiki/Lanterns_of_Oss:Copper_Tide?a=1&amp;b=2</url></LyricsResult>"},
        {"/wiki/Lanterns_of_Oss:Copper_Tide?a=1&b=2",
         "<div class='lyricbox'><span>x</span>&#67;opper &amp; tide<br /><i>rolls</i> in<br />"
         "<a href='/w'>slow</a>ly<!-- end --></div>"},
        {"/bing/search?q=Lanterns%20of%20Oss+lyrics+Copper%20Tide",
         "<li><a href=\"" + kRoot.toUpper() + "/AZ/LYRICS/lanternsofoss/coppertide.HTML\">x</a>"},
        {"/AZ/LYRICS/lanternsofoss/coppertide.HTML",
         "<h1>lanterns of oss</h1><!-- Sorry about that. -->\n  Copper &#116;ide<br>\nrolls in<br />\n</div>"},
        {"/bing/search?q=Lanterns%20of%20Oss+Copper%20Tide+lyrics",
         "<a href=\"" + kRoot + "/metro/copper-tide-lyrics-lanterns-of-oss.html\">"},
        {"/metro/copper-tide-lyrics-lanterns-of-oss.html",
         "LANTERNS OF OSS<div id=\"lyrics-body-text\"><p class='verse'>Copper tide<br/>rolls in</div>"},
        {"/bing/search?q=Lanterns%20of%20Oss+lyrics+Copper%20Tide+metal+archives",
         "<a href=\"" + kRoot + "/ma/albums/Lanterns_of_Oss/Tidewrack/777\">"},
        {"/ma/albums/Lanterns_of_Oss/Tidewrack/777",
         "Lanterns of Oss - Tidewrack<tr><td>copper tide</td><td><a href=\"#4321\">Show</a></td></tr>"},
        {"/ma/release/ajax-view-lyrics/id/4321", "<em>Copper</em> tide<br />rolls <strong>in</strong>"},
    };
}

struct Sites
{
    QHash<QByteArray, QByteArray> pages = sitePages();
    int status = 200; // what every page is sent with
    NetworkStandIn server{[this](const NetworkStandIn::Request &request) {
        const auto page = pages.constFind(request.target);
        if (page == pages.constEnd())
            return NetworkStandIn::status(404);
        return NetworkStandIn::Answer{"HTTP/1.1 " + QByteArray::number(status) + " Page\r\nContent-Length: "
                                      + QByteArray::number(page->size()) + "\r\nConnection: close\r\n\r\n" + *page};
    }};
};

} // namespace

class LyricFetchersTest : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    QStringList m_log;

    LyricFetcher make(LyricFetcher::Site site)
    {
        return LyricFetcher(site, LyricFetcher::webGet(&m_manager, nullptr),
                            [this](const QString &line) { m_log << line; });
    }

    static QList<QByteArray> targets(const NetworkStandIn &server, qsizetype from = 0)
    {
        QList<QByteArray> list;
        const auto requests = server.requests();
        for (qsizetype i = from; i < requests.size(); ++i)
            list << requests.at(i).target;
        return list;
    }

private Q_SLOTS:
    void init() { m_log.clear(); }

    void eachSite_data()
    {
        QTest::addColumn<int>("site");
        QTest::addColumn<QList<QByteArray>>("paths");
        QTest::addColumn<QString>("lyrics");
        using S = LyricFetcher::Site;
        QTest::newRow("wiki") << int(S::LyricsWiki)
                              << QList<QByteArray>{"/wiki/api.php?func=getSong&artist=Lanterns%20of%20Oss&song=Copper%20Tide&fmt=xml",
                                                   "/wiki/Lanterns_of_Oss:Copper_Tide?a=1&b=2"}
                              << u"Copper & tide\nrolls in\nslowly"_s;
        QTest::newRow("az") << int(S::AZLyrics)
                            << QList<QByteArray>{"/bing/search?q=Lanterns%20of%20Oss+lyrics+Copper%20Tide",
                                                 "/AZ/LYRICS/lanternsofoss/coppertide.HTML"}
                            << u"Copper tide\n\nrolls in\n\n"_s;
        QTest::newRow("metro") << int(S::MetroLyrics)
                               << QList<QByteArray>{"/bing/search?q=Lanterns%20of%20Oss+Copper%20Tide+lyrics",
                                                    "/metro/copper-tide-lyrics-lanterns-of-oss.html"}
                               << u"Copper tide\nrolls in"_s;
        QTest::newRow("metal archives")
            << int(S::MetalArchives)
            << QList<QByteArray>{"/bing/search?q=Lanterns%20of%20Oss+lyrics+Copper%20Tide+metal+archives",
                                 "/ma/albums/Lanterns_of_Oss/Tidewrack/777", "/ma/release/ajax-view-lyrics/id/4321"}
            << u"Copper tide\nrolls in"_s;
    }

    void eachSite()
    {
        QFETCH(int, site);
        QFETCH(QList<QByteArray>, paths);
        QFETCH(QString, lyrics);
        Sites sites;
        QVERIFY(sites.server.listen(kHost, kPort));
        LyricFetcher fetcher = make(LyricFetcher::Site(site));
        const auto got = fetcher.getLyricsForSong(u"Copper Tide"_s, u"Lanterns of Oss"_s, standInBases());
        QCOMPARE(got, lyrics);
        QCOMPARE(targets(sites.server), paths);
        for (const NetworkStandIn::Request &request : sites.server.requests()) {
            QCOMPARE(request.method, QByteArray("GET"));
            QCOMPARE(request.headers.value("user-agent"), LyricFetcher::userAgent);
        }
    }

    // The memory of the last success: exact, cleared by any other lookup.
    void cache()
    {
        Sites sites;
        QVERIFY(sites.server.listen(kHost, kPort));
        LyricFetcher fetcher = make(LyricFetcher::Site::MetroLyrics);
        const LyricsBases bases = standInBases();
        const auto ask = [&](const QString &song, const QString &artist) {
            const qsizetype before = sites.server.requestCount();
            const bool found = fetcher.getLyricsForSong(song, artist, bases).has_value();
            return std::pair(found, sites.server.requestCount() - before);
        };
        QCOMPARE(ask(u"Copper Tide"_s, u"Lanterns of Oss"_s), std::pair(true, qsizetype(2)));
        QCOMPARE(ask(u"Copper Tide"_s, u"Lanterns of Oss"_s), std::pair(true, qsizetype(0)));
        // Another letter case is another song, with another search.
        QCOMPARE(ask(u"Copper tide"_s, u"Lanterns of Oss"_s), std::pair(false, qsizetype(1)));
        // That failure forgot the first song: it is fetched anew.
        QCOMPARE(ask(u"Copper Tide"_s, u"Lanterns of Oss"_s), std::pair(true, qsizetype(2)));
        // A failure caches nothing.
        QCOMPARE(ask(u"Ember"_s, u"Lanterns of Oss"_s), std::pair(false, qsizetype(1)));
        QCOMPARE(ask(u"Ember"_s, u"Lanterns of Oss"_s), std::pair(false, qsizetype(1)));
    }

    void failures_data()
    {
        QTest::addColumn<int>("site");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QList<QByteArray>>("pages"); // target, body, target, body…
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("logged"); // "" nothing
        QTest::addColumn<bool>("found");
        using S = LyricFetcher::Site;
        using P = QList<QByteArray>;
        const QString band = u"Lanterns of Oss"_s;
        const QByteArray wikiApi = "/wiki/api.php?func=getSong&artist=Lanterns%20of%20Oss&song=Copper%20Tide&fmt=xml";
        const QByteArray wikiPage = "/wiki/Lanterns_of_Oss:Copper_Tide?a=1&b=2";
        const QByteArray azPage = "/AZ/LYRICS/lanternsofoss/coppertide.HTML";
        const QByteArray metroPage = "/metro/copper-tide-lyrics-lanterns-of-oss.html";
        const QByteArray album = "/ma/albums/Lanterns_of_Oss/Tidewrack/777";
        const auto row = [](const char *name, S site, const QString &artist, const P &pages, int requests,
                            const QString &logged, bool found = false, int status = 200) {
            QTest::newRow(name) << int(site) << artist << pages << status << requests << logged << found;
        };
        row("wiki not found", S::LyricsWiki, band, P{wikiApi, "<lyric>Not found</lyric><url>x</url>"}, 1, {});
        row("wiki box without &#", S::LyricsWiki, band, P{wikiPage, "<div class='lyricbox'>Copper tide</div>"}, 2, {});
        row("wiki rights notice", S::LyricsWiki, band,
            P{wikiPage, "class='lyricbox'>&#85;nfortunately, we are not licensed to display these lyrics<"}, 2, {});
        row("wiki url of a file", S::LyricsWiki, band, P{wikiApi, "<url>file:///etc/hostname</url>"}, 1,
            u"data is nil"_s);
        row("empty artist", S::AZLyrics, QString(), {}, 0, {});
        row("wiki address not ASCII", S::LyricsWiki, u"Lanterns of \u00D6ss"_s, {}, 0, u"data is nil"_s);
        row("invalid UTF-8", S::LyricsWiki, band, P{wikiPage, "class='lyricbox'>&#67;opper \xC3\x28<"}, 2, {});
        row("3 MiB body", S::LyricsWiki, band, P{wikiPage, QByteArray(3 * 1024 * 1024, 'a')}, 2, u"data is nil"_s);
        row("az first word The", S::AZLyrics, u"The Quiet Ferns"_s,
            P{"/bing/search?q=The%20Quiet%20Ferns+lyrics+Copper%20Tide", "<a href=\"" + kRoot + "/az/lyrics/f.html\">",
              "/az/lyrics/f.html", "Theatre Sorry about that. -->\n  Copper tide</div>"},
            2, {}, true);
        row("az artist of spaces", S::AZLyrics, u"   "_s,
            P{"/bing/search?q=%20%20%20+lyrics+Copper%20Tide", "<a href=\"" + kRoot + "/az/lyrics/x.html\">",
              "/az/lyrics/x.html", "Sorry about that. -->\n  Copper tide</div>"},
            2, QString::fromLatin1(kRoot) + u"/az/lyrics/x.html doesn't contain    "_s);
        row("az offset past the end", S::AZLyrics, band, P{azPage, "Lanterns Sorry about that. -->\n"}, 2, {});
        row("error status pages still read", S::AZLyrics, band, {}, 2, {}, true, 500);
        row("metro rights notice", S::MetroLyrics, band,
            P{metroPage, "Lanterns of Oss<div id=\"lyrics-body-text\">Unfortunately, we aren't authorized to "
                         "display these lyrics</div>"},
            2, {});
        row("metro without the artist", S::MetroLyrics, band,
            P{metroPage, "<div id=\"lyrics-body-text\">Copper tide</div>"}, 2, {});
        row("metal archives without the artist", S::MetalArchives, band, P{album, "Tidewrack: copper tide #4321\""},
            2, QString::fromLatin1(kRoot) + u"/ma/albums/Lanterns_of_Oss/Tidewrack/777 doesn't contain Lanterns of Oss"_s);
    }

    void failures()
    {
        QFETCH(int, site);
        QFETCH(QString, artist);
        QFETCH(QList<QByteArray>, pages);
        QFETCH(int, status);
        QFETCH(int, requests);
        QFETCH(QString, logged);
        QFETCH(bool, found);
        Sites sites;
        for (qsizetype i = 0; i + 1 < pages.size(); i += 2)
            sites.pages[pages.at(i)] = pages.at(i + 1);
        sites.status = status;
        QVERIFY(sites.server.listen(kHost, kPort));
        LyricFetcher fetcher = make(LyricFetcher::Site(site));
        const std::optional<QString> lyrics = fetcher.getLyricsForSong(u"Copper Tide"_s, artist, standInBases());
        QCOMPARE(lyrics.has_value(), found);
        QCOMPARE(sites.server.requestCount(), requests);
        QCOMPARE(m_log.join(u'|'), logged);
    }
};

QTEST_GUILESS_MAIN(LyricFetchersTest)
#include "tst_lyricfetchers.moc"
