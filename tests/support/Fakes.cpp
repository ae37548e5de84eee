#include "support/Fakes.h"

bool FakeNowPlaying::answer(const QString &call, QList<bool> &answers)
{
    calls << call;
    return !answers.isEmpty() && answers.takeFirst();
}

bool FakeNowPlaying::playerHasChanged(PlayerId oldPlayer)
{
    const bool changed = answer(QStringLiteral("playerHasChanged(%1)").arg(static_cast<int>(oldPlayer)), playerChanges);
    if (changed && switchTo >= 0)
        current = switchTo;
    return changed;
}

bool FakeNowPlaying::acceptBroadcasterReport()
{
    calls << QStringLiteral("acceptBroadcasterReport");
    if (broadcasterNamesTrack)
        current = 8;
    return broadcasterNamesTrack;
}

NowShowing FakeNowPlaying::refresh(ThemeId layout)
{
    calls << QStringLiteral("refresh(%1)").arg(int(layout));
    return showing;
}

void RecordingStage::layout(ThemeId theme, const NowShowing &showing)
{
    const QString track = showing.track ? showing.track->string() : QString();
    calls << QStringLiteral("layout(%1) %2").arg(static_cast<int>(theme)).arg(track);
}

void RecordingStage::setLayerOpacity(Layer layer, float opacity)
{
    static const char *names[] = {"label", "cover", "reflection"};
    calls << value(names[static_cast<int>(layer)], opacity);
}
