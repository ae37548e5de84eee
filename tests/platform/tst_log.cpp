#include "platform/Log.h"

#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Points standard error at a pipe while it lives.
class StderrPipe
{
public:
    StderrPipe()
    {
        m_ok = ::pipe(m_fds) == 0;
        m_saved = ::dup(STDERR_FILENO);
        m_ok = m_ok && m_saved >= 0 && ::dup2(m_fds[1], STDERR_FILENO) >= 0;
        ::fcntl(m_fds[0], F_SETFL, O_NONBLOCK);
    }
    ~StderrPipe()
    {
        restore();
        ::close(m_fds[0]);
    }
    bool ok() const { return m_ok; }
    QByteArray take()
    {
        restore();
        QByteArray all;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_fds[0], buffer, sizeof buffer)) > 0)
            all.append(buffer, n);
        return all;
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        ::close(m_fds[1]);
        m_saved = -1;
    }
    int m_fds[2] = {-1, -1};
    int m_saved = -1;
    bool m_ok = false;
};

} // namespace

class TestLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void categoriesAreNamedPerSubsystem();
    void plainHandlerWritesBareLines();
};

void TestLog::categoriesAreNamedPerSubsystem()
{
    QCOMPARE(QByteArray(lcPlatform().categoryName()), QByteArray("coverlume.platform"));
    QCOMPARE(QByteArray(lcPlayers().categoryName()), QByteArray("coverlume.players"));
    QCOMPARE(QByteArray(lcCore().categoryName()), QByteArray("coverlume.core"));
    QCOMPARE(QByteArray(lcApp().categoryName()), QByteArray("coverlume.app"));
    QVERIFY(lcCore().isInfoEnabled());
}

void TestLog::plainHandlerWritesBareLines()
{
    const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
    QByteArray written;
    {
        StderrPipe pipe;
        QVERIFY(pipe.ok());
        Log::installPlainHandler();
        qCInfo(lcCore, "CL received NSWorkspaceScreensDidSleepNotification");
        qCWarning(lcPlayers).noquote() << QStringLiteral("Grüße aus dem Player");
        written = pipe.take();
    }
    qInstallMessageHandler(testHandler);
    QCOMPARE(written, QByteArray("CL received NSWorkspaceScreensDidSleepNotification\n"
                                 "Grüße aus dem Player\n"));
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
