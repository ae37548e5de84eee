#pragma once

#include "render/Layer.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QRectF>
#include <QString>
#include <functional>

// The wall clock of the display, full screen or in a window: a translucent
// black plate with the time of day in white, centred, three quarters of the
// plate's height. It goes round the view as the hours turn
// (FrameCycle::positionOfClock), stepping aside where the artwork or the
// text stands (clearPlace).
//
// The time comes from the clock it is given (the display's FrameClock, so a
// scripted run shows its scripted time); without one it reads the wall clock.
// The time of day is shown as the given date-time carries it. A layer that
// paints itself: the owner sets its frame and calls refreshTime() now and
// then; the clock is redrawn only when the text it shows changes. Main
// thread, like its tree.
class ClockField : public Layer
{
public:
    using TimeSource = std::function<QDateTime()>;

    explicit ClockField(TimeSource now = TimeSource());

    void setTimeSource(TimeSource now);

    // Marks the clock for display when the text it would show now differs
    // from the one it shows; returns whether it did.
    bool refreshTime();
    // The text for this time: 24-hour hours and minutes, both two digits,
    // with the locale's separator between them ("15:30"; "15.30" where the
    // locale writes times so).
    static QString timeText(const QTime &time, const QLocale &locale = QLocale());
    // Where the clock of a view of size `bounds` stands at `time` when its
    // plate there clears every rectangle of `avoid` (y up, like the view);
    // else the nearest place on its path that does, a minute's step at a
    // time either way round the dial. Where no place is clear, the place of
    // `time`.
    static QRectF clearPlace(const QSizeF &bounds, const QTime &time, const QList<QRectF> &avoid);

protected:
    bool drawsItself() const override { return true; }
    void draw(QPainter &painter, const QSizeF &sizePoints) const override;

private:
    QString currentText() const;

    TimeSource m_now;
    mutable QString m_shownText; // what the last drawing showed
};
