#pragma once

#include <QDateTime>
#include <QSizeF>
#include <QString>
#include <optional>

class CommandLine;

// How a display session is put together. Empty values read as: the
// standard settings directory, no simulated players (no player backend),
// the live clock, the stored "verbosity", a seed from the time.
struct SessionOptions
{
    QString configDir;
    QString playersFile;
    std::optional<QDateTime> clockStart; // set: a scripted clock from this time
    std::optional<int> verbosity;        // the volatile "verbosity", never written
    std::optional<quint32> seed;
    QSizeF frameSize{1280, 800};
    // Headless: the view's host reports this instead of asking a window.
    bool fullScreen = false;
    // Distributed notifications stay inside the process instead of going
    // over the session bus. Headless runs use this so that a notification
    // reaches the view at the same frame on every run.
    bool distributedInProcess = false;
    // The Lyrics layout waits for the lyrics lookup (every request of it is
    // bounded) instead of showing "not yet", so that a headless run of a
    // given number of frames gives the same pictures every time.
    bool waitForLyrics = false;
    // A layout waits for a new cover whose header declares at most this
    // many pixels (0: never), for at most this long: a live display briefly,
    // so that the cover shows at once rather than the fallback followed by a
    // second fade; headless runs of a set number of frames, for the same
    // reason as the lyrics, until it is there (the worker's own bound). A
    // larger picture arrives later.
    qint64 waitForArtworkPixels = liveArtworkPixels;
    int waitForArtworkMs = liveArtworkWaitMs;

    static constexpr qint64 liveArtworkPixels = 1024 * 1024;
    static constexpr int liveArtworkWaitMs = 60;
    static constexpr qint64 smallArtworkPixels = 512 * 512;

    static constexpr double headlessWidth = 1280;
    static constexpr double headlessHeight = 800;

    // The options of a run as the command line gives them. Headless runs
    // get a scripted clock (from --now, else the current time).
    static SessionOptions fromCommandLine(const CommandLine &commandLine);
};
