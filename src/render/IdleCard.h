#pragma once

#include "render/Layer.h"

#include <QDateTime>
#include <QSizeF>
#include <QString>
#include <functional>

// The dim card the stage shows when nothing plays and the layout leaves
// neither artwork nor text: the program's name, one hint (how to start a
// player, what is missing, or the paused text) and the time of day. Every
// colour is at most half grey, so the card never outshines a picture.
//
// Each layout places it anew at a random point; from there it drifts slowly
// (in points per second of the clock it is given), staying on the screen.
// A layer that paints itself, redrawn when its hint or its minute changes.
// Main thread, like its tree.
class IdleCard : public Layer
{
public:
    using TimeSource = std::function<QDateTime()>;
    static constexpr double driftPointsPerSecond = 3.0;

    explicit IdleCard(TimeSource now);

    // The card's size for a screen of this size.
    static QSizeF cardSize(const QSizeF &screen);
    // A new place and heading for a screen of this size, from two numbers in
    // 0 … 1, and the hint to show.
    void place(const QSizeF &screen, double randomX, double randomY, const QString &hint);
    const QString &hint() const { return m_hint; }
    // Moves it along its drift for the clock's time and redraws when the
    // minute changed.
    void refresh();

protected:
    bool drawsItself() const override { return true; }
    void draw(QPainter &painter, const QSizeF &sizePoints) const override;

private:
    QString timeText() const;

    TimeSource m_now;
    QString m_hint;
    QSizeF m_screen;
    QPointF m_start;
    QPointF m_heading; // unit vector
    QDateTime m_placedAt;
    mutable QString m_shownTime;
};
