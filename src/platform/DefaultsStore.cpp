#include "platform/DefaultsStore.h"

#include "platform/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QDeadlineTimer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString fileName = QStringLiteral("defaults.json");
constexpr qint64 maxFileBytes = 16 * 1024 * 1024;
constexpr int lockWaitMs = 2000;
constexpr int updateLockWaitMs = 10000;
constexpr int maxKeepAsideAttempts = 1000;

// The writers' lock: an advisory lock on "defaults.json.lock" that the kernel
// lets go of when its holder exits, killed or not, so a writer that dies
// mid-write holds nobody up. The file itself stays; only the lock counts.
class WriterLock
{
public:
    explicit WriterLock(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600))
    {
    }
    ~WriterLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing lets go of the lock
    }
    WriterLock(const WriterLock &) = delete;
    WriterLock &operator=(const WriterLock &) = delete;

    // Waits at most waitMs for the other writers.
    bool take(int waitMs)
    {
        if (m_fd < 0)
            return false;
        const QDeadlineTimer deadline(waitMs);
        for (;;) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
                return true;
            if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired())
                return false;
            QThread::msleep(2);
        }
    }

private:
    int m_fd;
};

bool isNullValue(const QVariant &value)
{
    return !value.isValid() || value.metaType().id() == QMetaType::Nullptr;
}

} // namespace

DefaultsStore::DefaultsStore(const QString &directory)
    : m_directory(directory.isEmpty() ? standardDirectory() : directory)
{
    m_persistent = readFile().values;
}

QString DefaultsStore::standardDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/coverlume");
}

QString DefaultsStore::filePath() const
{
    return QDir(m_directory).filePath(fileName);
}

void DefaultsStore::registerDefaults(const QVariantMap &defaults)
{
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
        if (!isNullValue(it.value()))
            m_registered.insert(it.key(), it.value());
    }
    notifyChanged();
}

void DefaultsStore::setVolatile(const QString &key, const QVariant &value)
{
    if (isNullValue(value))
        m_volatile.remove(key);
    else
        m_volatile.insert(key, value);
    notifyChanged();
}

const QVariant *DefaultsStore::find(const QString &key) const
{
    for (const QVariantMap *layer : {&m_volatile, &m_persistent, &m_registered}) {
        const auto it = layer->constFind(key);
        if (it != layer->cend() && !isNullValue(*it))
            return &*it;
    }
    return nullptr;
}

bool DefaultsStore::contains(const QString &key) const
{
    return find(key) != nullptr;
}

QVariant DefaultsStore::object(const QString &key) const
{
    const QVariant *value = find(key);
    return value ? *value : QVariant();
}

bool DefaultsStore::boolValue(const QString &key) const
{
    return toBool(object(key));
}

qint64 DefaultsStore::integerValue(const QString &key) const
{
    return toInteger(object(key));
}

int DefaultsStore::intValue(const QString &key) const
{
    // Modular in both directions, as a C cast to a 32-bit int would be.
    return qint32(quint32(quint64(integerValue(key))));
}

float DefaultsStore::floatValue(const QString &key) const
{
    return toFloat(object(key));
}

double DefaultsStore::doubleValue(const QString &key) const
{
    return toDouble(object(key));
}

QVariantList DefaultsStore::arrayValue(const QString &key) const
{
    const QVariant value = object(key);
    const int type = value.metaType().id();
    if (type == QMetaType::QVariantList || type == QMetaType::QStringList)
        return value.toList();
    return QVariantList();
}

QVariantMap DefaultsStore::dictionaryValue(const QString &key) const
{
    const QVariant value = object(key);
    const int type = value.metaType().id();
    if (type == QMetaType::QVariantMap || type == QMetaType::QVariantHash)
        return value.toMap();
    return QVariantMap();
}

bool DefaultsStore::set(const QString &key, const QVariant &value)
{
    if (isNullValue(value))
        return remove(key);
    m_pendingRemovals.remove(key);
    m_pendingSets.insert(key, value);
    m_persistent.insert(key, value);
    const bool written = write();
    notifyChanged();
    return written;
}

