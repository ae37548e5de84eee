#pragma once

#include "core/PowerControl.h"
#include "core/ThemeStage.h"
#include "core/ViewHost.h"
#include "nowplaying/NowPlaying.h"
#include "platform/ScriptService.h"

#include <QList>
#include <QStringList>

// Stand-ins for the parts a display view drives. Each records what was asked
// of it as short text lines, to compare a frame's calls with the cycle's.

// The settings of a view showing `theme`.
inline QVariantMap withTheme(int theme, QVariantMap more = {})
{
    more.insert(QStringLiteral("theme"), theme);
    return more;
}

class FakeNowPlaying final : public NowPlaying
{
public:
    int current = 0;
    // Answers for the next playerHasChanged / trackHasChanged calls, then false;
    // a player change also sets `current` to `switchTo` when given.
    QList<bool> playerChanges;
    QList<bool> trackChanges;
    int switchTo = -1;
    bool broadcasterNamesTrack = false;
    NowShowing showing; // what every refresh shows
    QStringList calls;

    PlayerId currentPlayer() const override { return static_cast<PlayerId>(current); }
    int preferred = 0;
    bool none = false;
    PlayerId preferredPlayer() const override { return static_cast<PlayerId>(preferred); }
    bool noPlayer() const override { return none; }
    void determinePlayer() override { calls << QStringLiteral("determinePlayer"); }
    bool playerHasChanged(PlayerId oldPlayer) override;
    bool trackHasChanged() override { return answer("trackHasChanged", trackChanges); }
    void pauseCheck() override { calls << QStringLiteral("pauseCheck"); }
    void updateProgIndValues() override { calls << QStringLiteral("updateProgIndValues"); }
    NowShowing refresh(ThemeId layout) override;
    NowShowing nowShowing() const override { return showing; }
    ProgressSnapshot takeProgress() override { return {}; }
    void resetLastProgressValue() override { calls << QStringLiteral("resetLastProgressValue"); }
    bool acceptBroadcasterReport() override;
    void describe(QJsonObject &) const override {}

    int count(const QString &call) const { return calls.count(call); }

private:
    bool answer(const QString &call, QList<bool> &answers);
};

class RecordingStage final : public ThemeStage
{
public:
    QStringList calls;
    bool mosaicHidden = false;

    void setUpViews() override { calls << QStringLiteral("setUpViews"); }
    void relativeSizes() override { calls << QStringLiteral("relativeSizes"); }
    void addSubViews(const NowShowing &) override { calls << QStringLiteral("addSubViews"); }
    void removeSubViews() override { calls << QStringLiteral("removeSubViews"); }
    void layout(ThemeId theme, const NowShowing &showing) override;
    void reZonkCoverView() override { calls << QStringLiteral("reZonkCoverView"); }
    void reZonkReflectionView() override { calls << QStringLiteral("reZonkReflectionView"); }
    void setLayerOpacity(Layer layer, float opacity) override;
    void setProgressTransparency(float alpha) override { calls << value("progress", alpha); }
    void setLabelHidden(bool hidden) override { calls << (hidden ? "hideLabel" : "showLabel"); }
    void setCoverHidden(bool hidden) override { calls << (hidden ? "hideCover" : "showCover"); }
    void setCoverOrigin(QPointF origin) override { calls << point("coverOrigin", origin); }
    bool isMosaicHidden() const override { return mosaicHidden; }
    void ageTiles() override { calls << QStringLiteral("ageTiles"); }
    void setMosaicTransparency(float alpha) override { calls << value("mosaic", alpha); }
    void setLyricTransparency(float alpha) override { calls << value("lyrics", alpha); }
    void placeClock(const QRectF &frame) override { calls << point("clock", frame.topLeft()); }
    float fontSizePoints() const override { return 20; }
    float imageSizePoints() const override { return 300; }
    QPointF randomPoint() const override { return {100, 50}; }
    QPointF kenBurnsDirection() const override { return {1, -0.5}; }
    void paint(QPainter &, const QSizeF &) const override {}

private:
    static QString number(double v) { return QString::number(double(float(v)), 'g', 4); }
    static QString value(const char *name, double v) { return QStringLiteral("%1=%2").arg(QLatin1String(name), number(v)); }
    static QString point(const char *name, QPointF p)
    {
        return QStringLiteral("%1(%2,%3)").arg(QLatin1String(name), number(p.x()), number(p.y()));
    }
};

class RecordingPower final : public PowerControl
{
public:
    QStringList calls;
    void tareSystemIdle() override { calls << QStringLiteral("tareSystemIdle"); }
    void checkSystemIdle() override { calls << QStringLiteral("checkSystemIdle"); }
    void preventSleep() override { calls << QStringLiteral("preventSleep"); }
    void allowSleep() override { calls << QStringLiteral("allowSleep"); }
    void systemActivity() override { calls << QStringLiteral("systemActivity"); }
};

class FakeHost final : public ViewHost
{
public:
    bool fullScreen = false;
    bool visible = true;
    QStringList requests; // what the view asked of the window, in order
    bool isFullScreen() const override { return fullScreen; }
    void enterFullScreen() override { requests << QStringLiteral("enterFullScreen"); fullScreen = true; }
    void leaveFullScreen() override { requests << QStringLiteral("leaveFullScreen"); fullScreen = false; }
    void showWindow() override { requests << QStringLiteral("showWindow"); visible = true; }
    void hideWindow() override { requests << QStringLiteral("hideWindow"); visible = false; }
    void raiseWindow() override { requests << QStringLiteral("raiseWindow"); }
    void hidePointerUntilMoved(bool hide) override { requests << (hide ? "hidePointer" : "showPointer"); }
};

// A script service that knows no script: every execution gives no result.
class NoScripts final : public ScriptService
{
public:
    bool compile(const QString &) override { return true; }
    ScriptResult execute(const QString &, QString *error = nullptr) override
    {
        if (error)
            *error = QStringLiteral("no such script");
        return {};
    }
};
