#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

class BroadcasterClient;
class DefaultsStore;
class FrameClock;
class FrameCycle;
class NotificationCenter;
class ProgressDetails;
class ThemeSettings;
class ViewHost;
struct NowPlayingState;

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
// which the view owns. Main thread only.
struct StageContext
{
    DefaultsStore &defaults;
    ThemeSettings &themes;
    const FrameClock &clock;
    NotificationCenter &distributedCenter; // the cover notification goes here
    const ViewHost &host;
    const QImage &artworkImage; // null: no artwork
    const ViewMarks &marks;     // built after the stage is made: read them from setUpViews on
    FrameCycle &cycle;          // layouts read firstRun; a resize sets framesCount
    const QSizeF &frameSize;    // the view's size in points
    // The engine's state; null when a test injects a fake engine (then the
    // stage draws no text and no progress).
    NowPlayingState *nowPlaying = nullptr;
    // The engine's detail lines; null with a fake engine.
    const ProgressDetails *details = nullptr;
    // The broadcaster client, for the player name it reports; null: none.
    BroadcasterClient *broadcaster = nullptr;
};
