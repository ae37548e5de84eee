#include "render/ProgressTimeText.h"

#include "text/AttributedTextLayout.h"

#include <algorithm>
#include <cmath>

QString ProgressTimeText::text(int showTime, double maximum, double value)
{
    switch (showTime) {
    case Total:
        return format(maximum, false);
    case Remaining:
        return format(maximum - value, true);
    case Elapsed:
        return format(value, false);
    default:
        return QString();
    }
}

QString ProgressTimeText::format(double seconds, bool remaining)
{
    // The comparison also refuses NaN; only then are the conversions to
    // integers defined.
    if (!(seconds >= 0.0 && seconds < kMaxSeconds))
        return QString();
    const char *sign = remaining ? "-" : "";
    const qint64 whole = qint64(seconds);
    if (seconds / 60.0 >= 60.0) {
        const qint64 hours = qint64(seconds / 3600.0);
        const qint64 rest = whole - 3600 * hours;
        const qint64 minutes = rest / 60;
        const qint64 secs = rest - 60 * minutes;
        return QString::asprintf("%s%lld:%lld:%02lld", sign, static_cast<long long>(hours),
                                 static_cast<long long>(minutes), static_cast<long long>(secs));
    }
    const qint64 minutes = qint64(seconds / 60.0);
    const qint64 q = whole / 60;
    const qint64 secs = qint64(seconds - 60.0 * double(q));
    return QString::asprintf("%s%lld:%02lld", sign, static_cast<long long>(minutes), static_cast<long long>(secs));
}

ProgressTimeText::Column ProgressTimeText::column(int characters, double fontSizePoints)
{
    characters = std::clamp(characters, 0, kMaxCharacters);
    const AttributedString zeros(QString(characters, QLatin1Char('0')),
                                 AttributedStyle().withFont(AttributedFont::system(fontSizePoints)));
    const double textWidth = AttributedTextLayout(zeros).naturalSize().width() + 5.0;
    const double k = std::floor(textWidth / 5.0);
    return Column{textWidth + k, k};
}
