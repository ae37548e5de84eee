#include "platform/DefaultsStore.h"
#include "platform/Log.h"

#include <QTemporaryDir>

#include <QTest>

#include <fcntl.h>
#include <unistd.h>

class TestLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void plainHandlerWritesBareLines()
    {
        // Standard error goes to a pipe while the plain handler is in place.
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
        const int savedStderr = ::dup(STDERR_FILENO);
        QVERIFY(savedStderr >= 0 && ::dup2(fds[1], STDERR_FILENO) >= 0);
        const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
        Log::installPlainHandler();
        qCInfo(lcCore, "CL received NSWorkspaceScreensDidSleepNotification");
        qCWarning(lcPlayers).noquote() << QStringLiteral("Grüße aus dem Player");
        qInstallMessageHandler(testHandler);
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        ::close(fds[1]);

        QByteArray written(4096, '\0');
        const ssize_t n = ::read(fds[0], written.data(), size_t(written.size()));
        ::close(fds[0]);
        written.resize(qMax<ssize_t>(n, 0));
        QCOMPARE(written, QByteArray("CL received NSWorkspaceScreensDidSleepNotification\n"
                                     "Grüße aus dem Player\n"));
    }

    void verbosityGatesLinesWithTheStoresCoercion()
    {
        QTemporaryDir dir;
        DefaultsStore defaults(dir.path());
        int evaluated = 0;
        const auto line = [&] { return ++evaluated; };
        // value stored, level asked, whether the line is written
        const QList<std::tuple<QVariant, int, bool>> rows = {
            {QVariant(), 1, false}, {2, 3, false}, {3, 3, true}, {QStringLiteral("3"), 3, true},
            {true, 1, true}, {2.9, 3, false}, {-1, 0, false}};
        for (const auto &[stored, level, written] : rows) {
            defaults.setVolatile(QStringLiteral("verbosity"), stored);
            const int before = evaluated;
            logAt(defaults, level, lcCore, "gate %d", line());
            QCOMPARE(evaluated - before, written ? 1 : 0); // arguments only evaluated when written
        }
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
