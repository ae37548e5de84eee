#include "text/AttributedTextLayout.h"

#include "text/AttributedRunPainter.h"
#include "platform/Log.h"

#include <QPainter>
#include <QFontMetricsF>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// An attachment is laid out as this character, widened (or narrowed) by
// letter spacing to the image's width. It is not white space, so it counts
// at the end of a line, and the line breaker may break before and after it,
// as around the object replacement character it stands for. Its glyph is
// never drawn.
constexpr char16_t kAttachmentPlaceholder = u'\u2014';

constexpr double kUnconstrainedWidth = 1.0e6;
// Text laid out to its own natural width must not wrap again when drawn
// into a rect of exactly that width; Qt measures in 1/64ths.
constexpr double kWidthTolerance = 1.0 / 32.0;
// A line counts as inside the rect if it overshoots by less than this.
constexpr double kFitTolerance = 0.5;

struct PieceSpan
{
    int start = 0; // paragraph-relative
    int length = 0;
    AttributedStyle style;
    bool attachment = false;
};

struct Paragraph
{
    std::unique_ptr<QTextLayout> layout;
    QList<PieceSpan> pieces;
    double lineSpacing = 0.0;
    AttributedStyle::Alignment alignment = AttributedStyle::Alignment::Left;
};

struct LineBox
{
    size_t paragraph = 0;
    int line = 0;
    double top = 0.0;
    double height = 0.0;
};

QTextOption textOption(bool wordsOnly = false)
{
    // Qt aligns lines itself counting the spaces at the end of a paragraph;
    // we align them (see alignedOffset), so Qt lays out flush left.
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setWrapMode(wordsOnly ? QTextOption::WordWrap : QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Unhinted advances: the same text measures the same at every size and
    // on every device, as the label's width arithmetic expects.
    option.setUseDesignMetrics(true);
    return option;
}

// Width of the line without the white space it ends in. Qt already leaves
// that out of lines it wrapped, but counts it on a paragraph's last line.
double visibleWidth(const QTextLine &line, const QString &text)
{
    const int start = line.textStart();
    const int end = start + line.textLength();
    int visibleEnd = end;
    while (visibleEnd > start && text.at(visibleEnd - 1).isSpace())
        --visibleEnd;
    const double natural = line.naturalTextWidth();
    if (visibleEnd == end || end < text.size())
        return natural;
    const double trailing = std::abs(line.cursorToX(end) - line.cursorToX(visibleEnd));
    return std::max(0.0, natural - trailing);
}

// Spaces at the end of a line hang past its edge, as the platform's text
// system does it: the label lines end in a space, and right-aligned text
// must still end flush with the label.
double alignedOffset(AttributedStyle::Alignment alignment, double width, double visible)
{
    switch (alignment) {
    case AttributedStyle::Alignment::Right:
        return width - visible;
    case AttributedStyle::Alignment::Centre:
        return (width - visible) / 2.0;
    case AttributedStyle::Alignment::Left:
        break;
    }
    return 0.0;
}

// The placeholder's own advance in a font, measured as the layout will.
double placeholderAdvance(const QFont &font)
{
    QTextLayout probe(QString(QChar(kAttachmentPlaceholder)), font);
    probe.setTextOption(textOption());
    probe.beginLayout();
    QTextLine line = probe.createLine();
    line.setLineWidth(kUnconstrainedWidth);
    probe.endLayout();
    return line.naturalTextWidth();
}

QTextCharFormat formatFor(const PieceSpan &piece)
{
    const AttributedFont font = piece.style.fontOrDefault();
    double kerning = piece.style.kerningOrZero();
    if (piece.attachment) {
        const double width = piece.style.attachment->displaySize().width();
        kerning += width - placeholderAdvance(font.toQFont());
    }
    QTextCharFormat format;
    format.setFont(font.toQFont(kerning));
    return format;
}

// Cuts the runs of one paragraph into pieces: attachment characters one by
// one, the rest in runs of equal style. Paragraphs come in order, so the
// runs are walked once for the whole text: `firstRun` is where this
// paragraph's runs begin, and is left where the next one's begin.
QList<PieceSpan> piecesOf(const QString &text, const QList<AttributedString::Run> &runs,
                          qsizetype &firstRun, const AttributedString::ParagraphRange &range,
                          QString &layoutText)
{
    QList<PieceSpan> pieces;
    const int end = range.start + range.length;
    while (firstRun < runs.size() && runs.at(firstRun).start + runs.at(firstRun).length <= range.start)
        ++firstRun;
    for (qsizetype r = firstRun; r < runs.size() && runs.at(r).start < end; ++r) {
        const AttributedString::Run &run = runs.at(r);
        const int from = std::max(run.start, range.start);
        const int to = std::min(run.start + run.length, end);
        if (!run.style.attachment) {
            pieces.append(PieceSpan{from - range.start, to - from, run.style, false});
            continue;
        }
        int textStart = from;
        for (int i = from; i <= to; ++i) {
            const bool isObject = i < to && text.at(i) == AttributedString::kAttachmentCharacter;
            if (i < to && !isObject)
                continue;
            if (i > textStart)
                pieces.append(PieceSpan{textStart - range.start, i - textStart, run.style, false});
            if (isObject) {
                pieces.append(PieceSpan{i - range.start, 1, run.style, true});
                layoutText[i - range.start] = QChar(kAttachmentPlaceholder);
            }
            textStart = i + 1;
        }
    }
    return pieces;
}

// The style of the character at `index`, found from the run the walk is at.
AttributedStyle styleFrom(const QList<AttributedString::Run> &runs, qsizetype firstRun, int index)
{
    for (qsizetype r = firstRun; r < runs.size(); ++r) {
        if (index < runs.at(r).start + runs.at(r).length)
            return runs.at(r).style;
    }
    return AttributedStyle();
}

double attachmentHeightIn(const Paragraph &paragraph, const QTextLine &line)
{
    const int lineStart = line.textStart();
    const int lineEnd = lineStart + line.textLength();
    double height = 0.0;
    for (const PieceSpan &piece : paragraph.pieces) {
        if (piece.attachment && piece.start >= lineStart && piece.start < lineEnd)
            height = std::max(height, piece.style.attachment->displaySize().height());
    }
    return height;
}

AttributedString cappedText(const AttributedString &text)
{
    if (text.length() <= AttributedTextLayout::kMaxCharacters)
        return text;
    qCWarning(lcText, "text of %d characters laid out up to %d", text.length(),
              AttributedTextLayout::kMaxCharacters);
    int keep = AttributedTextLayout::kMaxCharacters;
    if (text.string().at(keep - 1).isHighSurrogate())
        --keep;
    return text.substring(0, keep);
}

} // namespace

