#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// What the display asks of the broadcaster client: the now-playing data a
// broadcaster elsewhere on the network last reported. A value the
// broadcaster did not report reads as empty text, 0, NO, empty data or an
// invalid QVariant. Main thread only.
class BroadcasterClient
{
public:
    virtual ~BroadcasterClient() = default;

    // Looks for broadcasters and starts polling the one it knows.
    virtual void start() = 0;
    virtual bool hasKnownBroadcaster() const = 0;

    virtual QString getTrack() const = 0;
    virtual QString getArtist() const = 0;
    virtual QString getAlbum() const = 0;
    virtual int getRating() const = 0;
    virtual bool getLoved() const = 0;
    virtual bool getDisliked() const = 0;
    virtual QByteArray getArtwork() = 0; // image bytes, empty when none
    virtual double getDuration() const = 0; // seconds
    virtual double getBookmark() const = 0; // seconds played
    virtual QString getPlayer() const = 0;  // lower-case player name
    virtual QVariant getBitrate() const = 0;
    virtual QVariant getBitdepth() const = 0;
    virtual QVariant getSamplerate() const = 0;
    virtual QVariant getKind() const = 0;

    // The remote-control keys, forwarded to the known broadcaster; nothing
    // happens without one. They block the caller until the broadcaster has
    // answered or the request has failed (10 seconds at most), so the
    // display sends them from a thread of their own: unlike the rest of
    // this interface they may be called from any one thread.
    virtual void sendPlayPause() {}
    virtual void sendPrev() {}
    virtual void sendNext() {}
    virtual void sendVolumeUp() {}
    virtual void sendVolumeDown() {}
};

// Knows no broadcaster and looks for none: the client of a display that does
// not reach the network.
class NoBroadcaster final : public BroadcasterClient
{
public:
    void start() override {}
    bool hasKnownBroadcaster() const override { return false; }
    QString getTrack() const override { return {}; }
    QString getArtist() const override { return {}; }
    QString getAlbum() const override { return {}; }
    int getRating() const override { return 0; }
    bool getLoved() const override { return false; }
    bool getDisliked() const override { return false; }
    QByteArray getArtwork() override { return {}; }
    double getDuration() const override { return 0; }
    double getBookmark() const override { return 0; }
    QString getPlayer() const override { return {}; }
    QVariant getBitrate() const override { return {}; }
    QVariant getBitdepth() const override { return {}; }
    QVariant getSamplerate() const override { return {}; }
    QVariant getKind() const override { return {}; }
};
