#pragma once

#include <QString>

// The progress bar's time read-out: the text for a duration and position,
// and the width of the column it is drawn in. Pure functions; the column
// measurement needs a QGuiApplication (fonts). Any thread that may use fonts.
class ProgressTimeText
{
public:
    // What the read-out shows; any other positive value shows an empty text.
    enum ShowTime { None = 0, Total = 1, Remaining = 2, Elapsed = 3 };

    // Times from this many seconds on (a hundred million hours) are not
    // shown: no player reports them, and the text would outgrow its column.
    static constexpr double kMaxSeconds = 3.6e11;
    // The column is measured on as many zeros as the text has characters,
    // at most this many.
    static constexpr int kMaxCharacters = 16;

    // The read-out for `showTime` of a bar at `value` of `maximum` seconds:
    // empty for a mode without text, and for a time that is not a finite
    // number in 0 … kMaxSeconds.
    static QString text(int showTime, double maximum, double value);
    // "m:ss" under an hour, "h:m:ss" from an hour on (minutes not padded:
    // 1:5:07), with a leading "-" for remaining time. Seconds are cut, not
    // rounded. Empty for a time that cannot be shown (see text()).
    static QString format(double seconds, bool remaining);

    // The read-out column for a text of `characters` characters in the
    // system font at `fontSizePoints`: its width T and the offset k of the
    // text inside it. It depends only on the number of characters, so the
    // bar keeps its length while the digits change.
    struct Column
    {
        double width = 0.0;
        double offset = 0.0;
    };
    static Column column(int characters, double fontSizePoints);
};
