#include "render/layouts/AppleTvLayout.h"
#include "render/layouts/ThemeLayout.h"

#include "core/FrameCycle.h"
#include "model/LyricsSource.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "render/CLProgressIndicator.h"
#include "render/CompositeLyricView.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPlacementAttempts = 10;
constexpr int kLeadingBlankLines = 4;
// Rejected heights and placed slots share one count; a slot is drawn again
// only while it is below this.
constexpr int kSlotDrawBudget = 49;
constexpr int kComparedSlots = 3;
// Timed lines: the window starts with the line sung this long before the
// position, and a slot's counter reaches its brightest (200) as its line is
// sung, 20 counts a second.
constexpr qint64 kSyncedLookBackMs = 10000;
constexpr float kBrightestCounter = 200.0f;
constexpr float kCountsPerSecond = 20.0f;
constexpr qint64 kMaxOffsetMs = 10000;
// A slot with no line of its own never shows.
constexpr float kNeverCounter = -1.0e9f;

QString plain(const std::optional<AttributedString> &line)
{
    return line ? line->string() : QString();
}

} // namespace

// The Lyrics theme: a small flat cover at a random height on one side (the
// side changes at every try), the label under it on black, the bar just
// under the cover, and on the other side the words of the song, a line at
// a time at random heights, each fading in and out.
class LyricsLayout final : public ThemeLayout
{
public:
    void baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &) const override
    {
        const double H = bounds.height();
        geometry.imagesize = float(0.25 * H);
        geometry.fontsize = float(H / 50);
        geometry.margin = float(H / 30);
    }
    bool appleTVBar() const override { return true; }
    bool tiles() const override { return true; }
    void attach(RenderStage &stage) const override
    {
        add(stage.tree().root(), {stage.lyricView(), stage.progressIndicator(), stage.labelView(), stage.coverView()});
    }

    void layout(RenderStage &stage, const NowShowing &showing) const override
    {
        place(stage);
        setWindow(stage, showing);
        stage.drawLabel(LabelStyling::Palette::classic(), ThemeId::Lyrics, showing);
        setCover(stage, showing.artwork);
        setSlots(stage, m_counters);
        stage.postCoverNotification();
    }

    // The lyric window: the four blank lines and the words, from where the
    // playback position (or, untimed, the reading position) has got to.
    struct Window
    {
        QStringList lines;
        std::optional<int> readingPosition; // the next cycle's, when paging
        // Timed lines: each slot's counter (no blank head, no starting over).
        std::optional<std::vector<float>> counters;
    };

    // The timed window: from the line sung 10 s before `nowMs` on, each
    // line's slot counting towards its moment.
    static Window syncedWindow(const LyricsAnswer &answer, qint64 nowMs, size_t slotCount)
    {
        const QList<qint64> &times = answer.syncedTimesMs;
        const qint64 from = nowMs - kSyncedLookBackMs;
        // The last line whose moment has come by `from`; the first otherwise.
        const auto after = std::upper_bound(times.begin(), times.end(), from);
        const qsizetype start = after == times.begin() ? 0 : (after - times.begin()) - 1;
        Window shown;
        shown.lines = answer.syncedLines.mid(start);
        std::vector<float> counters(slotCount, kNeverCounter);
        for (size_t i = 0; i < slotCount && start + qsizetype(i) < times.size(); ++i) {
            const double untilSeconds = double(times.at(start + qsizetype(i)) - nowMs) / 1000.0;
            counters[i] = float(std::max(double(kNeverCounter), kBrightestCounter - kCountsPerSecond * untilSeconds));
        }
        shown.counters = std::move(counters);
        return shown;
    }
    static Window window(const LyricsAnswer &answer, const NowShowing::LyricsTiming &timing, int cycle)
    {
        if (answer.state != LyricsAnswer::State::Lines)
            return {};
        const qsizetype nonEmpty = std::count_if(answer.lines.begin(), answer.lines.end(),
                                                 [](const QString &line) { return !line.isEmpty(); });
        if (nonEmpty == 0)
            return {};
        QStringList all(kLeadingBlankLines, QString());
        all += answer.lines;
        const int count = int(all.size());
        if (timing.duration > 0) {
            // Kept within the lines: a position past the end (or before the
            // start) would read outside them.
            const float at = float(timing.position) / float(timing.duration) * float(count);
            const int start = int(std::clamp(at, 0.0f, float(count)));
            return {all.mid(start), std::nullopt, std::nullopt};
        }
        int from = timing.readingPosition;
        if (from >= count || from < 0)
            from = 0;
        return {all.mid(from), from + cycle / 72, std::nullopt};
    }

