#pragma once

#include "broadcaster/BroadcasterClient.h"
#include "core/CoverlumeView.h"
#include "nowplaying/NowPlayingEngine.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/SimulatedPlayers.h"
#include "support/Fakes.h"

#include <QRegion>
#include <QTemporaryDir>
#include <memory>

class RenderStage;

// A broadcaster of the tests' own: it reports what the test sets.
class FakeBroadcaster : public BroadcasterClient
{
public:
    int starts = 0;
    bool known = true;
    QString track, artist, album, player;
    int rating = 0;
    bool loved = false, disliked = false;
    QByteArray artwork;
    double duration = 0, bookmark = 0;
    QVariant bitrate, bitdepth, samplerate, kind;
    // When set, successive getTrack() calls answer these in turn, then `track`.
    QStringList trackAnswers;
    mutable int trackCalls = 0;

    void start() override { ++starts; }
    bool hasKnownBroadcaster() const override { return known; }
    QString getTrack() const override { return trackAnswers.value(trackCalls++, track); }
    QString getArtist() const override { return artist; }
    QString getAlbum() const override { return album; }
    int getRating() const override { return rating; }
    bool getLoved() const override { return loved; }
    bool getDisliked() const override { return disliked; }
    QByteArray getArtwork() override { return artwork; }
    double getDuration() const override { return duration; }
    double getBookmark() const override { return bookmark; }
    QString getPlayer() const override { return player; }
    QVariant getBitrate() const override { return bitrate; }
    QVariant getBitdepth() const override { return bitdepth; }
    QVariant getSamplerate() const override { return samplerate; }
    QVariant getKind() const override { return kind; }
};

// A display view with its real engine on simulated players (an inline scenario),
// temporary settings, private notification centres and a fake broadcaster.
class EngineHarness
{
public:
    explicit EngineHarness(const QByteArray &scenario, const QVariantMap &settings = {});

    // As the application does: created, started, handed no artwork.
    CoverlumeView &makeView();
    // Drawn by the real theme stage, not started; returns the stage, owned by the view.
    RenderStage *makeRenderedView(const QSizeF &size);
    void frames(int n);

    NowPlayingEngine &engine();
    NowPlayingState &state() { return engine().state(); }
    ScriptSlots &slots() { return engine().scripts().slots; }
    // The texts executed since the last clearExecutions(), in order.
    QStringList executed() const;
    int executedCount(const QString &script) const { return executed().count(script); }

    QTemporaryDir dir;
    std::unique_ptr<DefaultsStore> defaults;
    FrameClock clock{QDateTime(QDate(2026, 12, 6), QTime(20, 0), Qt::UTC)};
    NotificationCenter local;
    NotificationCenter distributed;
    FakeHost host;
    FakeBroadcaster broadcaster;
    std::unique_ptr<SimulatedPlayers> players;
    std::unique_ptr<CoverlumeView> view;

private:
    void build(const QSizeF &size, ViewParts parts);
};

// A view drawn by the real theme stage on the real engine, with the window's
// retained picture. Not started until start().
struct RenderedView
{
    EngineHarness h;
    RenderStage *stage = nullptr;
    QImage picture; // the window's retained picture

    RenderedView(const QByteArray &scenario, const QVariantMap &settings, const QSizeF &size = QSizeF(1280, 800));

    // As the application does: started, handed no artwork, a whole picture.
    void start();
    // As a cycle starts, with this artwork; every view then at full opacity.
    NowShowing layOut(ThemeId theme, const QImage &artwork);
    void layOut(ThemeId theme, const NowShowing &showing);
    QImage snapshot(const QString &name = QString()) const; // kept under `name` for a look
    // One frame into the retained picture; the region redrawn.
    QRegion frame();
    void frames(int n);
    int framesCount() const;
    // A rectangle of the view (y up) in the pictures' rows.
    QRect inPicture(const QRectF &rect) const;
    // Runs the event loop until every cover notification asked for is
    // posted (they go out when encoded); false if they never are.
    bool coverPosted();
};

// A track on iTunes, playing: "Alpha" by "Band A" on "Album A".
QByteArray oneTrack(int durationSeconds = 600, const QString &artworkFile = QString());

// The status, running-test and process-list texts the checks count.
namespace ScriptText {
QString processList();
QString status(const QString &player); // e.g. status("iTunes")
}
