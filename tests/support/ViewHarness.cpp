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
    auto recordingStage = std::make_unique<RecordingStage>();
    stage = recordingStage.get();
    build(ViewParts{.stage = std::move(recordingStage)});
    view->startAnimation();
    view->setArtworkImage(QImage());
    return *view;
}

RenderStage *ViewHarness::makeRenderedView()
{
    RenderStage *made = nullptr;
    stage = nullptr;
    build(ViewParts{.makeStage = [&made](const StageContext &context) {
        auto rendered = std::make_unique<RenderStage>(context);
        made = rendered.get();
        return rendered;
    }});
    return made;
}

void ViewHarness::build(ViewParts parts)
{
    auto engine = std::make_unique<FakeNowPlaying>();
    auto recordingPower = std::make_unique<RecordingPower>();
    nowPlaying = engine.get();
    power = recordingPower.get();
    parts.nowPlaying = std::move(engine);
    parts.power = std::move(recordingPower);
    view.reset();
    view = std::make_unique<CoverlumeView>(
        frameSize, ViewServices{*defaults, scripts, local, distributed, clock, host}, std::move(parts));
}

void ViewHarness::frames(int n)
{
    for (int i = 0; i < n; ++i) {
        clock.beginFrame();
        view->animateOneFrame();
    }
}