bool DefaultsStore::remove(const QString &key)
{
    m_pendingSets.remove(key);
    m_pendingRemovals.insert(key);
    m_persistent.remove(key);
    const bool written = write();
    notifyChanged();
    return written;
}

bool DefaultsStore::synchronize()
{
    const QVariantMap before = m_persistent;
    bool done = false;
    if (!m_pendingSets.isEmpty() || !m_pendingRemovals.isEmpty()) {
        done = write();
    } else {
        FileContents current = readFile();
        if (current.readable) {
            m_persistent = current.values;
            done = true;
        }
    }
    if (m_persistent != before)
        notifyChanged();
    return done;
}

bool DefaultsStore::update(const QString &key, const std::function<QVariant(const QVariant &)> &change)
{
    if (!QDir().mkpath(m_directory)) {
        reportOnce(QStringLiteral("settings directory %1 cannot be created; %2 is not changed").arg(m_directory, key));
        return false;
    }
    // Unlike a plain write, never without the lock: the change is made to
    // what the file holds, and another writer must not slip in between.
    // Its turn may come after many other writers': it waits longer.
    WriterLock lock(filePath() + QStringLiteral(".lock"));
    if (!lock.take(updateLockWaitMs)) {
        qCWarning(lcPlatform).noquote()
            << QStringLiteral("settings file %1 is locked by another writer; %2 is not changed").arg(filePath(), key);
        return false;
    }
    FileContents current = readFile();
    if (!current.readable)
        return false;
    applyPending(current.values);
    const QVariant next = change(current.values.value(key));
    if (isNullValue(next))
        current.values.remove(key);
    else
        current.values.insert(key, next);
    if (!commit(current.values))
        return false;
    const QVariantMap before = m_persistent;
    m_persistent = current.values;
    m_pendingSets.clear();
    m_pendingRemovals.clear();
    m_lastProblem.clear();
    if (m_persistent != before)
        notifyChanged();
    return true;
}