struct AttributedTextLayout::Private
{
    AttributedString text;
    std::vector<Paragraph> paragraphs;
    double laidOutWidth = std::numeric_limits<double>::quiet_NaN(); // 0: no limit
    std::vector<LineBox> lines;
    double width = 0.0;
    double height = 0.0;

    // Fitted: laid out for this height too (0: not fitted).
    double fittedHeight = 0.0;

    void build();
    void layoutFor(double widthPoints);
    void fitTo(const QSizeF &size);
    // Lines of one paragraph at a width, without placing them.
    int rawLines(Paragraph &paragraph, double lineWidth) const;
    // Cuts a paragraph after its line `line`, where "…" still fits the width.
    void elide(Paragraph &paragraph, int line, double lineWidth);
    void drawLines(QPainter *painter, const QRectF &rect) const;
    // How many of the laid-out lines a height shows: the first always, then
    // each whose bottom stays within it.
    size_t shownLineCount(qreal height) const
    {
        size_t count = 0;
        while (count < lines.size()
               && (count == 0 || lines[count].top + lines[count].height <= height + kFitTolerance))
            ++count;
        return count;
    }
    QList<AttributedRunPainter::Piece> piecesOfLine(const LineBox &box) const;
};

void AttributedTextLayout::Private::build()
{
    if (text.isEmpty())
        return;
    const QList<AttributedString::Run> runs = text.runs();
    qsizetype runIndex = 0;
    for (const AttributedString::ParagraphRange &range : text.paragraphs()) {
        QString layoutText = text.string().mid(range.start, range.length);
        Paragraph paragraph;
        paragraph.pieces = piecesOf(text.string(), runs, runIndex, range, layoutText);
        // The paragraph's first character (for an empty paragraph, its
        // break) decides the paragraph style and the font of an empty line.
        const AttributedStyle lead = styleFrom(runs, runIndex, range.start);
        const AttributedStyle::Paragraph format = lead.paragraphOrDefault();
        paragraph.lineSpacing = format.lineSpacingPoints;
        paragraph.alignment = format.alignment;
        paragraph.layout = std::make_unique<QTextLayout>(
            layoutText, lead.fontOrDefault().toQFont(lead.kerningOrZero()));
        paragraph.layout->setTextOption(textOption());
        QList<QTextLayout::FormatRange> formats;
        for (const PieceSpan &piece : paragraph.pieces)
            formats.append(QTextLayout::FormatRange{piece.start, piece.length, formatFor(piece)});
        paragraph.layout->setFormats(formats);
        paragraph.layout->setCacheEnabled(true);
        paragraphs.push_back(std::move(paragraph));
    }
}

