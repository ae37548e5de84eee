#include "render/LabelStyling.h"

#include "model/PlayerTable.h"
#include "model/ThemeId.h"

#include <algorithm>

namespace {

using Alignment = AttributedStyle::Alignment;

// The row of the player whose marks are shown: the current player's, or
// for the broadcaster the row its player name finds (any case).
const PlayerTable::Facts *marksOf(const LabelStyling::Source &source)
{
    if (source.player == PlayerId::Broadcaster)
        return PlayerTable::find(source.broadcastPlayer, Qt::CaseInsensitive);
    return PlayerTable::find(source.player);
}

PlayerTable::RatingStyle ratingOf(const LabelStyling::Source &source)
{
    const PlayerTable::Facts *facts = marksOf(source);
    return facts ? facts->rating : PlayerTable::RatingStyle::None;
}

AttributedStyle markStyle(const QColor &colour, const AttributedFont &font, const AttributedStyle::Paragraph &paragraph)
{
    AttributedStyle style;
    style.withForeground(colour).withFont(font).withParagraph(paragraph);
    return style;
}

const QString kReturn = QStringLiteral("\r");

} // namespace

LabelStyling::Palette LabelStyling::Palette::classic()
{
    const auto w = [](double level) { return AttributedStyle::white(level, 1.0); };
    return {w(1.0), w(0.75), w(0.75), w(0.1), w(0.75), w(0.75), w(0.2), w(0.75), w(0.15), w(0.75)};
}

LabelStyling::Palette LabelStyling::Palette::appleTV(double w)
{
    const auto c = [w](double alpha) { return AttributedStyle::white(w, alpha); };
    return {c(1.0), c(0.75), c(0.75), c(0.25), c(0.75), c(0.85), c(0.25), AttributedStyle::white(0.75, 1.0),
            c(0.25), c(0.75)};
}

bool LabelStyling::hasStars(const Source &source)
{
    const PlayerTable::Facts *facts = marksOf(source);
    return facts && facts->hasStars();
}

bool LabelStyling::isITunesLike(const Source &source)
{
    return ratingOf(source) == PlayerTable::RatingStyle::Stars100;
}

bool LabelStyling::hasHearts(const Source &source)
{
    const PlayerTable::Facts *facts = marksOf(source);
    return facts && facts->loved;
}

bool LabelStyling::hasPipes(const Source &source)
{
    return ratingOf(source) == PlayerTable::RatingStyle::Popularity;
}

bool LabelStyling::isHermes(const Source &source)
{
    return ratingOf(source) == PlayerTable::RatingStyle::Thumbs;
}

int LabelStyling::litStars(const Source &source)
{
    const int n = isITunesLike(source) ? source.rating / 20 : source.rating;
    return n < 0 || n > 5 ? 0 : n;
}

int LabelStyling::litPipes(int popularity)
{
    if (popularity < -7 || popularity > 103)
        return 0;
    return std::max(0, popularity / 8);
}

void LabelStyling::setMarkTexts(const QString &fiveStars, const QString &twelvePipes, const QString &filledHeart,
                                const QString &emptyHeart, const QString &slashedHeart)
{
    m_fiveStars = AttributedString(fiveStars);
    m_twelvePipes = AttributedString(twelvePipes);
    m_filledHeart = AttributedString(filledHeart);
    m_emptyHeart = AttributedString(emptyHeart);
    m_slashedHeart = AttributedString(slashedHeart);
}

void LabelStyling::style(Lines &lines, const Source &source, const Switches &switches, bool leftAligned,
                         float fontSize, const Palette &palette)
{
    AttributedStyle::Paragraph paragraph;
    paragraph.alignment = leftAligned ? Alignment::Left : Alignment::Right;
    const auto styleLine = [&](std::optional<AttributedString> &line, const QColor &colour, double size) {
        if (!line)
            return;
        // No label shows more than this of one line: the rest is cut, with
        // an ellipsis, before any shaping (a player may send megabytes).
        if (line->length() > maxLineCharacters) {
            int keep = maxLineCharacters;
            if (line->string().at(keep - 1).isHighSurrogate())
                --keep;
            *line = line->substring(0, keep);
            line->append(AttributedString(QStringLiteral("\u2026")));
        }
        line->append(AttributedString(QStringLiteral(" ")));
        line->setAttributes(markStyle(colour, AttributedFont::system(size), paragraph));
    };
    styleLine(lines.track, palette.track, fontSize);
    styleLine(lines.artist, palette.artist, fontSize);
    styleLine(lines.album, palette.album, 0.8 * fontSize);

    if (switches.showRating && !m_fiveStars.isEmpty() && source.player != PlayerId::None && !source.stream)
        styleMarks(source, switches, paragraph, fontSize, palette);
}