int DefaultsStore::addChangeListener(std::function<void()> listener)
{
    const int id = m_nextListener++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void DefaultsStore::removeChangeListener(int id)
{
    std::erase_if(m_listeners, [id](const auto &entry) { return entry.first == id; });
}

void DefaultsStore::notifyChanged()
{
    // A copy: a listener may add or remove listeners.
    const auto listeners = m_listeners;
    for (const auto &entry : listeners) {
        if (entry.second)
            entry.second();
    }
}

void DefaultsStore::setBeforeCommitHookForTesting(std::function<bool()> hook)
{
    m_beforeCommit = std::move(hook);
}

DefaultsStore::FileContents DefaultsStore::readFile()
{
    QFile file(filePath());
    if (!file.exists())
        return {};
    // Only a regular file is opened: a pipe or device there would block or
    // never end.
    if (!QFileInfo(file).isFile()) {
        reportOnce(QStringLiteral("settings file %1 is not a regular file; changes are kept in memory")
                       .arg(file.fileName()));
        return {false, {}};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        reportOnce(QStringLiteral("settings file %1 cannot be read (%2); changes are kept in memory")
                       .arg(file.fileName(), file.errorString()));
        return {false, {}};
    }
    // A file over the cap is not settings this program wrote; read one byte
    // past it to notice a file that grows while being read.
    const QByteArray bytes = file.size() > maxFileBytes ? QByteArray() : file.read(maxFileBytes + 1);
    if (file.size() > maxFileBytes || bytes.size() > maxFileBytes) {
        file.close();
        const bool kept = keepAside(QStringLiteral("is over 16 MiB"));
        return {kept, {}};
    }
    if (file.error() != QFileDevice::NoError) {
        reportOnce(QStringLiteral("settings file %1 cannot be read (%2); changes are kept in memory")
                       .arg(file.fileName(), file.errorString()));
        return {false, {}};
    }
    file.close();
    // An empty file holds nothing to keep: treat it as no settings yet.
    if (bytes.trimmed().isEmpty())
        return {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    QString problem;
    if (error.error != QJsonParseError::NoError)
        problem = QStringLiteral("is not valid JSON (%1 at offset %2)").arg(error.errorString()).arg(error.offset);
    else if (!document.isObject())
        problem = QStringLiteral("does not hold a JSON object");
    if (!problem.isEmpty()) {
        const bool kept = keepAside(problem);
        return {kept, {}};
    }
    return {true, document.object().toVariantMap()};
}

bool DefaultsStore::keepAside(const QString &reason)
{
    const QString path = filePath();
    const QString stem = path + QStringLiteral(".corrupt-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QFile file(path);
    // rename() never replaces an existing file, so a taken name moves on to
    // the next counter instead of losing an earlier kept file.
    for (int attempt = 1; attempt <= maxKeepAsideAttempts; ++attempt) {
        const QString target = attempt == 1 ? stem : stem + QLatin1Char('-') + QString::number(attempt);
        if (QFile::exists(target))
            continue;
        if (file.rename(target)) {
            qCWarning(lcPlatform).noquote()
                << QStringLiteral("settings file %1 %2; kept aside as %3, using the registered defaults")
                       .arg(path, reason, target);
            return true;
        }
        if (!QFile::exists(path))
            return true; // another process moved it first
        if (!QFile::exists(target))
            break; // not a name clash: the directory refuses
    }
    reportOnce(QStringLiteral("settings file %1 %2 and cannot be kept aside (%3); it is left alone and changes are kept in memory")
                   .arg(path, reason, file.errorString()));
    return false;
}

void DefaultsStore::applyPending(QVariantMap &values) const
{
    for (const QString &key : m_pendingRemovals)
        values.remove(key);
    for (auto it = m_pendingSets.cbegin(); it != m_pendingSets.cend(); ++it)
        values.insert(it.key(), it.value());
}

bool DefaultsStore::write()
{
    if (!QDir().mkpath(m_directory)) {
        reportOnce(QStringLiteral("settings directory %1 cannot be created; changes are kept in memory")
                       .arg(m_directory));
        return false;
    }
    // Re-reading and writing under the lock keeps another process's change
    // that lands between our read and our rename.
    WriterLock lock(filePath() + QStringLiteral(".lock"));
    if (!lock.take(lockWaitMs))
        qCWarning(lcPlatform).noquote()
            << QStringLiteral("settings file %1 is locked by another writer; writing without the lock")
                   .arg(filePath());
    FileContents current = readFile();
    if (!current.readable)
        return false;
    applyPending(current.values);
    m_persistent = current.values;
    if (!commit(current.values))
        return false;
    m_pendingSets.clear();
    m_pendingRemovals.clear();
    m_lastProblem.clear();
    return true;
}

bool DefaultsStore::commit(const QVariantMap &values)
{
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly)) {
        reportOnce(QStringLiteral("settings file %1 cannot be written (%2); changes are kept in memory")
                       .arg(file.fileName(), file.errorString()));
        return false;
    }
    const QByteArray json = QJsonDocument(QJsonObject::fromVariantMap(values)).toJson(QJsonDocument::Indented);
    if (file.write(json) != json.size()) {
        reportOnce(QStringLiteral("settings file %1 cannot be written (%2); changes are kept in memory")
                       .arg(file.fileName(), file.errorString()));
        file.cancelWriting();
        return false;
    }
    if (m_beforeCommit && !m_beforeCommit()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        reportOnce(QStringLiteral("settings file %1 cannot be replaced (%2); changes are kept in memory")
                       .arg(file.fileName(), file.errorString()));
        return false;
    }
    return true;
}

void DefaultsStore::reportOnce(const QString &problem)
{
    if (problem == m_lastProblem)
        return;
    m_lastProblem = problem;
    qCWarning(lcPlatform).noquote() << problem;
}