int AttributedTextLayout::Private::rawLines(Paragraph &paragraph, double lineWidth) const
{
    QTextLayout &layout = *paragraph.layout;
    layout.beginLayout();
    int count = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(lineWidth);
        ++count;
    }
    layout.endLayout();
    return count;
}

void AttributedTextLayout::Private::elide(Paragraph &paragraph, int lineIndex, double lineWidth)
{
    QTextLayout &layout = *paragraph.layout;
    const QString text = layout.text();
    const QTextLine line = layout.lineAt(lineIndex);
    const int start = line.textStart();
    int cutAt = start + line.textLength();
    // The style the ellipsis takes: the text's at the cut.
    AttributedStyle style;
    for (const PieceSpan &piece : paragraph.pieces) {
        if (!piece.attachment && piece.start <= std::max(start, cutAt - 1))
            style = piece.style;
    }
    const QString ellipsis(QChar(0x2026));
    const double room = lineWidth - QFontMetricsF(style.fontOrDefault().toQFont()).horizontalAdvance(ellipsis);
    if (line.naturalTextWidth() > room) {
        // Right-to-left text begins at the line's right end.
        const bool rtl = text.mid(start, line.textLength()).isRightToLeft();
        const double x = rtl ? line.naturalTextWidth() - std::max(0.0, room) : std::max(0.0, room);
        int fits = line.xToCursor(x, QTextLine::CursorBetweenCharacters);
        // The nearest boundary may lie past the room: step back inside it.
        const double from = line.cursorToX(start);
        while (fits > start && std::abs(line.cursorToX(fits) - from) > room)
            --fits;
        // Between words where the line has more than one; inside the word
        // only when it alone is wider than the line.
        const qsizetype space = fits > start ? text.lastIndexOf(QLatin1Char(' '), fits - 1) : -1;
        cutAt = space > start ? int(space) : fits;
    }
    cutAt = std::clamp(cutAt, start, int(text.size()));
    while (cutAt > start && text.at(cutAt - 1).isSpace())
        --cutAt;
    if (cutAt > start && text.at(cutAt - 1).isHighSurrogate())
        --cutAt;
    if (cutAt == start && start < text.size()) // at least one character before the ellipsis
        cutAt = start + (text.at(start).isHighSurrogate() && start + 1 < text.size() ? 2 : 1);

    QList<PieceSpan> kept;
    for (PieceSpan piece : paragraph.pieces) {
        if (piece.start >= cutAt)
            continue;
        piece.length = std::min(piece.length, cutAt - piece.start);
        kept.append(piece);
    }
    kept.append(PieceSpan{cutAt, 1, style, false});
    paragraph.pieces = kept;
    layout.setText(text.left(cutAt) + ellipsis);
    QList<QTextLayout::FormatRange> formats;
    for (const PieceSpan &piece : paragraph.pieces)
        formats.append(QTextLayout::FormatRange{piece.start, piece.length, formatFor(piece)});
    layout.setFormats(formats);
}

