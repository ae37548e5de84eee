#include "render/IdleCard.h"

#include "render/ClockField.h"
#include "text/AttributedTextLayout.h"

#include <QPainter>
#include <QtMath>

namespace {

// Greys of the three lines: the name, the hint, the time (0.5 at most).
constexpr double kNameGrey = 0.5;
constexpr double kHintGrey = 0.38;
constexpr double kTimeGrey = 0.45;

} // namespace

IdleCard::IdleCard(TimeSource now)
    : m_now(std::move(now))
{
    setName(QStringLiteral("idleCard"));
}

QSizeF IdleCard::cardSize(const QSizeF &screen)
{
    const double height = screen.height() * 0.24;
    return QSizeF(qMin(screen.width() * 0.9, height * 4.0), height);
}

void IdleCard::place(const QSizeF &screen, double randomX, double randomY, const QString &hint)
{
    const QSizeF size = cardSize(screen);
    m_screen = screen;
    m_start = QPointF(qBound(0.0, randomX, 1.0) * qMax(0.0, screen.width() - size.width()),
                      qBound(0.0, randomY, 1.0) * qMax(0.0, screen.height() - size.height()));
    // Heads towards the screen's middle, so the drift has room.
    const QPointF towards = QPointF(screen.width() - size.width(), screen.height() - size.height()) / 2 - m_start;
    const double length = std::hypot(towards.x(), towards.y());
    m_heading = length > 1 ? towards / length : QPointF(1, 0);
    m_placedAt = m_now();
    m_hint = hint;
    setFrame(QRectF(m_start, size));
    setNeedsDisplay();
}

QString IdleCard::timeText() const
{
    return ClockField::timeText(m_now().time());
}

void IdleCard::refresh()
{
    if (m_screen.isEmpty())
        return;
    const double seconds = qMax<qint64>(0, m_placedAt.msecsTo(m_now())) / 1000.0;
    const QSizeF size = frame().size();
    const QPointF at = m_start + m_heading * (seconds * driftPointsPerSecond);
    setFrame(QRectF(QPointF(qBound(0.0, at.x(), qMax(0.0, m_screen.width() - size.width())),
                            qBound(0.0, at.y(), qMax(0.0, m_screen.height() - size.height()))),
                    size));
    if (timeText() != m_shownTime)
        setNeedsDisplay();
}

void IdleCard::draw(QPainter &painter, const QSizeF &sizePoints) const
{
    m_shownTime = timeText();
    if (sizePoints.isEmpty())
        return;
    const double h = sizePoints.height();
    const auto line = [&](const QString &text, double grey, double size, double top, double lineHeight) {
        const AttributedStyle style = AttributedStyle()
                                          .withForeground(QColor::fromRgbF(grey, grey, grey))
                                          .withFont(AttributedFont::system(size))
                                          .withAlignment(AttributedStyle::Alignment::Centre);
        AttributedTextLayout(AttributedString(text, style))
            .drawFitted(&painter, QRectF(0, top, sizePoints.width(), lineHeight));
    };
    line(QStringLiteral("Coverlume"), kNameGrey, h * 0.26, 0, h * 0.4);
    line(m_hint, kHintGrey, h * 0.11, h * 0.42, h * 0.22);
    line(m_shownTime, kTimeGrey, h * 0.16, h * 0.68, h * 0.3);
}
