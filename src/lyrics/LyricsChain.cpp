#include "lyrics/LyricsChain.h"

#include "platform/Log.h"

#include <QNetworkAccessManager>
#include <QThread>
#include <optional>

namespace {

bool isNewline(char16_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool hasOwnLyrics(PlayerId player)
{
    return player == PlayerId::ITunes || player == PlayerId::Music;
}

} // namespace

LyricsChain::LyricsChain(DefaultsStore &defaults, LyricsSource *firstStep, GetFactory get)
    : m_defaults(defaults)
    , m_getFactory(std::move(get))
{
    setFirstStep(firstStep);
}

LyricsChain::~LyricsChain()
{
    if (m_firstStep)
        m_firstStep->setArrivalHandler({});
    if (!m_thread && !m_syncedThread)
        return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    // A request in flight sees the flag within a few tens of milliseconds.
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
    if (m_syncedThread) {
        m_syncedThread->wait();
        delete m_syncedThread;
    }
}

void LyricsChain::setFirstStep(LyricsSource *firstStep)
{
    if (m_firstStep)
        m_firstStep->setArrivalHandler({});
    m_firstStep = firstStep;
    if (m_firstStep)
        m_firstStep->setArrivalHandler([this] { answerArrived(); });
}

LyricsAnswer LyricsChain::linesOf(const std::optional<QString> &text)
{
    LyricsAnswer answer;
    if (!text)
        return answer;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text->size(); ++i) {
        if (i < text->size() && !isNewline(text->at(i).unicode()))
            continue;
        answer.lines.append(text->sliced(start, i - start));
        if (i > start)
            ++answer.nonEmptyLines;
        start = i + 1;
    }
    answer.state = answer.nonEmptyLines > 0 ? LyricsAnswer::State::Lines : LyricsAnswer::State::None;
    if (answer.state == LyricsAnswer::State::None)
        answer.lines.clear();
    return answer;
}

LyricsAnswer LyricsChain::lyricsForTrack(const LyricsTrack &track, PlayerId player)
{
    askSynced(track);
    LyricsAnswer answer = lyricsFor(track.title, track.artist, player);
    if (m_wait && m_syncedPending) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return m_syncedDoneGeneration >= m_syncedGeneration || m_stopping; });
        const SyncedLyrics::Answer done
            = m_syncedDoneGeneration == m_syncedGeneration ? m_syncedDone : SyncedLyrics::Answer{};
        lock.unlock();
        deliverSynced(m_syncedGeneration, done);
    }
    return withSynced(std::move(answer));
}

LyricsAnswer LyricsChain::withSynced(LyricsAnswer answer) const
{
    if (m_syncedPending)
        return answer;
    if (answer.state == LyricsAnswer::State::None && !m_synced.plain.isEmpty())
        answer = linesOf(m_synced.plain);
    if (!m_synced.instrumental) {
        answer.syncedLines = m_synced.synced.lines;
        answer.syncedTimesMs = m_synced.synced.timesMs;
    }
    return answer;
}

void LyricsChain::askSynced(const LyricsTrack &track)
{
    const SyncedLyrics::Settings settings = SyncedLyrics::Settings::fromSettings(m_defaults);
    const QString key = QStringList{QString::number(int(settings.mode)), settings.base, track.title, track.artist,
                                    track.album, QString::number(track.durationSeconds), track.location}
                            .join(QChar(0x1F));
    if (key == m_syncedKey)
        return;
    m_syncedKey = key;
    m_synced = {};
    m_syncedPending = false;
    ++m_syncedGeneration;
    if (settings.mode == SyncedLyrics::Mode::Off)
        return;
    SyncedJob job{m_syncedGeneration, {track.title, track.artist, track.album, track.durationSeconds, track.location},
                  settings};
    m_syncedPending = true;
    if (!m_syncedThread) {
        m_syncedThread = QThread::create([this] { runSyncedWorker(); });
        m_syncedThread->setObjectName(QStringLiteral("synced lyrics"));
        m_syncedThread->start();
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_syncedJobs.clear();
        m_syncedJobs.push_back(std::move(job));
    }
    m_changed.notify_all();
}

void LyricsChain::deliverSynced(quint64 generation, const SyncedLyrics::Answer &answer)
{
    if (generation != m_syncedGeneration || !m_syncedPending)
        return;
    m_syncedPending = false;
    m_synced = answer;
    if (!m_wait && (!answer.synced.isEmpty() || !answer.plain.isEmpty()))
        answerArrived();
}

void LyricsChain::runSyncedWorker()
{
    QNetworkAccessManager manager;
    SyncedLyrics::Service service(SyncedLyrics::webGet(&manager, &m_stopping),
                                  [](const QString &line) { qCWarning(lcLyrics, "%s", qUtf8Printable(line)); });
    for (;;) {
        SyncedJob job;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_changed.wait(lock, [this] { return m_stopping || !m_syncedJobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_syncedJobs.front());
            m_syncedJobs.pop_front();
        }
        SyncedLyrics::Answer answer;
        QString why;
        if (std::optional<SyncedLines> local = SyncedLyrics::localFile(job.track.location, &why))
            answer.synced = std::move(*local);
        else if (!why.isEmpty())
            qCWarning(lcLyrics, "%s", qUtf8Printable(why));
        if (answer.synced.isEmpty() && job.settings.mode == SyncedLyrics::Mode::LocalAndService)
            answer = service.lookup(job.settings.base, job.track);
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_stopping)
                return;
            m_syncedDoneGeneration = job.generation;
            m_syncedDone = answer;
        }
        m_changed.notify_all();
        QMetaObject::invokeMethod(
            &m_receiver, [this, generation = job.generation, answer] { deliverSynced(generation, answer); },
            Qt::QueuedConnection);
    }
}

