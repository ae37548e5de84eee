#include "render/ClockField.h"

#include "core/FrameCycle.h"
#include "text/AttributedTextLayout.h"

#include <QPainter>
#include <algorithm>

namespace {

// The plate is black at half alpha with corners of a sixth of its height.
constexpr double kPlateAlpha = 0.5;
constexpr double kCornerFraction = 1.0 / 6.0;
constexpr double kTextFraction = 0.75;

// What the locale puts between hours and minutes in its short time format.
QString hourMinuteSeparator(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    qsizetype i = 0;
    while (i < format.size() && format[i] != u'h' && format[i] != u'H')
        ++i;
    while (i < format.size() && (format[i] == u'h' || format[i] == u'H'))
        ++i;
    QString separator;
    for (; i < format.size() && format[i] != u'm'; ++i) {
        if (format[i] != u'\'')
            separator.append(format[i]);
    }
    if (separator.isEmpty() || i == format.size())
        return QStringLiteral(":");
    return separator;
}

} // namespace

ClockField::ClockField(TimeSource now)
    : m_now(std::move(now))
{
    setName(QStringLiteral("clock"));
}

void ClockField::setTimeSource(TimeSource now)
{
    m_now = std::move(now);
    setNeedsDisplay();
}

bool ClockField::refreshTime()
{
    if (currentText() == m_shownText)
        return false;
    setNeedsDisplay();
    return true;
}

QString ClockField::timeText(const QTime &time, const QLocale &locale)
{
    if (!time.isValid())
        return QString();
    return time.toString(QStringLiteral("HH")) + hourMinuteSeparator(locale) + time.toString(QStringLiteral("mm"));
}

QRectF ClockField::clearPlace(const QSizeF &bounds, const QTime &time, const QList<QRectF> &avoid)
{
    const auto clear = [&avoid](const QRectF &plate) {
        return std::none_of(avoid.cbegin(), avoid.cend(),
                            [&plate](const QRectF &rect) { return FrameCycle::thisRectClashesWith(plate, rect); });
    };
    const QRectF onTime = FrameCycle::positionOfClock(bounds, time);
    if (!time.isValid() || clear(onTime))
        return onTime;
    // Half the dial each way: twelve hours round.
    for (int minutes = 1; minutes <= 6 * 60; ++minutes) {
        for (const int sense : {1, -1}) {
            const QRectF place = FrameCycle::positionOfClock(bounds, time.addSecs(sense * minutes * 60));
            if (clear(place))
                return place;
        }
    }
    return onTime;
}

QString ClockField::currentText() const
{
    const QDateTime now = m_now ? m_now() : QDateTime::currentDateTime();
    return timeText(now.time());
}

void ClockField::draw(QPainter &painter, const QSizeF &sizePoints) const
{
    m_shownText = currentText();
    if (sizePoints.isEmpty())
        return;

    const QRectF plate(QPointF(0, 0), sizePoints);
    const double radius = sizePoints.height() * kCornerFraction;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, kPlateAlpha));
    painter.drawRoundedRect(plate, radius, radius);

    AttributedStyle::Shadow shadow;
    shadow.offsetPoints = QPointF(1.0, 1.0); // right and down
    shadow.blurRadiusPoints = 0.0;
    shadow.colour = Qt::black;
    const AttributedStyle style = AttributedStyle()
                                      .withForeground(Qt::white)
                                      .withShadow(shadow)
                                      .withFont(AttributedFont::system(sizePoints.height() * kTextFraction))
                                      .withAlignment(AttributedStyle::Alignment::Centre);
    AttributedTextLayout(AttributedString(m_shownText, style)).draw(&painter, plate);
}
