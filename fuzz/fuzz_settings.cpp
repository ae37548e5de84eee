// The settings file as it may be found on disk (edited by hand, cut short by
// a full disk, written by another version): read, every key read with each
// coercion, one key written through and the result read again.

#include "FuzzSupport.h"
#include "core/RegisteredDefaults.h"
#include "platform/DefaultsStore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // In memory where there is a tmpfs: each run writes the file twice.
    static const QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists()
                                          ? QStringLiteral("/dev/shm/coverlume-fuzz-XXXXXX")
                                          : QDir::tempPath() + QStringLiteral("/coverlume-fuzz-XXXXXX"));
    QDir dir(folder.path());
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
        dir.remove(name);
    const QByteArray bytes = FuzzSupport::bytes(data, size);
    {
        QFile file(dir.filePath(QStringLiteral("defaults.json")));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 0;
    }
    static const QVariantMap registered = registeredDefaults();
    QStringList keys = registered.keys();
    keys += QJsonDocument::fromJson(bytes).object().keys();

    DefaultsStore store(folder.path());
    store.registerDefaults(registered);
    for (const QString &key : std::as_const(keys)) {
        (void)store.boolValue(key);
        (void)store.integerValue(key);
        (void)store.intValue(key);
        (void)store.floatValue(key);
        (void)store.doubleValue(key);
        (void)store.stringValue(key);
        (void)store.arrayValue(key);
        (void)store.dictionaryValue(key);
    }
    FuzzSupport::require(store.set(QStringLiteral("fuzzWritten"), 7), "a readable folder takes a write");
    DefaultsStore again(folder.path());
    FuzzSupport::require(again.integerValue(QStringLiteral("fuzzWritten")) == 7, "a written key reads back");
    return 0;
}
