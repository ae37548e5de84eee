#pragma once

#include "render/Layer.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <functional>

// The wall clock of the full-screen display: a translucent black plate with
// the time of day in white, centred, three quarters of the plate's height.
// Outside full screen it draws nothing.
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
    bool isFullScreen() const { return m_fullScreen; }
    void setFullScreen(bool fullScreen);

    // Marks the clock for display when the text it would show now differs
    // from the one it shows; returns whether it did.
    bool refreshTime();
    // The text for this time: 24-hour hours and minutes, both two digits,
    // with the locale's separator between them ("15:30"; "15.30" where the
    // locale writes times so).
    static QString timeText(const QTime &time, const QLocale &locale = QLocale());

protected:
    bool drawsItself() const override { return true; }
    void draw(QPainter &painter, const QSizeF &sizePoints) const override;

private:
    QString currentText() const;

    TimeSource m_now;
    bool m_fullScreen = false;
    mutable QString m_shownText; // what the last drawing showed
};
