#pragma once

#include "render/Layer.h"
#include "render/StageTile.h"

#include <QImage>
#include <QList>
#include <QStringList>
#include <memory>
#include <vector>

// The Lyrics theme's drawing view: black over the lyric area, and on it one
// line of the lyric window a slot, white, each fading in and out as its
// slot's counter runs.
//
// A showing slot is a sublayer whose picture is its line, laid out once
// (wrapped in the slot's box and cut to it) when the slot first shows and
// freed when it is done; a frame changes opacities only. Reads the stage's
// slots, which outlive it. Main thread only.
class CompositeLyricView final : public Layer
{
public:
    // Longer lines are cut: a line is the player's or the web's text.
    static constexpr int kMaxLineCharacters = 4096;

    explicit CompositeLyricView(const std::vector<StageTile> &slots);
    ~CompositeLyricView() override;

    // Keeps 1.5 × the size: the lines' font size.
    void setFontSize(float size);
    float fontSize() const { return m_fontSize; }
    // The window: the lines from the reading position on. `repeat`: slots
    // past the last line start over (see lineIndex); off, they stay blank.
    void setLyrics(const QStringList &window, bool repeat = true);
    const QStringList &lyrics() const { return m_lyrics; }
    // The fade value, every frame; it multiplies every slot's alpha.
    void setTransparency(float alpha);
    float transparency() const { return m_transparency; }
    // Brings the slot layers in line with the slots (after a layout, and
    // every frame through setTransparency).
    void updateSlots();

    // A slot's alpha at this age: up to 0.6 at 200 frames, gone from 400.
    static float slotAlpha(float counter);
    // The line slot `slot` shows of `lineCount`: past the end the slots
    // start over, at most three times; beyond that line 0.
    static int lineIndex(int slot, int lineCount);

    struct Lit
    {
        int slot;
        int line; // in the window
        QString text;
        float alpha; // the slot's alpha times the fade value
    };
    // The slots that show now, in order.
    QList<Lit> litSlots() const;

    // The layers drawn now, bottom to top.
    const QList<Layer *> &shownLayers() const { return m_holder.sublayers(); }

private:
    QString lineFor(int slot) const;
    int lineOf(int slot) const; // -1: none
    QImage lineImage(const QString &text, const QSizeF &box) const;

    const std::vector<StageTile> &m_slots;
    // Holds the showing layers: it draws nothing itself, so a layer coming
    // or going costs only its own rectangle, not the whole black area.
    Layer m_holder;
    std::vector<std::unique_ptr<Layer>> m_layers; // by slot; null while it does not show
    QStringList m_lyrics;
    bool m_repeat = true;
    float m_fontSize = 0;
    float m_transparency = 0;
};
