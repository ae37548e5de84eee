#include "render/CLProgressIndicator.h"

#include "text/AttributedTextLayout.h"
#include "render/ProgressTimeText.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// The classic bar and its read-out are mid grey; the Apple TV ones near
// white, or dark grey on a light picture.
constexpr double kClassicGrey = 0.5;
constexpr double kAppleTVGrey = 0.9;
constexpr double kAppleTVDarkGrey = 0.15;
// The Apple TV track is this much fainter than its fill.
constexpr double kTrackAlpha = 0.45;
// The read-out's rectangle reaches this far above the bar's top edge.
constexpr double kTextRise = 3.0;

QColor grey(double level, double alpha)
{
    return QColor::fromRgbF(float(level), float(level), float(level), float(std::clamp(alpha, 0.0, 1.0)));
}

// A rectangle with its sides moved in by dx and dy (out for negative values).
QRectF inset(const QRectF &rect, double dx, double dy)
{
    return rect.adjusted(dx, dy, -dx, -dy);
}

bool isDrawable(const QRectF &rect)
{
    return rect.width() > 0.0 && rect.height() > 0.0;
}

} // namespace

CLProgressIndicator::CLProgressIndicator()
{
    setName(QStringLiteral("progress"));
    setTransparency(m_transparency);
}

template<typename T>
void CLProgressIndicator::store(T &field, T value)
{
    if (field == value)
        return;
    field = value;
    setNeedsDisplay();
}

void CLProgressIndicator::storeValue(double &field, double value)
{
    if (field == value || (std::isnan(field) && std::isnan(value)))
        return;
    const Drawn before = drawn();
    field = value;
    if (drawn() != before)
        setNeedsDisplay();
}

void CLProgressIndicator::setMinValue(double value) { storeValue(m_minValue, value); }
void CLProgressIndicator::setMaxValue(double seconds) { storeValue(m_maxValue, seconds); }
void CLProgressIndicator::setDoubleValue(double seconds) { storeValue(m_doubleValue, seconds); }
void CLProgressIndicator::setStyle(int style)
{
    store(m_style, style);
    setTransparency(m_transparency); // the fade moves between layer and ink
}
void CLProgressIndicator::setShowTime(int showTime) { store(m_showTime, showTime); }
void CLProgressIndicator::setDarkMode(bool dark) { store(m_darkMode, dark); }

void CLProgressIndicator::setTransparency(float alpha)
{
    alpha = std::isnan(alpha) ? 0.0f : std::clamp(alpha, 0.0f, 1.0f);
    // The classic bar's parts lie side by side: fading the layer looks the
    // same as drawing each part at the alpha, and a fade frame then blends
    // the bar drawn once. The Apple TV fill lies over its track, which shows
    // through it as both fade: that bar is drawn again at each alpha.
    const bool layered = m_style == AppleTV;
    setOpacity(layered ? 1.0f : alpha);
    if (layered)
        store(m_transparency, alpha);
    else
        m_transparency = alpha;
}

float CLProgressIndicator::inkAlpha() const
{
    return m_style == AppleTV ? m_transparency : 1.0f;
}

void CLProgressIndicator::update(const ProgressSnapshot &progress)
{
    setMaxValue(progress.maximum);
    setDoubleValue(progress.value);
    setHidden(!progress.shown);
}

bool CLProgressIndicator::hasSomethingToDraw() const
{
    if (!std::isfinite(m_maxValue) || !std::isfinite(m_doubleValue) || !std::isfinite(m_minValue))
        return false;
    return !isHidden() && m_maxValue > 0.0 && m_doubleValue <= m_maxValue && m_minValue <= m_doubleValue;
}

QString CLProgressIndicator::timeText() const
{
    if (!hasSomethingToDraw() || m_showTime <= 0)
        return QString();
    return ProgressTimeText::text(m_showTime, m_maxValue, m_doubleValue);
}

double CLProgressIndicator::filledFraction() const
{
    return std::clamp(m_doubleValue / m_maxValue, 0.0, 1.0);
}

