#include "render/layouts/FullScreenLayout.h"

#include "core/ThemeSettings.h"
#include "platform/FrameClock.h"
#include "render/CLProgressIndicator.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"
#include "render/YUpCanvas.h"
#include "text/AttributedTextLayout.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kCoverM34 = 1.0 / 500.0;
// The whole drift of a cycle is this many times the drift per frame.
constexpr float kDriftFrames = 400.0f;

} // namespace

const ThemeLayout &fullScreenLayout()
{
    static const FullScreenLayout layout;
    return layout;
}

void FullScreenLayout::baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &themes) const
{
    defaultSizes(geometry, bounds);
    const double W = bounds.width(), H = bounds.height();
    if (themes.getCentredForCurrentTheme()) {
        geometry.imagesize = float(std::min(W, H));
    } else {
        const float A = themes.getArtworkSizeForCurrentTheme();
        const double k = (A >= 1.0f && A <= 1.8f) ? 1.0 + A / 3.0 : 1.4;
        geometry.imagesize = float(k * std::max(W, H));
    }
}

bool FullScreenLayout::artworkScales(const ThemeSettings &themes) const
{
    return !themes.getCentredForCurrentTheme();
}

void FullScreenLayout::attach(RenderStage &stage) const
{
    add(stage.tree().root(), {stage.coverView(), stage.labelView()});
}

bool FullScreenLayout::kenBurnsWillTakeUsOffTheEdge(const QRectF &frame, float kenBurnsX, float kenBurnsY,
                                                    const QSizeF &view)
{
    const float x = float(frame.x() + double(kDriftFrames * kenBurnsX));
    if (x > 0)
        return true;
    const float y = float(frame.y() + double(kDriftFrames * kenBurnsY));
    if (y > 0)
        return true;
    return view.width() > double(x) + frame.width() || view.height() > double(y) + frame.height();
}

void FullScreenLayout::layout(RenderStage &stage, const NowShowing &showing) const
{
    const QSizeF bounds = stage.context().frameSize;
    place(stage, bounds);
    drawLabelBox(stage, showing, bounds);
    const QImage picture = coverPicture(stage, showing.artwork);
    setCover(stage, picture, stage.effect());
    // Stage H: the bar's frame under the box; this theme does not show it.
    StageGeometry &g = stage.layoutGeometry();
    const double F = g.fontsize;
    const double o = g.alignment == 1 ? g.labelRect.x() : 0.0;
    g.progressRect = QRectF(o + 0.5 * F, 0.5 * F, g.labelRect.width() - F, 0.6 * F);
    if (CLProgressIndicator *progress = stage.progressIndicator())
        progress->setFrame(g.progressRect);
    stage.postCoverPicture(picture);
}

// Stage A: a start on alternate sides and a drift that keeps the view covered.
void FullScreenLayout::place(RenderStage &stage, const QSizeF &bounds) const
{
    StageGeometry &g = stage.layoutGeometry();
    const double W = bounds.width(), H = bounds.height();
    const double S = g.imagesize;
    if (honoursCentred() && stage.context().themes.getCentredForCurrentTheme()) {
        g.randomPoint = QPointF((W - S) / 2, (H - S) / 2);
        g.alignment = 1;
        g.kenBurnsX = g.kenBurnsY = 0;
        return;
    }
    const double divisor = driftDivisor();
    const int passes = (S < W || S < H) ? 1 : kMaxPlacementPasses;
    for (int pass = 0; pass < passes; ++pass) {
        g.alignment = g.alignment ? 0 : 1;
        const double r1 = stage.random01();
        const double r2 = stage.random01();
        const double r3 = stage.random01();
        const double r4 = stage.random01();
        const float v = float(r1 * (S - H) + (H - S) / 2);
        const float u = g.alignment == 0 ? float((W - S) / 2 - r2 * (W - S) / 2) : float(r2 * (S - W) / 2);
        g.randomPoint = QPointF(double(u) + (W - S) / 2, double(v) + (H - S) / 2);
        g.kenBurnsX = float(g.alignment == 1 ? r3 * W / divisor : (r3 - 1) * W / divisor);
        g.kenBurnsY = float(v > 0 ? (r4 - 1) * H / divisor : r4 * H / divisor);
        if (!kenBurnsWillTakeUsOffTheEdge(QRectF(g.randomPoint, QSizeF(S, S)), g.kenBurnsX, g.kenBurnsY, bounds))
            return;
    }
    // No draw kept the view covered: keep the last start, still.
    g.kenBurnsX = g.kenBurnsY = 0;
}

