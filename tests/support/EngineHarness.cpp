#include "support/EngineHarness.h"

#include "core/RegisteredDefaults.h"
#include "render/CoverNotifier.h"
#include "nowplaying/PlayerArtwork.h"
#include "render/RenderStage.h"
#include "support/Pixels.h"

#include <QTest>

EngineHarness::EngineHarness(const QByteArray &scenario, const QVariantMap &settings)
    : defaults(std::make_unique<DefaultsStore>(dir.path()))
{
    registerAppDefaults(*defaults);
    for (auto it = settings.begin(); it != settings.end(); ++it)
        defaults->set(it.key(), it.value());
    QString error;
    players = SimulatedPlayers::fromJson(scenario, QStringLiteral("test.json"), clock, &error);
    if (!players)
        qFatal("bad test scenario: %s", qPrintable(error));
    players->setNotificationCenter(&distributed);
}

CoverlumeView &EngineHarness::makeView()
{
    build(QSizeF(1280, 800), {});
    view->startAnimation();
    view->setArtworkImage(QImage());
    return *view;
}

RenderStage *EngineHarness::makeRenderedView(const QSizeF &size)
{
    RenderStage *stage = nullptr;
    ViewParts parts;
    parts.makeStage = [&stage](const StageContext &context) {
        auto made = std::make_unique<RenderStage>(context);
        stage = made.get();
        return made;
    };
    build(size, std::move(parts));
    return stage;
}

void EngineHarness::build(const QSizeF &size, ViewParts parts)
{
    view.reset();
    parts.power = std::make_unique<RecordingPower>();
    view = std::make_unique<CoverlumeView>(
        size, ViewServices{*defaults, *players, local, distributed, clock, host, &broadcaster}, std::move(parts));
    // Pictures as a headless run has them: laid out with the track that
    // names them. Tests of late pictures set this back to 0.
    if (PlayerArtwork *artwork = engine().playerArtwork())
        artwork->worker().waitForSmallPictures(std::numeric_limits<qint64>::max());
}

void EngineHarness::frames(int n)
{
    for (int i = 0; i < n; ++i) {
        clock.beginFrame();
        view->animateOneFrame();
    }
}

NowPlayingEngine &EngineHarness::engine()
{
    auto *engine = dynamic_cast<NowPlayingEngine *>(&view->nowPlaying());
    if (!engine)
        qFatal("the view has no now-playing engine");
    return *engine;
}

QStringList EngineHarness::executed() const
{
    QStringList texts;
    for (const SimulatedPlayers::Execution &execution : players->executions())
        texts << execution.script;
    return texts;
}

RenderedView::RenderedView(const QByteArray &scenario, const QVariantMap &settings, const QSizeF &size)
    : h(scenario, settings)
{
    stage = h.makeRenderedView(size);
}

void RenderedView::start()
{
    h.view->startAnimation();
    h.view->setArtworkImage(QImage());
    picture = QImage(h.view->frameSize().toSize(), QImage::Format_RGB32);
    h.view->renderDamage(picture, true);
}

NowShowing RenderedView::layOut(ThemeId theme, const QImage &artwork)
{
    NowShowing showing = h.engine().refresh(theme);
    showing.artwork = artwork;
    layOut(theme, showing);
    return showing;
}

void RenderedView::layOut(ThemeId theme, const NowShowing &showing)
{
    stage->layout(theme, showing);
    for (auto layer : {ThemeStage::Layer::Label, ThemeStage::Layer::Cover, ThemeStage::Layer::Reflection})
        stage->setLayerOpacity(layer, 1.0f);
    stage->setProgressTransparency(1.0f);
}

QImage RenderedView::snapshot(const QString &name) const
{
    const QImage image = h.view->snapshot(h.view->frameSize().toSize());
    if (!name.isEmpty())
        Pixels::keep(image, name);
    return image;
}

QRegion RenderedView::frame()
{
    h.clock.beginFrame();
    h.view->animateOneFrame();
    return h.view->renderDamage(picture, false);
}

void RenderedView::frames(int n)
{
    for (int i = 0; i < n; ++i)
        frame();
}

int RenderedView::framesCount() const
{
    return h.view->cycle().framesCount;
}

QRect RenderedView::inPicture(const QRectF &rect) const
{
    return Pixels::inPicture(rect, h.view->frameSize().height());
}

QByteArray oneTrack(int durationSeconds, const QString &artworkFile)
{
    const QString artwork = artworkFile.isEmpty() ? QString() : QStringLiteral(R"(, "artwork": ["%1"])").arg(artworkFile);
    return QStringLiteral(R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [
        {"name": "Alpha", "artist": "Band A", "album": "Album A", "duration": %1%2}]}]})")
        .arg(durationSeconds)
        .arg(artwork)
        .toUtf8();
}

QString ScriptText::processList()
{
    return QStringLiteral("tell application \"System Events\"\rname of every process\rend tell");
}

QString ScriptText::status(const QString &player)
{
    if (player == QLatin1String("Snowtape") || player == QLatin1String("Radium"))
        return QStringLiteral("tell app \"%1\"\rplaying \r end tell").arg(player);
    if (player == QLatin1String("Hermes"))
        return QStringLiteral("tell app \"Hermes\"\rplayback state \r end tell");
    if (player == QLatin1String("Ecoute") || player == QLatin1String("Rdio"))
        return QStringLiteral("tell app \"%1\"\rplayer state\r end tell").arg(player);
    if (player == QLatin1String("Airfoil Satellite"))
        return QStringLiteral("tell application \"Airfoil Satellite\"\rtrack title\r end tell");
    if (player == QLatin1String("Audirvana"))
        return QStringLiteral("tell application \"Audirvana\"\rplayer state\r end tell");
    return QStringLiteral("tell app \"%1\"\rplayer state \r end tell").arg(player);
}

bool RenderedView::coverPosted()
{
    return QTest::qWaitFor([this]() { return stage->coverNotifier().isIdle(); });
}
