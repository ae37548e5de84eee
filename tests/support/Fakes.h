#pragma once

#include "core/NowPlaying.h"
#include "core/PowerControl.h"
#include "core/ThemeStage.h"
#include "core/ViewHost.h"
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
    QStringList calls;

    PlayerId currentPlayer() const override { return static_cast<PlayerId>(current); }
    void determinePlayer() override { calls << QStringLiteral("determinePlayer"); }
    bool playerHasChanged(PlayerId oldPlayer) override;
    bool trackHasChanged() override;
    void pauseCheck() override { calls << QStringLiteral("pauseCheck"); }
    void updateProgIndValues() override { calls << QStringLiteral("updateProgIndValues"); }
    void refresh(ThemeId layout) override { calls << QStringLiteral("refresh(%1)").arg(int(layout)); }
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
    void addSubViews() override { calls << QStringLiteral("addSubViews"); }
    void removeSubViews() override { calls << QStringLiteral("removeSubViews"); }
    void layout(ThemeId theme) override;
    void reZonkCoverView() override { calls << QStringLiteral("reZonkCoverView"); }
    void reZonkReflectionView() override { calls << QStringLiteral("reZonkReflectionView"); }
    void setLayerOpacity(Layer layer, float opacity) override;
    void setProgressTransparency(float alpha) override;
    void setLabelHidden(bool hidden) override;
    void setCoverHidden(bool hidden) override;
    void setCoverOrigin(QPointF origin) override;
    bool isMosaicHidden() const override { return mosaicHidden; }
    void ageTiles() override { calls << QStringLiteral("ageTiles"); }
    void setMosaicTransparency(float alpha) override;
    void setLyricTransparency(float alpha) override;
    void placeClock(const QRectF &frame) override;
    float fontSizePoints() const override { return fontSize; }
    float imageSizePoints() const override { return imageSize; }
    QPointF randomPoint() const override { return start; }
    QPointF kenBurnsDirection() const override { return direction; }
    void paint(QPainter &, const QSizeF &) const override {}
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
