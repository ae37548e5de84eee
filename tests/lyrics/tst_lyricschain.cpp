#include "lyrics/LyricsChain.h"
#include "platform/DefaultsStore.h"
#include "support/NetworkStandIn.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kRoot = u"http://127.0.0.19:45181"_s;

void pointBasesAt(DefaultsStore &defaults, const QString &root)
{
    defaults.set(u"lyricsWikiBase"_s, root + u"/wiki"_s);
    defaults.set(u"bingBase"_s, root + u"/bing"_s);
    defaults.set(u"azLyricsBase"_s, root + u"/az/"_s); // a trailing "/" is dropped
    defaults.set(u"metroLyricsBase"_s, root + u"/metro"_s);
    defaults.set(u"metalArchivesBase"_s, root + u"/ma"_s);
}

// The player's own step, as the chain's first.
class OwnLyrics final : public LyricsSource
{
public:
    QString text;
    int asked = 0;
    LyricsAnswer lyricsFor(const QString &, const QString &, PlayerId) override
    {
        ++asked;
        return LyricsChain::linesOf(text);
    }
};

// The web as the worker sees it: addresses recorded, pages by address,
// and a gate a test may hold shut to keep a lookup in flight.
struct FakeWeb
{
    QMutex lock;
    QStringList asked;
    QHash<QString, QByteArray> pages;
    QSemaphore gate{1000};
    std::atomic<int> entered{0};

    LyricsChain::GetFactory factory()
    {
        return [this](const std::atomic<bool> *) {
            return [this](const QUrl &url) -> std::optional<QByteArray> {
                ++entered;
                gate.acquire();
                gate.release();
                QMutexLocker locker(&lock);
                const QString address = url.toString(QUrl::FullyEncoded);
                asked << address;
                return pages.contains(address) ? std::optional(pages.value(address)) : std::nullopt;
            };
        };
    }
    QStringList requests()
    {
        QMutexLocker locker(&lock);
        return asked;
    }
    // A MetroLyrics answer for `song`.
    void metroAnswers(const QString &song, const QByteArray &words)
    {
        const QString search = kRoot + u"/bing/search?q=Ferns+"_s + song + u"+lyrics"_s;
        const QString page = kRoot + u"/metro/"_s + song + u".html"_s;
        pages.insert(search, "<a href=\"" + page.toUtf8() + "\">");
        pages.insert(page, "Ferns<div id=\"lyrics-body-text\">" + words + "</div>");
    }
};

} // namespace

class LyricsChainTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<DefaultsStore> m_defaults;

