#pragma once

#include "model/ProgressSnapshot.h"
#include "render/Layer.h"

#include <QString>

// The progress bar with its time read-out, in the classic style (a pill
// outline with a pill fill) or the Apple TV style (a thin track with a
// thicker rounded fill). A layer that paints itself: the owner sets its
// frame, its values and its fade, and the compositor redraws it when what it
// draws changed: a new value marks it for display only when the fill moves
// by a point or the read-out changes (a playing track's position moves five
// times a second; what is drawn, about once).
//
// Draws nothing while hidden, when the maximum is not above 0, when the value
// lies outside minValue … maxValue, or when either is not a finite number.
// Everything drawn has the alpha `transparency`, so a transparency of 0 draws
// an invisible bar; the classic bar takes it as its layer's opacity, so its
// fade frames blend the bar already drawn. Main thread, like its tree.
class CLProgressIndicator : public Layer
{
public:
    enum Style { Classic = 0, AppleTV = 1 }; // any value but 1 draws classic

    CLProgressIndicator();

    double minValue() const { return m_minValue; }
    void setMinValue(double value);
    double maxValue() const { return m_maxValue; }
    void setMaxValue(double seconds);
    double doubleValue() const { return m_doubleValue; }
    void setDoubleValue(double seconds);

    int style() const { return m_style; }
    void setStyle(int style);
    int showTime() const { return m_showTime; } // see ProgressTimeText::ShowTime
    void setShowTime(int showTime);
    float transparency() const { return m_transparency; }
    void setTransparency(float alpha); // clamped to 0 … 1; NaN reads as 0
    bool darkMode() const { return m_darkMode; } // Apple TV style only
    void setDarkMode(bool dark);

    // Takes the maximum, value and visibility of a snapshot. Its redraw
    // flag adds nothing: every change of what is drawn is seen here.
    void update(const ProgressSnapshot &progress);

    // Whether the current values draw anything at all.
    bool hasSomethingToDraw() const;
    // The read-out the current values show (empty when none).
    QString timeText() const;

protected:
    bool drawsItself() const override { return true; }
    void draw(QPainter &painter, const QSizeF &sizePoints) const override;

private:
    // The bar's room and the read-out's rectangle, in y-down points.
    struct Layout
    {
        QRectF bar;
        QRectF text;
        QString time;
    };
    // What the values put on screen at the layer's size, to tell whether a
    // new value changes it.
    struct Drawn
    {
        QString time;
        double fillWidth = -1; // none drawn
        bool operator==(const Drawn &) const = default;
    };
    Layout layoutFor(const QSizeF &size) const;
    double filledFraction() const;
    // The fill at the current value: its width is whole points.
    QRectF fillRect(const Layout &layout, double height) const;
    Drawn drawn() const;
    // The alpha the parts are drawn with (the rest of the fade is the layer's).
    float inkAlpha() const;
    void storeValue(double &field, double value);
    void drawClassic(QPainter &painter, const Layout &layout, double height) const;
    void drawAppleTV(QPainter &painter, const Layout &layout, double height) const;
    void drawTime(QPainter &painter, const Layout &layout, double height, const QColor &colour) const;
    template<typename T>
    void store(T &field, T value);

    double m_minValue = 0.0;
    double m_maxValue = 100.0;
    double m_doubleValue = 0.0;
    int m_style = Classic;
    int m_showTime = 0;
    float m_transparency = 0.0f;
    bool m_darkMode = false;
};