void AttributedTextLayout::Private::fitTo(const QSizeF &size)
{
    const double lineWidth = size.width() + kWidthTolerance;
    // Break only between words from here on: a word too wide is cut with "…".
    for (Paragraph &paragraph : paragraphs)
        paragraph.layout->setTextOption(textOption(true));
    const auto overflowing = [&](const Paragraph &paragraph, int upTo) {
        for (int i = 0; i < upTo && i < paragraph.layout->lineCount(); ++i) {
            if (paragraph.layout->lineAt(i).naturalTextWidth() > lineWidth)
                return i;
        }
        return -1;
    };
    const auto keepLines = [&](Paragraph &paragraph, int allowed) {
        const int count = rawLines(paragraph, lineWidth);
        const int wide = overflowing(paragraph, std::min(count, allowed));
        const int last = wide >= 0 ? wide : count > allowed ? allowed - 1 : -1;
        if (last < 0)
            return;
        elide(paragraph, last, lineWidth);
        // The cut text may still take a line more where "…" fell onto one.
        if (rawLines(paragraph, lineWidth) > last + 1)
            elide(paragraph, last, lineWidth - 1.0);
    };
    // Every paragraph but the first keeps one line.
    for (size_t p = 1; p < paragraphs.size(); ++p)
        keepLines(paragraphs[p], 1);
    if (paragraphs.empty())
        return;
    // The first takes what they leave.
    laidOutWidth = std::numeric_limits<double>::quiet_NaN();
    layoutFor(size.width());
    double others = 0.0;
    for (const LineBox &box : lines) {
        if (box.paragraph > 0)
            others = box.top + box.height; // to the end of the last line
    }
    double firstHeight = 0.0;
    int firstLines = 0;
    for (const LineBox &box : lines)
        if (box.paragraph == 0) {
            firstHeight = box.top + box.height;
            ++firstLines;
        }
    const double othersHeight = others - firstHeight;
    int allowed = 0;
    for (const LineBox &box : lines)
        if (box.paragraph == 0 && box.top + box.height + othersHeight <= size.height() + kFitTolerance)
            ++allowed;
    keepLines(paragraphs[0], std::max(1, std::min(allowed, firstLines)));
    laidOutWidth = std::numeric_limits<double>::quiet_NaN();
    layoutFor(size.width());
}

void AttributedTextLayout::Private::layoutFor(double widthPoints)
{
    const bool limited = std::isfinite(widthPoints) && widthPoints > 0.0;
    const double lineWidth = limited ? std::min(widthPoints + kWidthTolerance, kUnconstrainedWidth)
                                     : kUnconstrainedWidth;
    // Without a width limit there is nothing to align to.
    const double alignWidth = limited ? std::min(widthPoints, kUnconstrainedWidth) : 0.0;
    if (alignWidth == laidOutWidth)
        return;
    laidOutWidth = alignWidth;
    lines.clear();
    width = 0.0;
    double top = 0.0;
    double pendingSpacing = 0.0;
    for (size_t p = 0; p < paragraphs.size(); ++p) {
        Paragraph &paragraph = paragraphs[p];
        QTextLayout &layout = *paragraph.layout;
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(lineWidth);
            top += pendingSpacing;
            // An attachment taller than the text raises the baseline.
            const double ascent = std::max<double>(line.ascent(), attachmentHeightIn(paragraph, line));
            const double height = ascent + line.descent() + line.leading();
            const double visible = visibleWidth(line, layout.text());
            const double x = limited ? alignedOffset(paragraph.alignment, alignWidth, visible) : 0.0;
            line.setPosition(QPointF(x, top + ascent - line.ascent()));
            lines.push_back(LineBox{p, line.lineNumber(), top, height});
            width = std::max<double>(width, line.naturalTextWidth());
            top += height;
            pendingSpacing = paragraph.lineSpacing;
        }
        layout.endLayout();
    }
    height = top;
}

QList<AttributedRunPainter::Piece> AttributedTextLayout::Private::piecesOfLine(const LineBox &box) const
{
    const Paragraph &paragraph = paragraphs[box.paragraph];
    const QTextLine line = paragraph.layout->lineAt(box.line);
    const int lineStart = line.textStart();
    const int lineEnd = lineStart + line.textLength();
    QList<AttributedRunPainter::Piece> result;
    for (const PieceSpan &span : paragraph.pieces) {
        const int from = std::max(span.start, lineStart);
        const int to = std::min(span.start + span.length, lineEnd);
        if (from >= to)
            continue;
        AttributedRunPainter::Piece piece;
        piece.style = span.style;
        if (span.attachment) {
            const QSizeF size = span.style.attachment->displaySize();
            // Leftmost edge of the character, whichever way its text runs.
            const double x = std::min(line.cursorToX(from), line.cursorToX(from + 1));
            const double baseline = line.y() + line.ascent();
            piece.imageRect = QRectF(x, baseline - size.height(), size.width(), size.height());
            piece.image = span.style.attachment->image;
            if (piece.image.isNull())
                continue;
        } else {
            piece.glyphs = line.glyphRuns(from, to - from);
        }
        result.append(piece);
    }
    return result;
}

