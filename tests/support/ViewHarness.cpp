#include "support/ViewHarness.h"

#include "core/RegisteredDefaults.h"

ViewHarness::ViewHarness(const QVariantMap &settings, QSizeF size)
    : defaults(std::make_unique<DefaultsStore>(dir.path()))
    , frameSize(size)
{
    registerAppDefaults(*defaults);
    for (auto it = settings.begin(); it != settings.end(); ++it)
        defaults->set(it.key(), it.value());
}

CoverlumeView &ViewHarness::makeView()
{
    auto engine = std::make_unique<FakeNowPlaying>();
    auto recordingStage = std::make_unique<RecordingStage>();
    auto recordingPower = std::make_unique<RecordingPower>();
    nowPlaying = engine.get();
    stage = recordingStage.get();
    power = recordingPower.get();
    view.reset();
    view = std::make_unique<CoverlumeView>(
        frameSize, ViewServices{*defaults, scripts, local, distributed, clock, host},
        ViewParts{std::move(engine), std::move(recordingStage), std::move(recordingPower)});
    view->startAnimation();
    view->setArtworkImage(QImage());
    return *view;
}

void ViewHarness::frames(int n)
{
    for (int i = 0; i < n; ++i) {
        clock.beginFrame();
        view->animateOneFrame();
    }
}
