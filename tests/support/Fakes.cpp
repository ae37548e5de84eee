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

NowShowing FakeNowPlaying::refresh(ThemeId layout)
{
    calls << QStringLiteral("refresh(%1)").arg(int(layout));
    return showing;
}

ProgressSnapshot FakeNowPlaying::takeProgress()
{
    const ProgressSnapshot taken = progress;
    progress.redraw = false;
    return taken;
}

void FakeNowPlaying::describe(QJsonObject &state) const
{
    state.insert(QStringLiteral("preferredPlayer"), current);
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

QString RecordingStage::value(const char *name, double value)
{
    return QStringLiteral("%1=%2").arg(QLatin1String(name), number(float(value)));
}

QString RecordingStage::point(const char *name, QPointF point)
{
    return QStringLiteral("%1(%2,%3)").arg(QLatin1String(name), number(float(point.x())), number(float(point.y())));
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
