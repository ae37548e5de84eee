#include "support/Fakes.h"

namespace {
QString number(float value)
{
    return QString::number(static_cast<double>(value), 'g', 4);
}
} // namespace

bool FakeNowPlaying::playerHasChanged(PlayerId oldPlayer)
{
    calls << QStringLiteral("playerHasChanged(%1)").arg(static_cast<int>(oldPlayer));
    const bool changed = playerChanges.isEmpty() ? false : playerChanges.takeFirst();
    if (changed && switchTo >= 0)
        current = switchTo;
    return changed;
}

bool FakeNowPlaying::trackHasChanged()
{
    calls << QStringLiteral("trackHasChanged");
    return trackChanges.isEmpty() ? false : trackChanges.takeFirst();
}

bool FakeNowPlaying::acceptBroadcasterReport()
{
    calls << QStringLiteral("acceptBroadcasterReport");
    if (broadcasterNamesTrack)
        current = 8;
    return broadcasterNamesTrack;
}

void FakeNowPlaying::describe(QJsonObject &state) const
{
    state.insert(QStringLiteral("preferredPlayer"), current);
}

void RecordingStage::layout(ThemeId theme)
{
    calls << QStringLiteral("layout(%1)").arg(static_cast<int>(theme));
}

void RecordingStage::setLayerOpacity(Layer layer, float opacity)
{
    static const char *names[] = {"label", "cover", "reflection"};
    calls << QStringLiteral("%1=%2").arg(QLatin1String(names[static_cast<int>(layer)]), number(opacity));
}

void RecordingStage::setProgressTransparency(float alpha)
{
    calls << QStringLiteral("progress=%1").arg(number(alpha));
}

void RecordingStage::setLabelHidden(bool hidden)
{
    calls << (hidden ? QStringLiteral("hideLabel") : QStringLiteral("showLabel"));
}

void RecordingStage::setCoverHidden(bool hidden)
{
    calls << (hidden ? QStringLiteral("hideCover") : QStringLiteral("showCover"));
}

void RecordingStage::setCoverOrigin(QPointF origin)
{
    calls << QStringLiteral("coverOrigin(%1,%2)").arg(number(origin.x()), number(origin.y()));
}

void RecordingStage::setMosaicTransparency(float alpha)
{
    calls << QStringLiteral("mosaic=%1").arg(number(alpha));
}

void RecordingStage::setLyricTransparency(float alpha)
{
    calls << QStringLiteral("lyrics=%1").arg(number(alpha));
}

void RecordingStage::placeClock(const QRectF &frame)
{
    calls << QStringLiteral("clock(%1,%2)").arg(number(frame.x()), number(frame.y()));
}

bool RecordingScripts::compile(const QString &source)
{
    compiled << source;
    return true;
}

ScriptResult RecordingScripts::execute(const QString &source, QString *error)
{
    executed << source;
    if (error)
        *error = QStringLiteral("no such script");
    return {};
}
