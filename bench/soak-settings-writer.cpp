// The settings soak's writer (bench/soak-settings.sh): writes generation N of
// twenty keys through DefaultsStore, one set() each, in key order, so that a
// kill at any moment leaves keys 0..j at N and the rest as they were. Prints
// how long its first write took, lock wait included, before anything else.
//
//   soak_settings_writer DIR GENERATION

#include "platform/DefaultsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: soak_settings_writer DIR GENERATION\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const qint64 generation = QByteArray(argv[2]).toLongLong();
    DefaultsStore store(dir);
    // Padding makes each write long enough for kills to land inside it.
    const QString padding(2000, QLatin1Char('x'));
    QElapsedTimer timer;
    timer.start();
    for (int key = 0; key < 20; ++key) {
        const bool written = store.set(QStringLiteral("key%1").arg(key, 2, 10, QLatin1Char('0')),
                                       QStringLiteral("%1 %2").arg(generation).arg(padding));
        if (key == 0) {
            std::printf("first-write-ms %.3f\n", double(timer.nsecsElapsed()) / 1e6);
            std::fflush(stdout);
        }
        if (!written)
            return 1;
    }
    return 0;
}