CLProgressIndicator::Layout CLProgressIndicator::layoutFor(const QSizeF &size) const
{
    Layout layout;
    layout.bar = QRectF(QPointF(0, 0), size);
    if (m_showTime <= 0)
        return layout;
    // A mode without text, or a time that cannot be shown, still keeps the
    // (narrow) column of an empty text, so the bar does not jump.
    layout.time = timeText();
    const ProgressTimeText::Column column = ProgressTimeText::column(int(layout.time.size()), size.height());
    layout.bar.setWidth(size.width() - column.width);
    // y up, the read-out sits in (w − T + k, 0, T, h + 3): its top a little
    // above the bar's top edge.
    layout.text = QRectF(size.width() - column.width + column.offset, -kTextRise, column.width,
                         size.height() + kTextRise);
    return layout;
}

QRectF CLProgressIndicator::fillRect(const Layout &layout, double height) const
{
    QRectF fill;
    if (m_style == AppleTV) {
        const QRectF room = inset(layout.bar, 0, 2 * height / 19.0);
        fill = inset(room, 0, room.height() / 3.0);
    } else {
        const double u = height / 25.0;
        fill = inset(inset(layout.bar, 2 * u, 6 * u), 3 * u, 3 * u);
    }
    if (isDrawable(fill))
        fill.setWidth(std::floor(filledFraction() * fill.width()));
    return fill;
}

CLProgressIndicator::Drawn CLProgressIndicator::drawn() const
{
    const QSizeF size = bounds().size();
    if (!hasSomethingToDraw() || size.isEmpty())
        return {};
    const Layout layout = layoutFor(size);
    return {layout.time, fillRect(layout, size.height()).width()};
}

void CLProgressIndicator::draw(QPainter &painter, const QSizeF &sizePoints) const
{
    if (!hasSomethingToDraw() || sizePoints.isEmpty())
        return;
    const Layout layout = layoutFor(sizePoints);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_style == AppleTV)
        drawAppleTV(painter, layout, sizePoints.height());
    else
        drawClassic(painter, layout, sizePoints.height());
}

void CLProgressIndicator::drawClassic(QPainter &painter, const Layout &layout, double height) const
{
    const double u = height / 25.0;
    const QColor colour = grey(kClassicGrey, inkAlpha());

    const QRectF outline = inset(layout.bar, 2 * u, 6 * u);
    if (isDrawable(outline)) {
        painter.setPen(QPen(colour, 1.5 * u));
        painter.setBrush(Qt::NoBrush);
        const double radius = outline.height() * 0.5;
        painter.drawRoundedRect(outline, radius, radius);
    }

    const QRectF fill = fillRect(layout, height);
    if (isDrawable(fill)) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        const double radius = fill.height() * 0.5;
        painter.drawRoundedRect(fill, radius, radius);
    }
    drawTime(painter, layout, height, colour);
}

void CLProgressIndicator::drawAppleTV(QPainter &painter, const Layout &layout, double height) const
{
    const double u = height / 19.0;
    const double level = m_darkMode ? kAppleTVDarkGrey : kAppleTVGrey;
    // The track runs the bar's whole width, so it lines up with the text
    // edge the bar is laid out against.
    const QRectF room = inset(layout.bar, 0, 2 * u);

    painter.setPen(Qt::NoPen);
    const QRectF track = inset(room, 0, room.height() / 2.6);
    if (isDrawable(track))
        painter.fillRect(track, grey(level, inkAlpha() * kTrackAlpha));

    const QRectF fill = fillRect(layout, height);
    if (isDrawable(fill)) {
        painter.setBrush(grey(level, inkAlpha()));
        painter.drawRoundedRect(fill, u, u);
    }
    drawTime(painter, layout, height, grey(level, inkAlpha()));
}

void CLProgressIndicator::drawTime(QPainter &painter, const Layout &layout, double height, const QColor &colour) const
{
    if (layout.time.isEmpty() || layout.text.isEmpty())
        return;
    const AttributedStyle style = AttributedStyle()
                                      .withFont(AttributedFont::system(height))
                                      .withForeground(colour)
                                      .withAlignment(AttributedStyle::Alignment::Left);
    AttributedTextLayout(AttributedString(layout.time, style)).draw(&painter, layout.text);
}
