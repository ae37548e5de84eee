// Memory benchmark: an hour of the Apple TV theme at 1920 × 1080, headless,
// frame after frame (72,000 frames of 50 ms on the scripted clock), with a
// new track every 30 s, each drawn as the window draws it. Prints the
// resident memory every 6,000 frames and the growth from the first sample
// to the last.
//
//   bench_memory_hour [--frames N] [--every N] [--snapshot FILE.png]
#include "BenchFigures.h"
#include "core/CoverlumeView.h"
#include "platform/DefaultsStore.h"
#include "session/DisplaySession.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("frames"), QStringLiteral("frames to run"), QStringLiteral("N"),
                      QStringLiteral("72000")});
    parser.addOption({QStringLiteral("every"), QStringLiteral("frames between samples"), QStringLiteral("N"),
                      QStringLiteral("6000")});
    parser.addOption({QStringLiteral("snapshot"), QStringLiteral("write the last picture"), QStringLiteral("FILE")});
    parser.process(app);
    const int frames = parser.value(QStringLiteral("frames")).toInt();
    const int every = std::max(1, parser.value(QStringLiteral("every")).toInt());

    // One player going through an album of 30-second tracks, enough of them
    // for the whole run, their covers taken in turn from the demo's.
    QTemporaryDir config;
    const QDir covers(QStringLiteral(COVERLUME_SOURCE_DIR "/scenarios/covers"));
    const QStringList coverFiles = covers.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    QJsonArray tracks;
    for (int i = 0; i <= frames / 600 && i < 1000; ++i) {
        tracks.append(QJsonObject{
            {QStringLiteral("name"), QStringLiteral("Track %1").arg(i + 1)},
            {QStringLiteral("artist"), QStringLiteral("Artist %1").arg(i % 7 + 1)},
            {QStringLiteral("album"), QStringLiteral("Album %1").arg(i % coverFiles.size() + 1)},
            {QStringLiteral("duration"), 30},
            {QStringLiteral("artwork"), QJsonArray{covers.filePath(coverFiles.value(i % coverFiles.size()))}}});
    }
    const QJsonObject scenario{{QStringLiteral("players"),
                                QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("iTunes")},
                                                       {QStringLiteral("state"), QStringLiteral("playing")},
                                                       {QStringLiteral("track"), 0},
                                                       {QStringLiteral("position"), 0},
                                                       {QStringLiteral("tracks"), tracks}}}}};
    QFile file(config.filePath(QStringLiteral("hour.json")));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(scenario).toJson()) <= 0)
        return 2;
    file.close();

    SessionOptions options;
    options.configDir = config.path();
    options.playersFile = file.fileName();
    options.clockStart = QDateTime(QDate(2026, 12, 6), QTime(20, 0));
    options.seed = 1;
    options.distributedInProcess = true;
    QString error;
    std::unique_ptr<DisplaySession> session = DisplaySession::create(options, &error);
    if (!session) {
        std::fprintf(stderr, "bench_memory_hour: %s\n", qPrintable(error));
        return 2;
    }
    session->defaults().set(QStringLiteral("theme"), 5); // Apple TV
    const QSize size(1920, 1080);
    session->setFrameSize(QSizeF(size));
    session->addNewCoverlumeView();
    CoverlumeView &view = *session->view();
    QImage picture(size, QImage::Format_RGB32);
    view.renderDamage(picture, true);

    long first = 0, last = 0, highest = 0;
    std::printf("frame      resident KiB\n");
    for (int i = 1; i <= frames; ++i) {
        session->runFrame();
        view.renderDamage(picture, false);
        if (i % every == 0) {
            last = BenchFigures::residentKiB();
            first = first ? first : last;
            highest = std::max(highest, last);
            std::printf("%6d     %8ld\n", i, last);
            std::fflush(stdout);
        }
    }
    std::printf("first sample %ld KiB, last %ld KiB, highest %ld KiB, growth %+ld KiB\n", first, last, highest,
                last - first);
    if (parser.isSet(QStringLiteral("snapshot")) && !picture.save(parser.value(QStringLiteral("snapshot"))))
        return 1;
    return 0;
}