// Stages D to F: the text in a translucent box in a bottom corner, on top
// from four to eight o'clock (the clock's hand is near the bottom then).
void FullScreenLayout::drawLabelBox(RenderStage &stage, const NowShowing &showing, const QSizeF &bounds)
{
    Layer *label = stage.labelView();
    if (!label)
        return;
    StageGeometry &g = stage.layoutGeometry();
    const double F = g.fontsize;
    // Right-aligned text in the right-hand corner.
    const bool leftText = g.alignment == 0;
    StageImages::Thumb thumb;
    const AttributedString text = stage.composeLabel(LabelStyling::Palette::classic(), stage.context().themes.getTheme(),
                                                     showing, leftText, thumb);
    const QSizeF natural = text.isEmpty() ? QSizeF() : AttributedTextLayout(text).naturalSize();
    // Titles come from players and the network: the box never outgrows the view.
    const QSizeF box(std::min(natural.width() + F, bounds.width()), std::min(natural.height() + F, bounds.height()));

    QImage image(std::max(1, int(std::ceil(box.width()))), std::max(1, int(std::ceil(box.height()))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (StageImages::sizeIsBiggerThanZero(box)) {
        YUpCanvas canvas(image, box);
        QPainterPath rounded;
        rounded.addRoundedRect(QRectF(QPointF(0, 0), box), 0.5 * F, 0.5 * F);
        canvas.painter().setRenderHint(QPainter::Antialiasing);
        canvas.painter().fillPath(rounded, QColor(0, 0, 0, 128));
        const QRectF inner(0.5 * F, 0.5 * F, box.width() - F, box.height() - F);
        if (!text.isEmpty())
            canvas.drawText(text, inner);
        if (!thumb.image.isNull()) {
            const double h = text.isEmpty() ? 0.0 : natural.height();
            const double x = leftText ? 0.5 * F : box.width() - 0.5 * F - thumb.sizePoints.width();
            const QSizeF drawn = thumb.drawnPoints.isEmpty() ? thumb.sizePoints : thumb.drawnPoints;
            canvas.drawImage(QRectF(QPointF(x, (box.height() - 0.5 * F - h) - F - thumb.sizePoints.height()), drawn),
                             thumb.image);
        }
    }

    QPointF origin(g.alignment == 1 ? bounds.width() - box.width() : 0.0, 0.0);
    int hour = stage.context().clock.now().time().hour();
    if (hour > 12)
        hour -= 12;
    if (hour >= 4 && hour < 8)
        origin.setY(bounds.height() - box.height());
    g.labelRect = QRectF(origin, box);
    label->setFrame(g.labelRect);
    label->setContents(image);
    label->setOpacity(0);
}

QImage FullScreenLayout::coverPicture(RenderStage &, const QImage &artwork) const
{
    // As decoded: the compositor samples it through the transform, clipped
    // to the view, so no S × S copy is ever made.
    return artwork;
}

// Stage G: the turned cover at its start; the frame loop shows it at frame 3.
void FullScreenLayout::setCover(RenderStage &stage, const QImage &picture, float E) const
{
    StageGeometry &g = stage.layoutGeometry();
    const double S = g.imagesize;
    g.coverViewRect = QRectF(g.randomPoint, QSizeF(S, S));
    g.coverViewAnchor = QPointF(g.alignment == 0 ? 1.0 : 0.0, 0.8);
    Layer *cover = stage.coverView();
    if (!cover)
        return;
    cover->setExpectedTravel(QPointF(kDriftFrames * g.kenBurnsX, kDriftFrames * g.kenBurnsY), cacheResolution());
    if (picture.isNull()) {
        cover->setContents(QImage());
        return;
    }
    // Hidden until the frame loop poses it again at frame 3, so its one
    // projection of the cycle is made for that pose.
    cover->setHidden(true);
    cover->setOpacity(0);
    cover->setAnchorPoint(g.coverViewAnchor);
    cover->setContents(picture);
    cover->setTransform(stage.turn(kCoverM34, E));
    cover->setFrame(g.coverViewRect);
    cover->setBounds(QRectF(0, 0, S, S));
}
