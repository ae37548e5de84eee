#include "support/ViewHarness.h"

#include "core/RegisteredDefaults.h"
#include "render/RenderStage.h"

ViewHarness::ViewHarness(const QVariantMap &settings, QSizeF size)
    : frameSize(size)
{
    defaults = std::make_unique<DefaultsStore>(dir.path());
    registerAppDefaults(*defaults);
    for (auto it = settings.begin(); it != settings.end(); ++it)
        defaults->set(it.key(), it.value());
}

CoverlumeView &ViewHarness::makeView()
{
    ViewParts parts;
    auto engine = std::make_unique<FakeNowPlaying>();
    auto recordingStage = std::make_unique<RecordingStage>();
    auto recordingPower = std::make_unique<RecordingPower>();
    nowPlaying = engine.get();
    stage = recordingStage.get();
    power = recordingPower.get();
    parts.nowPlaying = std::move(engine);
    parts.stage = std::move(recordingStage);
    parts.power = std::move(recordingPower);
    view.reset();
    view = std::make_unique<CoverlumeView>(
        frameSize, ViewServices{*defaults, scripts, local, distributed, clock, host}, std::move(parts));
    view->startAnimation();
    view->setArtworkImage(QImage());
    return *view;
}

RenderStage *ViewHarness::makeRenderedView()
{
    RenderStage *made = nullptr;
    ViewParts parts;
    auto engine = std::make_unique<FakeNowPlaying>();
    nowPlaying = engine.get();
    stage = nullptr;
    power = nullptr;
    parts.nowPlaying = std::move(engine);
    parts.power = std::make_unique<RecordingPower>();
    parts.makeStage = [&made](const StageContext &context) {
        auto rendered = std::make_unique<RenderStage>(context);
        made = rendered.get();
        return rendered;
    };
    view.reset();
    view = std::make_unique<CoverlumeView>(
        frameSize, ViewServices{*defaults, scripts, local, distributed, clock, host}, std::move(parts));
    return made;
}

void ViewHarness::frames(int n)
{
    for (int i = 0; i < n; ++i) {
        clock.beginFrame();
        view->animateOneFrame();
    }
}
