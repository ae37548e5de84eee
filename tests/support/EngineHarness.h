#pragma once

#include "broadcaster/BroadcasterClient.h"
#include "core/CoverlumeView.h"
#include "nowplaying/NowPlayingEngine.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/SimulatedPlayers.h"
#include "support/Fakes.h"

class RenderStage;

#include <QTemporaryDir>
#include <QTimeZone>
#include <memory>

// A broadcaster of the tests' own: it reports what the test sets.
class FakeBroadcaster final : public BroadcasterClient
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

// A display view with its real now-playing engine, on simulated players
// described by an inline scenario, a temporary settings store, private
// notification centres and a fake broadcaster.
class EngineHarness
{
public:
    explicit EngineHarness(const QByteArray &scenario, const QVariantMap &settings = {});

    // Builds the view as the application does (created, handed no artwork).
    CoverlumeView &makeView();
    // Builds a view of this size drawn by the real theme stage (not started,
    // no artwork handed over); returns the stage, owned by the view.
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
};

// The status, running-test and process-list texts the checks count.
namespace ScriptText {
QString processList();
QString status(const QString &player); // e.g. status("iTunes")
}
