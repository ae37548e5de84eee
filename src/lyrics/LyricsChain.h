#pragma once

#include "lyrics/LyricFetchers.h"
#include "lyrics/SyncedLyrics.h"
#include "model/LyricsSource.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class DefaultsStore;
class QThread;

// The lyrics of the current track, looked up in order: the player's own
// (iTunes and Music only, asked on the main thread through `firstStep`),
// then the lyrics wiki, AZLyrics, Metal Archives and MetroLyrics, then, for
// a title with " - " in it, AZLyrics and MetroLyrics once more with the
// title cut before it. The first answer with a line of one character or
// more is taken.
//
// The web steps run on one worker thread of this object's own, where the
// four fetchers and their memories live; the layout never waits for them
// (unless waiting is switched on, for headless runs that must be
// repeatable). A track asked about for the first time answers "not yet";
// its answer arrives later on the main thread. An answer for a track no
// longer asked about is dropped. The destructor aborts the requests and
// joins the worker. Main thread only.
//
// Timed lines ("syncedLyrics": 1 a ".lrc" beside a local track, 2 also the
// synced-lyrics service) are looked up beside the web steps, on a second
// worker of their own, so that a hanging site never holds them back. They
// ride along with whatever answer the steps give; when the steps found
// nothing, the service's untimed text is the answer.
class LyricsChain final : public LyricsSource
{
public:
    // How a web step's page is fetched on the worker thread. Empty: the
    // real bounded GET.
    using GetFactory = std::function<LyricFetcher::Get(const std::atomic<bool> *cancel)>;

    LyricsChain(DefaultsStore &defaults, LyricsSource *firstStep = nullptr, GetFactory get = {});
    ~LyricsChain() override;
    LyricsChain(const LyricsChain &) = delete;
    LyricsChain &operator=(const LyricsChain &) = delete;

    LyricsAnswer lyricsFor(const QString &title, const QString &artist, PlayerId player) override;
    LyricsAnswer lyricsForTrack(const LyricsTrack &track, PlayerId player) override;

    // The player's own step; may be null. Its arrivals count as ours.
    void setFirstStep(LyricsSource *firstStep);
    // On: lyricsFor() waits for the web steps (each bounded) instead of
    // answering "not yet".
    void setWaitForAnswers(bool wait) { m_wait = wait; }

    // Splits an answer at every newline character; none gives no lines.
    static LyricsAnswer linesOf(const std::optional<QString> &text);

private:
    struct Job
    {
        quint64 generation = 0;
        QString title;
        QString artist;
        LyricsBases bases;
        bool verbose = false;
    };
    void post(Job job);
    void deliver(quint64 generation, const LyricsAnswer &answer);
    void runWorker();
    LyricsAnswer runChain(const Job &job, LyricFetcher *fetchers[4]);

    // The timed lines of the track last asked about.
    struct SyncedJob
    {
        quint64 generation = 0;
        SyncedLyrics::Track track;
        SyncedLyrics::Settings settings;
    };
    void askSynced(const LyricsTrack &track);
    void deliverSynced(quint64 generation, const SyncedLyrics::Answer &answer);
    void runSyncedWorker();
    LyricsAnswer withSynced(LyricsAnswer answer) const;

    DefaultsStore &m_defaults;
    LyricsSource *m_firstStep = nullptr;
    GetFactory m_getFactory;
    bool m_wait = false;

    // Main thread: the track last asked about and what is known of it.
    QString m_title, m_artist;
    bool m_asked = false;
    bool m_pending = false;
    quint64 m_generation = 0;
    LyricsAnswer m_answer;

    // Shared with the worker.
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    quint64 m_doneGeneration = 0;
    LyricsAnswer m_doneAnswer;
    std::atomic<bool> m_stopping{false};

    QThread *m_thread = nullptr;

    // Main thread: the timed lines of the track last asked about.
    QString m_syncedKey;
    quint64 m_syncedGeneration = 0;
    bool m_syncedPending = false;
    SyncedLyrics::Answer m_synced;
    // Shared with the timed lines' worker.
    std::deque<SyncedJob> m_syncedJobs;
    quint64 m_syncedDoneGeneration = 0;
    SyncedLyrics::Answer m_syncedDone;
    QThread *m_syncedThread = nullptr;
    QObject m_receiver; // on the main thread; arrivals are queued to it
};