LyricsAnswer LyricsChain::lyricsFor(const QString &title, const QString &artist, PlayerId player)
{
    if (hasOwnLyrics(player) && m_firstStep) {
        LyricsAnswer own = m_firstStep->lyricsFor(title, artist, player);
        if (own.state == LyricsAnswer::State::Lines && own.nonEmptyLines > 0)
            return own;
    }
    // No web step asks anything for an empty song or artist.
    if (title.isEmpty() || artist.isEmpty())
        return LyricsAnswer::none();

    const bool same = m_asked && title == m_title && artist == m_artist;
    if (same && (m_pending || m_answer.state == LyricsAnswer::State::Lines))
        return m_answer;
    if (!same) {
        m_title = title;
        m_artist = artist;
        m_asked = true;
        m_answer = LyricsAnswer::notYet();
    }
    // A new track, or one that found nothing: after a failure every layout
    // asks the web again, showing the failure meanwhile.
    Job job;
    job.generation = ++m_generation;
    job.title = title;
    job.artist = artist;
    job.bases = LyricsBases::fromSettings(m_defaults);
    job.verbose = Log::atLeast(m_defaults, 1);
    m_pending = true;
    post(std::move(job));

    if (m_wait) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return m_doneGeneration >= m_generation || m_stopping; });
        const LyricsAnswer done = m_doneGeneration == m_generation ? m_doneAnswer : LyricsAnswer::none();
        lock.unlock();
        deliver(m_generation, done);
    }
    return m_answer;
}

void LyricsChain::post(Job job)
{
    if (!m_thread) {
        m_thread = QThread::create([this] { runWorker(); });
        m_thread->setObjectName(QStringLiteral("lyrics"));
        m_thread->start();
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // Only the track last asked about matters.
        m_jobs.clear();
        m_jobs.push_back(std::move(job));
    }
    m_changed.notify_all();
}

void LyricsChain::deliver(quint64 generation, const LyricsAnswer &answer)
{
    if (generation != m_generation || !m_pending)
        return;
    m_pending = false;
    const bool changed = answer.state != m_answer.state || answer.lines != m_answer.lines;
    m_answer = answer;
    if (changed && !m_wait)
        answerArrived();
}

void LyricsChain::runWorker()
{
    QNetworkAccessManager manager;
    const LyricFetcher::Get get
        = m_getFactory ? m_getFactory(&m_stopping) : LyricFetcher::webGet(&manager, &m_stopping);
    bool verbose = false;
    const LyricFetcher::Log log = [&verbose](const QString &line) {
        if (verbose)
            qCInfo(lcLyrics, "%s", qUtf8Printable(line));
    };
    LyricFetcher wlf(LyricFetcher::Site::LyricsWiki, get, log);
    LyricFetcher azlf(LyricFetcher::Site::AZLyrics, get, log);
    LyricFetcher malf(LyricFetcher::Site::MetalArchives, get, log);
    LyricFetcher mllf(LyricFetcher::Site::MetroLyrics, get, log);
    LyricFetcher *fetchers[4] = {&wlf, &azlf, &malf, &mllf};

    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        verbose = job.verbose;
        const LyricsAnswer answer = runChain(job, fetchers);
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_stopping)
                return;
            m_doneGeneration = job.generation;
            m_doneAnswer = answer;
        }
        m_changed.notify_all();
        QMetaObject::invokeMethod(
            &m_receiver, [this, generation = job.generation, answer] { deliver(generation, answer); },
            Qt::QueuedConnection);
    }
}

LyricsAnswer LyricsChain::runChain(const Job &job, LyricFetcher *fetchers[4])
{
    // A newer track asked about makes this one's answer useless.
    const auto superseded = [this] {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_stopping || !m_jobs.empty();
    };
    for (int i = 0; i < 4; ++i) {
        if (superseded())
            return LyricsAnswer::none();
        LyricsAnswer answer = linesOf(fetchers[i]->getLyricsForSong(job.title, job.artist, job.bases));
        if (answer.state == LyricsAnswer::State::Lines)
            return answer;
    }
    // A title followed by " - " and a version note: the song name alone.
    const qsizetype dash = job.title.indexOf(QStringLiteral(" - "));
    if (dash < 0)
        return LyricsAnswer::none();
    const QString song = job.title.first(dash);
    for (LyricFetcher *fetcher : {fetchers[1], fetchers[3]}) {
        if (superseded())
            return LyricsAnswer::none();
        LyricsAnswer answer = linesOf(fetcher->getLyricsForSong(song, job.artist, job.bases));
        if (answer.state == LyricsAnswer::State::Lines)
            return answer;
    }
    return LyricsAnswer::none();
}
