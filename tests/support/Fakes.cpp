#include "support/Fakes.h"

namespace {
QString number(float value)
{
    return QString::number(static_cast<double>(value), 'g', 4);
}
} // namespace

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

QString RecordingStage::value(const char *name, double value)
{
    return QStringLiteral("%1=%2").arg(QLatin1String(name), number(float(value)));
}

QString RecordingStage::point(const char *name, QPointF point)
{
    return QStringLiteral("%1(%2,%3)").arg(QLatin1String(name), number(float(point.x())), number(float(point.y())));
}