private:
    static void place(RenderStage &stage)
    {
        const QSizeF bounds = stage.context().frameSize;
        StageGeometry &g = stage.layoutGeometry();
        const double W = bounds.width(), H = bounds.height();
        const double S = g.imagesize, F = g.fontsize, M = g.margin;
        const QRectF clock = FrameCycle::positionOfClock(bounds, stage.context().clock.now().time());
        for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
            g.alignment = g.alignment == 1 ? 0 : 1;
            const double x = g.alignment == 0 ? W - (M + S) : M;
            const double y = (F + S) + stage.random01() * (H - S - (F + S));
            g.randomPoint = QPointF(x, y);
            g.labelRect = QRectF(x, 0, S, y - 1.2 * F);
            if (!FrameCycle::thisRectClashesWith(g.labelRect, clock))
                break;
        }
        g.progressRect = QRectF(g.randomPoint.x(), g.randomPoint.y() - F, S, 0.6 * F);
        if (CLProgressIndicator *progress = stage.progressIndicator())
            progress->setFrame(g.progressRect);
    }

    void setWindow(RenderStage &stage, const NowShowing &showing) const
    {
        const StageContext &context = stage.context();
        const NowShowing::LyricsTiming &timing = showing.lyricsTiming;
        const LyricsTrack track{plain(showing.track), plain(showing.artist), plain(showing.album),
                                std::max<qint64>(0, timing.duration), timing.location};
        const LyricsAnswer answer = context.lyrics ? context.lyrics->lyricsForTrack(track, showing.player)
                                                   : LyricsAnswer::none();
        const DefaultsStore &defaults = context.defaults;
        const int cycle = FrameCycle::cycleLength(defaults.contains(QStringLiteral("cycle")),
                                                  defaults.integerValue(QStringLiteral("cycle")), true);
        Window shown;
        if (answer.hasSyncedLines() && timing.duration > 0) {
            const qint64 offset
                = std::clamp<qint64>(defaults.integerValue(QStringLiteral("lyricsOffsetMs")), -kMaxOffsetMs, kMaxOffsetMs);
            const qint64 positionMs = timing.positionMs >= 0 ? timing.positionMs : qint64(timing.position) * 1000;
            shown = syncedWindow(answer, positionMs + offset, stage.layoutTiles().size());
        } else {
            shown = window(answer, timing, cycle);
        }
        m_counters = shown.counters;
        // An untimed stream reads on only while there are words to read.
        stage.setLyricsReadingPosition(shown.readingPosition);
        if (CompositeLyricView *lyrics = stage.lyricLines())
            lyrics->setLyrics(shown.lines, !shown.counters.has_value());
    }

    // The timed counters of the layout in progress; set by setWindow, read by
    // setSlots. The layout object is shared, and main thread only.
    mutable std::optional<std::vector<float>> m_counters;

    // A flat cover, no reflection.
    static void setCover(RenderStage &stage, const QImage &artwork)
    {
        AppleTvLayout::setCover(stage, artwork);
        if (Layer *cover = stage.coverView())
            cover->setTransform(Transform3D());
    }

    // The lyric area on the other side, and a height for every slot, each
    // due 60 frames after the one before.
    static void setSlots(RenderStage &stage, const std::optional<std::vector<float>> &counters)
    {
        const QSizeF bounds = stage.context().frameSize;
        const StageGeometry &g = stage.layoutGeometry();
        const double W = bounds.width(), H = bounds.height();
        const double S = g.imagesize, F = g.fontsize, M = g.margin;
        const double x = g.randomPoint.x();
        const QRectF area = g.alignment == 0 ? QRectF(0, 0, x - 0.5 * M, H)
                                             : QRectF(x + S + 0.5 * M, 0, W - (x + S + 0.5 * M), H);
        CompositeLyricView *lyrics = stage.lyricLines();
        if (lyrics)
            lyrics->setFrame(area);
        const double Lw = area.width();

        std::vector<StageTile> &slots = stage.layoutTiles();
        int budget = 0;
        for (size_t i = 0; i < slots.size(); ++i) {
            slots[i].counter = counters && i < counters->size() ? (*counters)[i] : -60.0f * float(i);
            double rx = 0, y = 0;
            for (;;) {
                rx = stage.random01();
                y = stage.random01() * (H - 5 * F);
                bool tooClose = false;
                for (size_t back = 1; back <= kComparedSlots && back <= i; ++back)
                    tooClose = tooClose || std::abs(slots[i - back].frame.y() - y) < 2 * F;
                if (!tooClose || budget >= kSlotDrawBudget)
                    break;
                ++budget;
            }
            ++budget;
            const double sx = M + rx * (Lw - 2 * S - M);
            slots[i].frame = QRectF(sx, y, Lw - sx, 5 * F);
        }
        if (lyrics)
            lyrics->updateSlots();
    }
};

const ThemeLayout &lyricsLayout()
{
    static const LyricsLayout layout;
    return layout;
}
