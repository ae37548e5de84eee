#pragma once

#include "core/PowerControl.h"
#include "core/ThemeStage.h"
#include "core/ViewHost.h"
#include "nowplaying/NowPlaying.h"
#include "platform/ScriptService.h"

#include <QList>
#include <QStringList>

// Lightweight stand-ins for the parts a display view drives. Each records
// what was asked of it as short text lines, so a test can compare a frame's
// calls with what the cycle should have done.

class FakeNowPlaying final : public NowPlaying
{
public:
    int current = 0;
    // Answers for the next playerHasChanged / trackHasChanged calls, in order;
    // false once they run out. A player change also sets `current` to
    // `switchTo` when given.
    QList<bool> playerChanges;
    QList<bool> trackChanges;
    int switchTo = -1;
    bool broadcasterNamesTrack = false;
    // What every refresh shows, and the progress after every frame.
    NowShowing showing;
    ProgressSnapshot progress;
    QStringList calls;

    PlayerId currentPlayer() const override { return static_cast<PlayerId>(current); }
    void determinePlayer() override { calls << QStringLiteral("determinePlayer"); }
    bool playerHasChanged(PlayerId oldPlayer) override;
    bool trackHasChanged() override;
    void pauseCheck() override { calls << QStringLiteral("pauseCheck"); }
    void updateProgIndValues() override { calls << QStringLiteral("updateProgIndValues"); }
    NowShowing refresh(ThemeId layout) override;
    NowShowing nowShowing() const override { return showing; }
    ProgressSnapshot takeProgress() override;
    void resetLastProgressValue() override { calls << QStringLiteral("resetLastProgressValue"); }
    bool acceptBroadcasterReport() override;
    void describe(QJsonObject &state) const override;

    int count(const QString &call) const { return calls.count(call); }
};

class RecordingStage final : public ThemeStage
{
public:
    QStringList calls;
    bool mosaicHidden = false;
    QPointF start{100, 50};
    QPointF direction{1, -0.5};
    float fontSize = 20;
    float imageSize = 300;

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
    float fontSizePoints() const override { return fontSize; }
    float imageSizePoints() const override { return imageSize; }
    QPointF randomPoint() const override { return start; }
    QPointF kenBurnsDirection() const override { return direction; }
    void paint(QPainter &, const QSizeF &) const override {}

private:
    static QString value(const char *name, double value); // "name=value"
    static QString point(const char *name, QPointF point); // "name(x,y)"
};

class RecordingPower final : public PowerControl
{
public:
    QStringList calls;
    void tareSystemIdle() override { calls << QStringLiteral("tareSystemIdle"); }
    void checkSystemIdle() override { calls << QStringLiteral("checkSystemIdle"); }
    void preventSleep() override { calls << QStringLiteral("preventSleep"); }
    void allowSleep() override { calls << QStringLiteral("allowSleep"); }
};

class FakeHost final : public ViewHost
{
public:
    bool fullScreen = false;
    bool isFullScreen() const override { return fullScreen; }
};

// A script service that knows no script: every execution gives no result.
// It keeps the texts it was handed.
class RecordingScripts final : public ScriptService
{
public:
    QStringList compiled;
    QStringList executed;
    bool compile(const QString &source) override;
    ScriptResult execute(const QString &source, QString *error = nullptr) override;
};