private Q_SLOTS:
    void init()
    {
        m_defaults = std::make_unique<DefaultsStore>(m_dir.path());
        pointBasesAt(*m_defaults, kRoot);
    }

    void linesOf_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("nonEmpty");
        QTest::newRow("crlf leaves an empty line") << u"a\r\nb"_s << QStringList{u"a"_s, u""_s, u"b"_s} << 2;
        QTest::newRow("every newline character")
            << u"a\u0085b\u2028c\u2029d\ve\ff"_s
            << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s} << 6;
        QTest::newRow("blank lines are none") << u"\n\n\r"_s << QStringList{} << 0;
        QTest::newRow("a space is a character") << u" \n"_s << QStringList{u" "_s, u""_s} << 1;
        QTest::newRow("empty") << QString() << QStringList{} << 0;
    }

    void linesOf()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QFETCH(int, nonEmpty);
        const LyricsAnswer answer = LyricsChain::linesOf(text);
        QCOMPARE(answer.lines, lines);
        QCOMPARE(answer.nonEmptyLines, nonEmpty);
        QCOMPARE(answer.state, nonEmpty ? LyricsAnswer::State::Lines : LyricsAnswer::State::None);
        QCOMPARE(LyricsChain::linesOf(std::nullopt).state, LyricsAnswer::State::None);
    }

    // The player's own words first (iTunes and Music only), then the web.
    void firstStep_data()
    {
        QTest::addColumn<int>("player");
        QTest::addColumn<QString>("own");
        QTest::addColumn<bool>("web");
        QTest::newRow("Music with lyrics") << int(PlayerId::Music) << u"la\n\nla"_s << false;
        QTest::newRow("iTunes with lyrics") << int(PlayerId::ITunes) << u"la"_s << false;
        QTest::newRow("Music with blank lines") << int(PlayerId::Music) << u"\n\n"_s << true;
        QTest::newRow("Spotify") << int(PlayerId::Spotify) << u"la"_s << true;
    }

    void firstStep()
    {
        QFETCH(int, player);
        QFETCH(QString, own);
        QFETCH(bool, web);
        FakeWeb fake;
        fake.metroAnswers(u"Moss"_s, "from the web");
        OwnLyrics ownLyrics;
        ownLyrics.text = own;
        int arrivals = 0;
        LyricsChain chain(*m_defaults, &ownLyrics, fake.factory());
        chain.setArrivalHandler([&] { ++arrivals; });
        const LyricsAnswer first = chain.lyricsFor(u"Moss"_s, u"Ferns"_s, PlayerId(player));
        QCOMPARE(ownLyrics.asked, web && player == int(PlayerId::Spotify) ? 0 : 1);
        if (!web) {
            QCOMPARE(first.lines, LyricsChain::linesOf(own).lines);
            QCOMPARE(fake.requests(), QStringList());
            return;
        }
        QCOMPARE(first.state, LyricsAnswer::State::NotYet);
        QTRY_COMPARE(arrivals, 1);
        QCOMPARE(chain.lyricsFor(u"Moss"_s, u"Ferns"_s, PlayerId(player)).lines, QStringList{u"from the web"_s});
    }

    // Every source failing for "Song - Live": the wiki, AZLyrics, Metal
    // Archives, MetroLyrics, then AZLyrics and MetroLyrics for "Song".
    void orderWhenAllFail()
    {
        FakeWeb fake;
        int arrivals = 0;
        LyricsChain chain(*m_defaults, nullptr, fake.factory());
        chain.setArrivalHandler([&] { ++arrivals; });
        QCOMPARE(chain.lyricsFor(u"Song - Live"_s, u"Ferns"_s, PlayerId::Spotify).state, LyricsAnswer::State::NotYet);
        QTRY_COMPARE(arrivals, 1);
        QCOMPARE(chain.lyricsFor(u"Song - Live"_s, u"Ferns"_s, PlayerId::Spotify).state, LyricsAnswer::State::None);
        const QStringList expected{
            kRoot + u"/wiki/api.php?func=getSong&artist=Ferns&song=Song%20-%20Live&fmt=xml"_s,
            kRoot + u"/bing/search?q=Ferns+lyrics+Song%20-%20Live"_s,
            kRoot + u"/bing/search?q=Ferns+lyrics+Song%20-%20Live+metal+archives"_s,
            kRoot + u"/bing/search?q=Ferns+Song%20-%20Live+lyrics"_s,
            kRoot + u"/bing/search?q=Ferns+lyrics+Song"_s,
            kRoot + u"/bing/search?q=Ferns+Song+lyrics"_s,
        };
        QCOMPARE(fake.requests().mid(0, expected.size()), expected);
    }

    // Only the answer for the track last asked about is taken; a found
    // answer is kept without asking the web again.
    void answerForAnotherTrackDropped()
    {
        FakeWeb fake;
        fake.metroAnswers(u"Moss"_s, "moss words");
        fake.metroAnswers(u"Lichen"_s, "lichen words");
        int arrivals = 0;
        LyricsChain chain(*m_defaults, nullptr, fake.factory());
        chain.setArrivalHandler([&] { ++arrivals; });
        fake.gate.acquire(1000);
        QCOMPARE(chain.lyricsFor(u"Moss"_s, u"Ferns"_s, PlayerId::Spotify).state, LyricsAnswer::State::NotYet);
        QTRY_VERIFY(fake.entered > 0); // the lookup for Moss is in flight
        QCOMPARE(chain.lyricsFor(u"Lichen"_s, u"Ferns"_s, PlayerId::Spotify).state, LyricsAnswer::State::NotYet);
        fake.gate.release(1000);
        QTRY_COMPARE(arrivals, 1);
        QCOMPARE(chain.lyricsFor(u"Lichen"_s, u"Ferns"_s, PlayerId::Spotify).lines, QStringList{u"lichen words"_s});
        const qsizetype asked = fake.requests().size();
        QCOMPARE(chain.lyricsFor(u"Lichen"_s, u"Ferns"_s, PlayerId::Spotify).lines, QStringList{u"lichen words"_s});
        QCOMPARE(fake.requests().size(), asked);
        QCOMPARE(arrivals, 1);
    }

    // A hung site holds neither the layout nor the view's end.
    void hungSite()
    {
        QSemaphore hang;
        NetworkStandIn server([&hang](const NetworkStandIn::Request &) {
            hang.tryAcquire(1, 20000);
            return NetworkStandIn::status(404);
        });
        QVERIFY(server.listen(u"127.0.0.19"_s, 45181));
        auto chain = std::make_unique<LyricsChain>(*m_defaults);
        QCOMPARE(chain->lyricsFor(u"Moss"_s, u"Ferns"_s, PlayerId::Spotify).state, LyricsAnswer::State::NotYet);
        QTRY_COMPARE(server.requestCount(), 1);
        QCOMPARE(chain->lyricsFor(u"Moss"_s, u"Ferns"_s, PlayerId::Spotify).state, LyricsAnswer::State::NotYet);
        QElapsedTimer timer;
        timer.start();
        chain.reset();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        hang.release();
    }
};

QTEST_GUILESS_MAIN(LyricsChainTest)
#include "tst_lyricschain.moc"