void LabelStyling::styleMarks(const Source &source, const Switches &switches,
                              const AttributedStyle::Paragraph &paragraph, float fontSize, const Palette &palette)
{
    if (hasStars(source)) {
        const AttributedFont font = AttributedFont::system(0.6 * fontSize);
        m_fiveStars.setAttributes(markStyle(palette.starsUnlit, font, paragraph));
        const int lit = std::min(litStars(source), int(m_fiveStars.length()));
        if (lit > 0)
            m_fiveStars.setAttributes(0, lit, markStyle(palette.starsLit, font, paragraph));
    }
    // Styled whenever they are shown: the global switch appends them even
    // when the theme's own switch is off.
    if (hasHearts(source) && (switches.showLovedForTheme || switches.showLoved)) {
        const AttributedFont font = AttributedFont::system(0.6 * fontSize);
        m_filledHeart.setAttributes(
            markStyle(palette.filledHeart, font, paragraph).withStrokeWidth(-12.0).withKerning(1));
        m_emptyHeart.setAttributes(markStyle(palette.emptyHeart, font, paragraph).withStrokeWidth(5.0).withKerning(1));
        m_slashedHeart.setAttributes(
            markStyle(palette.slashedHeart, AttributedFont::named(QStringLiteral("Arial"), 0.6 * fontSize), paragraph)
                .withStrokeWidth(5.0)
                .withKerning(1));
    }
    if (hasPipes(source)) {
        m_twelvePipes.setAttributes(
            markStyle(palette.pipesUnlit, AttributedFont::system(0.4 * fontSize), paragraph)
                .withStrokeWidth(12.0)
                .withKerning(1));
        const int lit = std::min(litPipes(source.rating), int(m_twelvePipes.length()));
        if (lit > 0)
            m_twelvePipes.setAttributes(
                0, lit,
                markStyle(palette.pipesLit, AttributedFont::system(0.4 * fontSize, true), paragraph)
                    .withStrokeWidth(12.0)
                    .withKerning(1));
    }
}

AttributedString LabelStyling::compose(const Lines &lines, const Source &source, const Switches &switches) const
{
    AttributedString label;
    const AttributedString newline(kReturn);
    if (lines.track)
        label.append(*lines.track);
    if (lines.artist) {
        label.append(newline);
        label.append(*lines.artist);
    }
    if (lines.album) {
        label.append(newline);
        label.append(*lines.album);
    }
    if (isHermes(source) || !switches.showRating || source.player == PlayerId::None)
        return label; // Hermes shows its thumb picture instead
    // A stream has no rating: the marks would show the last track's, or
    // marks never styled at all.
    if (source.stream)
        return label;

    label.append(newline);
    label.append(newline);
    // A broadcast Ecoute's stars are styled but not shown.
    const PlayerTable::Facts *facts = marksOf(source);
    const bool broadcastEcoute = source.player == PlayerId::Broadcaster && facts && facts->id == PlayerId::Ecoute;
    if (hasHearts(source) && switches.showLoved) {
        // A source that keeps no marks shows no heart at all.
        if (!source.marksKnown)
            return label;
        label.append(newline);
        label.append(source.loved ? m_filledHeart : source.disliked ? m_slashedHeart : m_emptyHeart);
    } else if (hasStars(source) && !broadcastEcoute) {
        label.append(m_fiveStars);
    } else if (hasPipes(source)) {
        label.append(m_twelvePipes);
    }
    return label;
}
