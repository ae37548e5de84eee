// Lyrics benchmark: the entity decoder and the link stripper on a 2 MiB
// page dense with references and links, in MB/s (best of the runs); then
// what asking for lyrics costs the main thread while every site hangs (the
// longest ask, over a run of tracks, each asked at 20 frames a second).
//
//   bench_lyrics [--runs N]

#include "HangingSite.h"
#include "lyrics/HtmlText.h"
#include "lyrics/LrcText.h"
#include "lyrics/LyricsChain.h"
#include "platform/DefaultsStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

// About 2 MiB of UTF-16 text: words, named and numeric references, bare
// ampersands and links, as a lyrics page spells its words.
QString densePage()
{
    const QString piece = QStringLiteral(
        "&#76;&#97;&#110;tern &amp; &quot;moss&quot; &eacute;t&eacute; &#x41;&#X42; a & b; "
        "&lt;br /&gt; <a href='/w'>tide</a> &thetasym; &nosuch; &#70000; &amp &lt;\n");
    QString page;
    while (page.size() * 2 < 2 * 1024 * 1024)
        page += piece;
    return page;
}

double bestMBps(const QString &page, int runs, const std::function<QString(const QString &)> &operation)
{
    qint64 best = std::numeric_limits<qint64>::max();
    qsizetype keep = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        keep += operation(page).size();
        best = std::min(best, timer.nsecsElapsed());
    }
    if (keep < 0)
        std::puts("");
    return (double(page.size()) * 2 / 1e6) / (double(best) / 1e9);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("runs of each operation"), QStringLiteral("N"),
                      QStringLiteral("20")});
    parser.process(app);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const QString page = densePage();
    std::printf("page %.2f MiB, %lld ampersands\n", double(page.size()) * 2 / 1024 / 1024,
                static_cast<long long>(page.count(QLatin1Char('&'))));
    std::printf("unescapeFromHtml  %.1f MB/s\n", bestMBps(page, runs, HtmlText::unescapeFromHtml));
    std::printf("stripATags        %.1f MB/s\n", bestMBps(page, runs, HtmlText::stripATags));
    {
        // A 1 MiB timed lyrics file: 5,000 lines of about 200 bytes, word tags in them.
        QByteArray lrc = "\xEF\xBB\xBF[ar:Band]\r\n[offset:+120]\r\n";
        for (int i = 0; lrc.size() < 1024 * 1024 - 220; ++i)
            lrc += QStringLiteral("[%1:%2.%3]<00:01.00>line %4 ").arg(i / 600, 2, 10, QChar(u'0')).arg(i / 10 % 60, 2, 10, QChar(u'0')).arg(i % 10 * 10, 2, 10, QChar(u'0')).arg(i).toUtf8()
                + QByteArray(160, 'w') + "\r\n";
        qint64 best = std::numeric_limits<qint64>::max();
        qsizetype lines = 0;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer timer;
            timer.start();
            lines = LrcText::readBytes(lrc).value_or(SyncedLines()).lines.size();
            best = std::min(best, timer.nsecsElapsed());
        }
        std::printf("LrcText::readBytes %.1f MB/s (%.2f MiB, %lld lines)\n", double(lrc.size()) / 1e6 / (double(best) / 1e9),
                    double(lrc.size()) / 1024 / 1024, static_cast<long long>(lines));
    }

    // Ten tracks, each asked about for 20 frames, against sites that never
    // answer: every ask must come back at once.
    HangingSite site;
    QTemporaryDir config;
    DefaultsStore defaults(config.path());
    for (const char *key : {"lyricsWikiBase", "bingBase", "azLyricsBase", "metroLyricsBase", "metalArchivesBase"})
        defaults.set(QString::fromLatin1(key), site.root());
    qint64 longest = 0;
    qint64 total = 0;
    int asks = 0;
    {
        auto chain = std::make_unique<LyricsChain>(defaults);
        for (int track = 0; track < 10; ++track) {
            for (int frame = 0; frame < 20; ++frame) {
                QElapsedTimer timer;
                timer.start();
                chain->lyricsFor(QStringLiteral("Song %1 - Live").arg(track), QStringLiteral("Band"), PlayerId::Spotify);
                const qint64 ns = timer.nsecsElapsed();
                longest = std::max(longest, ns);
                total += ns;
                ++asks;
                QEventLoop wait;
                QTimer::singleShot(50, &wait, &QEventLoop::quit);
                wait.exec();
            }
        }
        QElapsedTimer closing;
        closing.start();
        chain.reset();
        std::printf("lyricsFor with every site hanging: mean %.3f ms  max %.3f ms over %d asks; "
                    "closing with requests in flight %.1f ms\n",
                    double(total) / asks / 1e6, double(longest) / 1e6, asks, double(closing.nsecsElapsed()) / 1e6);
    }
    return 0;
}
