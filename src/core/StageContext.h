#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

class DefaultsStore;
class FrameClock;
class LyricsSource;
class NotificationCenter;
class ThemeSettings;
class ViewHost;

// The rating and loved marks, and the images the layouts draw with, as the
// display view builds them once.
struct ViewMarks
{
    QString fiveStars;
    QString twelvePipes;
    QString filledHeart;
    QString emptyHeart;
    QString slashedHeart;
    QImage thumbsUpImage;            // null when the resource is missing
    QSizeF thumbsUpSize;             // in points, from the font size
    QImage thumbsNeitherUpNorDownImage;
    QSizeF thumbsNeitherUpNorDownSize;
    QImage defaultArtworkImage;
    QImage transparentMaskImage;
};

// What a theme stage reads from the display view that makes it. Every
// reference is the view's (or the view's services') and outlives the stage,
// which the view owns. What the display shows reaches the stage as values
// (NowShowing at each layout, ProgressSnapshot after each frame), never
// through the engine. Main thread only.
struct StageContext
{
    DefaultsStore &defaults;
    ThemeSettings &themes;
    const FrameClock &clock;
    NotificationCenter &distributedCenter; // the cover notification goes here
    const ViewHost &host;
    const ViewMarks &marks;     // built after the stage is made: read them from setUpViews on
    const QSizeF &frameSize;    // the view's size in points
    // The words for the Lyrics theme; null when the engine has no source.
    LyricsSource *lyrics = nullptr;
};
