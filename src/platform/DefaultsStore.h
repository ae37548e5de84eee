#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <QSet>
#include <functional>
#include <utility>
#include <vector>

// The user's settings: three layers read from the top down.
//
//   volatile    values given on the command line (--verbosity …); never written
//   persistent  the user's own values, kept in one JSON file
//   registered  the built-in defaults registered at launch; never written
//
// Values are plain QVariants (bool, integer, double, string, list, map). They
// are always read with coercion, because the display stores integers under
// keys registered as booleans and reads booleans as numbers: a number reads
// as a boolean when non-zero, a boolean as 1 or 0, a float as an integer by
// truncation toward zero, a string by its leading number ("YES"/"true" are
// true). An absent key reads as 0, NO, an empty string, list or map, and so
// does a list or map read as a number or a boolean. A JSON null in the file
// counts as absent, so the layer below shows through. Numbers too large for
// the type asked for saturate; NaN reads as 0.
//
// Every set() or remove() is written through at once: the file is re-read,
// this process's changes are applied over it and the result is written
// atomically, so two processes writing the same file keep each other's keys.
// A file that does not parse, or whose top level is not an object, is moved
// aside under a new name (nothing the user had is deleted), the move is
// logged in one line and the registered defaults carry on. So does a file
// over 16 MiB. A file that exists but cannot be read is never overwritten:
// changes are then kept in memory only (and logged). Writers of the same
// file take turns through a lock file next to it, waiting at most 2 seconds.
//
// Main thread only.
class DefaultsStore
{
public:
    // directory: where "defaults.json" lives; empty means the XDG config
    // directory's "coverlume" folder.
    explicit DefaultsStore(const QString &directory = QString());

    static QString standardDirectory();
    QString filePath() const;

    void registerDefaults(const QVariantMap &defaults);
    // Command-line values; an invalid value removes the key from this layer.
    void setVolatile(const QString &key, const QVariant &value);

    bool contains(const QString &key) const;
    QVariant object(const QString &key) const; // invalid when absent

    bool boolValue(const QString &key) const;
    qint64 integerValue(const QString &key) const;
    int intValue(const QString &key) const; // integerValue kept to its low 32 bits
    float floatValue(const QString &key) const;
    double doubleValue(const QString &key) const;
    QString stringValue(const QString &key) const;
    QVariantList arrayValue(const QString &key) const;
    QVariantMap dictionaryValue(const QString &key) const;

    // Writes through to the file; false when the write failed (the value is
    // still held in memory and written with the next successful write).
    // Setting an invalid value removes the key.
    bool set(const QString &key, const QVariant &value);
    bool remove(const QString &key);
    // Re-reads the file and writes the pending changes, if any.
    bool synchronize();
    // Read, change, write as one step under the writer lock, for a list or
    // dictionary that other processes change too: change() gets the key's
    // value in the file as it is now (invalid when absent) and returns the
    // new one (invalid removes the key). False, with nothing changed, when
    // the lock cannot be had within 10 seconds or the file cannot be read or written.
    bool update(const QString &key, const std::function<QVariant(const QVariant &)> &change);

    // The coercions the getters use, for values taken out of dictionaries.
    static bool toBool(const QVariant &value);
    static qint64 toInteger(const QVariant &value);
    static double toDouble(const QVariant &value);
    // toDouble narrowed without undefined behaviour: beyond float's range
    // reads as an infinity of the same sign, NaN stays NaN.
    static float toFloat(const QVariant &value);

    // Listeners hear of every change to what the getters read: set(),
    // remove(), setVolatile(), registerDefaults(), and a re-read of the file
    // that found other values than before (another process wrote it). They
    // are called after the change, on the main thread; a listener may read
    // and write the store. Returns an id for removeChangeListener().
    int addChangeListener(std::function<void()> listener);
    void removeChangeListener(int id);

    // Test hook: called after the new file is written and before it replaces
    // the old one; returning false abandons the write there.
    void setBeforeCommitHookForTesting(std::function<bool()> hook);

private:
    // What the file holds; a missing or kept-aside file reads as empty.
    // Unreadable means it is there but must not be overwritten.
    struct FileContents
    {
        bool readable = true;
        QVariantMap values;
    };

    const QVariant *find(const QString &key) const;
    FileContents readFile();
    bool keepAside(const QString &reason);
    void applyPending(QVariantMap &values) const;
    bool write();
    bool commit(const QVariantMap &values);
    void reportOnce(const QString &problem);
    void notifyChanged();

    QString m_directory;
    QVariantMap m_registered;
    QVariantMap m_persistent; // the file as last read, with the pending changes over it
    QVariantMap m_volatile;
    QVariantMap m_pendingSets;
    QSet<QString> m_pendingRemovals;
    QString m_lastProblem;
    std::function<bool()> m_beforeCommit;
    std::vector<std::pair<int, std::function<void()>>> m_listeners;
    int m_nextListener = 1;
};