AttributedTextLayout::AttributedTextLayout(const AttributedString &text)
    : d(std::make_unique<Private>())
{
    d->text = cappedText(text);
    d->build();
}

AttributedTextLayout::~AttributedTextLayout() = default;
AttributedTextLayout::AttributedTextLayout(AttributedTextLayout &&other) noexcept = default;
AttributedTextLayout &AttributedTextLayout::operator=(AttributedTextLayout &&other) noexcept = default;

QSizeF AttributedTextLayout::naturalSize() const
{
    d->layoutFor(0.0);
    return QSizeF(d->width, d->height);
}

double AttributedTextLayout::heightForWidth(double widthPoints) const
{
    d->layoutFor(widthPoints);
    return d->height;
}

namespace {

// An active painter and a finite, non-empty rectangle to draw into.
bool canDraw(const QPainter *painter, const QRectF &rect)
{
    if (!painter || !painter->isActive()) {
        qCWarning(lcText, "attributed text not drawn: no active painter");
        return false;
    }
    return rect.isValid() && std::isfinite(rect.width()) && std::isfinite(rect.height())
           && std::isfinite(rect.x()) && std::isfinite(rect.y());
}

} // namespace

int AttributedTextLayout::lineCountForWidth(double widthPoints) const
{
    d->layoutFor(widthPoints);
    return int(d->lines.size());
}

void AttributedTextLayout::draw(QPainter *painter, const QRectF &rect) const
{
    if (!canDraw(painter, rect))
        return;
    d->layoutFor(rect.width());
    d->drawLines(painter, rect);
}

void AttributedTextLayout::drawFitted(QPainter *painter, const QRectF &rect) const
{
    if (!canDraw(painter, rect))
        return;
    d->fitTo(rect.size());
    d->drawLines(painter, rect);
}

QStringList AttributedTextLayout::fittedLines(const QSizeF &size) const
{
    QStringList shown;
    if (!size.isValid() || !std::isfinite(size.width()) || !std::isfinite(size.height()))
        return shown;
    d->fitTo(size);
    for (size_t i = 0, count = d->shownLineCount(size.height()); i < count; ++i) {
        const LineBox &box = d->lines[i];
        const QTextLine line = d->paragraphs[box.paragraph].layout->lineAt(box.line);
        shown << d->paragraphs[box.paragraph].layout->text().mid(line.textStart(), line.textLength());
    }
    return shown;
}

QRectF AttributedTextLayout::fittedLineBounds(const QSizeF &size) const
{
    QRectF bounds;
    if (!size.isValid() || !std::isfinite(size.width()) || !std::isfinite(size.height()))
        return bounds;
    d->fitTo(size);
    for (size_t i = 0, count = d->shownLineCount(size.height()); i < count; ++i) {
        const LineBox &box = d->lines[i];
        const QTextLine line = d->paragraphs[box.paragraph].layout->lineAt(box.line);
        const QRectF advance = line.naturalTextRect();
        bounds |= QRectF(advance.x(), box.top, advance.width(), box.height);
    }
    return bounds;
}

void AttributedTextLayout::Private::drawLines(QPainter *painter, const QRectF &rect) const
{
    const auto *d = this;
    painter->save();
    painter->translate(rect.topLeft());
    for (size_t i = 0, count = d->shownLineCount(rect.height()); i < count; ++i) {
        const LineBox &box = d->lines[i];
        const QList<AttributedRunPainter::Piece> pieces = d->piecesOfLine(box);
        for (const AttributedRunPainter::Piece &piece : pieces)
            AttributedRunPainter::paintShadow(painter, piece);
        for (const AttributedRunPainter::Piece &piece : pieces)
            AttributedRunPainter::paint(painter, piece);
    }
    painter->restore();
}
