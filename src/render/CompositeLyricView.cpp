#include "render/CompositeLyricView.h"

#include "text/AttributedFont.h"

#include <QPainter>
#include <QTextLayout>
#include <cmath>

namespace {

const QString kLyricFont = QStringLiteral("Times New Roman");
constexpr int kMaxSidePixels = 16384;

} // namespace

CompositeLyricView::CompositeLyricView(const std::vector<StageTile> &slots)
    : m_slots(slots)
{
    setName(QStringLiteral("lyricView"));
    setBackgroundColor(Qt::black);
    m_holder.setName(QStringLiteral("slots"));
    addSublayer(&m_holder);
}

CompositeLyricView::~CompositeLyricView()
{
    m_layers.clear();
}

float CompositeLyricView::slotAlpha(float t)
{
    if (t > 199 && t < 400)
        return 0.6f - 0.003f * (t - 200.0f);
    if (t > 0 && t < 200)
        return 0.003f * t;
    return 0.0f;
}

int CompositeLyricView::lineIndex(int slot, int lineCount)
{
    int j = slot;
    for (int pass = 0; pass < 3 && j >= lineCount; ++pass)
        j -= lineCount;
    return j >= lineCount ? 0 : j;
}

void CompositeLyricView::setFontSize(float size)
{
    const float kept = 1.5f * size;
    if (kept == m_fontSize)
        return;
    m_fontSize = kept;
    m_layers.clear(); // laid out again at the new size
}

void CompositeLyricView::setLyrics(const QStringList &window, bool repeat)
{
    m_lyrics = window;
    m_repeat = repeat;
    m_layers.clear();
}

void CompositeLyricView::setTransparency(float alpha)
{
    m_transparency = std::isfinite(alpha) ? alpha : 0.0f;
    updateSlots();
}

int CompositeLyricView::lineOf(int slot) const
{
    const int count = int(m_lyrics.size());
    if (count == 0 || (!m_repeat && slot >= count))
        return -1;
    return lineIndex(slot, count);
}

QString CompositeLyricView::lineFor(int slot) const
{
    const int line = lineOf(slot);
    return line < 0 ? QString() : m_lyrics.at(line).left(kMaxLineCharacters);
}

void CompositeLyricView::updateSlots()
{
    m_holder.setFrame(QRectF(QPointF(0, 0), frame().size()));
    if (m_layers.size() != m_slots.size())
        m_layers.resize(m_slots.size());
    int below = 0;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        const StageTile &slot = m_slots[i];
        std::unique_ptr<Layer> &layer = m_layers[i];
        const float a = slotAlpha(slot.counter);
        if (a <= 0) {
            layer.reset();
            continue;
        }
        if (!layer) {
            // Laid out once; a blank line (or one with no room) is a layer
            // without a picture, which draws nothing.
            const QString text = lineFor(int(i));
            const QImage image = text.trimmed().isEmpty() ? QImage() : lineImage(text, slot.frame.size());
            layer = std::make_unique<Layer>();
            layer->setName(QStringLiteral("line slot %1").arg(i));
            layer->setContents(image);
            // From the top of the slot's box down, at the picture's own size.
            const QRectF box = slot.frame;
            if (!image.isNull())
                layer->setFrame(QRectF(std::round(box.x()), std::round(box.bottom() - image.height()),
                                       image.width(), image.height()));
            m_holder.insertSublayer(layer.get(), below);
        }
        layer->setOpacity(a * m_transparency);
        ++below;
    }
}

// The line wrapped at word boundaries into the box's width, white, from the
// box's top; the picture spans the lines that fit, cut to the box.
QImage CompositeLyricView::lineImage(const QString &text, const QSizeF &box) const
{
    const double width = std::min<double>(box.width(), kMaxSidePixels);
    const double height = std::min<double>(box.height(), kMaxSidePixels);
    if (!(width >= 1) || !(height >= 1) || !(m_fontSize > 0))
        return QImage();

    QTextLayout layout(text, AttributedFont::named(kLyricFont, m_fontSize).toQFont());
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    double used = 0, right = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, used));
        if (used >= height) {
            line.setLineWidth(0); // below the box: not drawn
            break;
        }
        used += line.height();
        right = std::max(right, line.naturalTextWidth());
    }
    layout.endLayout();

    const QSize pixels(int(std::ceil(std::min(right, width))), int(std::ceil(std::min(used, height))));
    if (pixels.isEmpty())
        return QImage();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::white);
    painter.setClipRect(QRectF(QPointF(0, 0), QSizeF(pixels)));
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        if (line.y() >= height)
            break;
        line.draw(&painter, QPointF(0, 0));
    }
    return image;
}

QList<CompositeLyricView::Lit> CompositeLyricView::litSlots() const
{
    QList<Lit> lit;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        const float a = slotAlpha(m_slots[i].counter) * m_transparency;
        if (a <= 0)
            continue;
        const int line = lineOf(int(i));
        lit.append({int(i), line, lineFor(int(i)), a});
    }
    return lit;
}
