#pragma once

#include "model/NowShowing.h"
#include "model/ProgressSnapshot.h"
#include "model/ThemeId.h"

#include <QPointF>
#include <QRectF>
#include <QRegion>
#include <QSizeF>
#include <optional>

class QImage;
class QJsonObject;
class QPainter;

// The views the display draws with, as the frame cycle drives them: building
// the view tree, laying a theme out for a new cycle, and the per-frame
// opacity, visibility and position changes of the fades. The rendering side
// implements it; the frame cycle decides what happens when.
class ThemeStage
{
public:
    enum class Layer { Label, Cover, Reflection };

    virtual ~ThemeStage() = default;

    // View creation.
    virtual void setUpViews() = 0;
    virtual void relativeSizes() = 0;
    // Puts the views in the view and lays the theme out with what shows now.
    virtual void addSubViews(const NowShowing &showing) = 0;
    // A resize: the views leave the view before setUpViews makes them afresh.
    virtual void removeSubViews() = 0;

    // The theme's layout at the start of a cycle (the Blur theme lays out as
    // Apple TV), showing what the engine's refresh handed over.
    virtual void layout(ThemeId theme, const NowShowing &showing) = 0;

    // Frame hooks.
    virtual void reZonkCoverView() = 0;
    virtual void reZonkReflectionView() = 0;
    virtual void setLayerOpacity(Layer layer, float opacity) = 0;
    virtual void setProgressTransparency(float alpha) = 0;
    virtual void setLabelHidden(bool hidden) = 0;
    virtual void setCoverHidden(bool hidden) = 0;
    virtual void setCoverOrigin(QPointF origin) = 0;
    virtual bool isMosaicHidden() const = 0;
    virtual void ageTiles() = 0; // every tile's value + 1.0
    virtual void setMosaicTransparency(float alpha) = 0;
    virtual void setLyricTransparency(float alpha) = 0;
    virtual void placeClock(const QRectF &frame) = 0;

    // The base sizes of the layout (font size F and artwork size S, in
    // points), as setUpViews and relativeSizes left them.
    virtual float fontSizePoints() const = 0;
    virtual float imageSizePoints() const = 0;

    // Where the moving cover drifts from, and which way (chosen by the layout).
    virtual QPointF randomPoint() const = 0;
    virtual QPointF kenBurnsDirection() const = 0;

    // After every frame step: the views take up what changed in the frame
    // (the progress bar's values, the clock's minute), so that the next
    // picture's damage includes them. Nothing by default.
    virtual void sync(const ProgressSnapshot &progress) {}

    // Draws what the views show into a painter sized to the view.
    virtual void paint(QPainter &painter, const QSizeF &viewSize) const = 0;
    // Brings a retained picture of the view (its device-independent size is
    // the view's) up to date and returns the region redrawn, in view points,
    // y down. `whole` redraws all of it (a new picture). The default clears
    // the picture to black and paints everything each time.
    virtual QRegion renderDamage(QImage &frame, bool whole);
    // The window keeps no picture of its own: damage() is the region (view
    // points, y down) that changed since it last drew with paintWindow(),
    // which draws the view over the painter's clip (cleared to black by the
    // caller). The default: all of it, every time.
    virtual QRegion damage(const QSizeF &viewSize) const;
    virtual void paintWindow(QPainter &painter, const QSizeF &viewSize) { paint(painter, viewSize); }

    // After a Lyrics layout: where an untimed stream's lyrics read on from
    // next cycle (the engine keeps it). None after any other layout.
    virtual std::optional<int> lyricsReadingPosition() const { return std::nullopt; }
    // Adds what the views show to a state report; nothing by default.
    virtual void describe(QJsonObject &) const {}
};
