#pragma once

#include "model/NowShowing.h"
#include "model/ThemeId.h"

#include <QSizeF>
#include <initializer_list>

class Layer;
class RenderStage;
class ThemeSettings;
struct StageGeometry;

// One theme's part of the render stage: the base sizes of its views, the
// style of its progress bar, which views it puts in the tree, and its
// layout at the start of a cycle. The stage keeps the views and the parts
// every theme shares; a layout holds no state of its own.
class ThemeLayout
{
public:
    virtual ~ThemeLayout() = default;

    // S, F and M before the theme's settings scale them.
    virtual void baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &themes) const;
    // Whether the artwork size setting scales S.
    virtual bool artworkScales(const ThemeSettings &) const { return true; }
    virtual bool appleTVBar() const { return false; }
    // The theme draws with the ageing tiles (Mosaic, Lyrics).
    virtual bool tiles() const { return false; }
    // Puts the theme's views in the tree, back to front (the clock goes on
    // top afterwards).
    virtual void attach(RenderStage &stage) const = 0;
    // The layout at the start of a cycle; themes without one lay out nothing.
    virtual void layout(RenderStage &, const NowShowing &) const {}

    // The sizes most themes use: S = H / 2.4, F = H / 35, M = H / 20.
    static void defaultSizes(StageGeometry &geometry, const QSizeF &bounds);

protected:
    static void add(Layer &parent, std::initializer_list<Layer *> layers);
};

// The layout of a theme number; null for Random and numbers that name no
// theme (they show nothing).
const ThemeLayout *themeLayout(ThemeId theme);

// One per theme, each in its own file under layouts/. A new theme adds its
// file, its line here and its row in the table (ThemeLayouts.cpp).
const ThemeLayout &classicLayout();
const ThemeLayout &textLayout();
const ThemeLayout &mosaicLayout();
const ThemeLayout &fullScreenLayout();
const ThemeLayout &appleTVLayout();
const ThemeLayout &lyricsLayout();
const ThemeLayout &blurLayout();
const ThemeLayout &coverOnlyLayout();
const ThemeLayout &kenBurnsBlurLayout();
