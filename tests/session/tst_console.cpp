#include "session/ConsoleCapture.h"
#include "session/ConsoleLineBuffer.h"
#include "support/TimeFactor.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// A pipe the test owns, standing in for the terminal behind standard error.
struct Pipe
{
    int fds[2] = {-1, -1};
    Pipe() { QVERIFY(::pipe2(fds, O_CLOEXEC) == 0); }
    ~Pipe() { ::close(fds[0]), ::close(fds[1]); }
    int writeEnd() const { return fds[1]; }

    void write(const QByteArray &bytes) const
    {
        QVERIFY(::write(fds[1], bytes.constData(), size_t(bytes.size())) == bytes.size());
    }

    // What has arrived, waiting (bounded) until there are `expected` bytes.
    QByteArray drain(qsizetype expected) const
    {
        QByteArray out;
        char buffer[4096];
        pollfd fd = {fds[0], POLLIN, 0};
        while (out.size() < expected && ::poll(&fd, 1, 5000) > 0) {
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.append(buffer, n);
        }
        return out;
    }
};

QByteArray joined(const QSignalSpy &spy)
{
    QByteArray all;
    for (const QList<QVariant> &call : spy)
        all += call.at(0).toByteArray();
    return all;
}

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theLineBufferCutsLinesWhole_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("chunk"); // fed this many bytes at a time
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("pending");
        const int max = ConsoleLineBuffer::maxLineChars;

        QTest::newRow("line feeds, CR LF, blank") << QByteArray("first line\nsecond\r\nthird\n\n") << 3
                                                  << QStringList{"first line", "second", "third", ""} << "";
        QTest::newRow("unfinished line") << QByteArray("done\nhalf") << 100 << QStringList{"done"} << "half";
        QTest::newRow("byte by byte") << QStringLiteral("Beyoncé – Halo ♥\nnext\n").toUtf8() << 1
                                      << QStringList{QStringLiteral("Beyoncé – Halo ♥"), "next"} << "";
        // "é" is 2 bytes, "♪" 3 and "🎵" 4: chunks cut them everywhere.
        const QByteArray multi = QStringLiteral("é♪🎵 ok\n").toUtf8();
        for (int chunk = 1; chunk < multi.size(); ++chunk)
            QTest::addRow("characters in chunks of %d", chunk) << multi << chunk
                                                               << QStringList{QStringLiteral("é♪🎵 ok")} << "";
        QTest::newRow("invalid bytes") << QByteArray("bad \xff\xfe byte\nfine\n") << 100
                                       << QStringList{QStringLiteral("bad \uFFFD\uFFFD byte"), "fine"} << "";
        // The marker split over two chunks, with good lines around it.
        QTest::newRow("extractOptions lines are left out") << QByteArray("before\nsomething extractOptions: a=b\nafter\n")
                                                           << 20 << QStringList{"before", "after"} << "";
        QTest::newRow("runaway line") << QByteArray(max * 2 + 10, 'x') << 4096
                                      << QStringList{QString(max, u'x'), QString(max, u'x')} << QString(10, u'x');
        // The cut falls exactly between the halves of the emoji: it goes on.
        QTest::newRow("cut beside a surrogate pair")
            << QByteArray(max - 1, 'x') + QStringLiteral("🎵").toUtf8() + QByteArray(10, 'y') << 4096
            << QStringList{QString(max - 1, u'x')} << QStringLiteral("🎵") + QString(10, u'y');
    }

    void theLineBufferCutsLinesWhole()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, chunk);
        QFETCH(QString, pending);
        ConsoleLineBuffer buffer;
        QStringList lines;
        for (qsizetype at = 0; at < text.size(); at += chunk)
            lines += buffer.feed(text.mid(at, chunk));
        QTEST(lines, "lines");
        QCOMPARE(buffer.pendingLine(), pending);
        QCOMPARE(buffer.flush(), pending.isEmpty() ? QStringList() : QStringList{pending});
        QCOMPARE(buffer.flush(), QStringList());
        QVERIFY(ConsoleLineBuffer::isShown(QStringLiteral("extractOptions without colon")));
    }

    void capturedBytesReachTheConsoleAndTheOriginal()
    {
        Pipe terminal;
        ConsoleCapture capture;
        QSignalSpy chunks(&capture, &ConsoleCapture::bytesRead);
        QString error;
        QVERIFY2(capture.start(terminal.writeEnd(), &error), qPrintable(error));
        QVERIFY(capture.isCapturing());

        // The descriptor now leads into the capture. The terminal side is
        // read while writing, as a terminal would.
        QByteArray big, echoed;
        for (int i = 0; i < 3000; ++i)
            big += QByteArray::number(i) + " some log text\n";
        for (qsizetype offset = 0; offset < big.size(); offset += 1000) {
            terminal.write(big.mid(offset, 1000));
            echoed += terminal.drain(std::min<qsizetype>(1000, big.size() - offset));
        }
        QCOMPARE(echoed, big);
        QTRY_COMPARE_WITH_TIMEOUT(joined(chunks).size(), big.size(), TimeFactor::ms(10000));
        QCOMPARE(joined(chunks), big);

        // After stop (the reader has ended when it returns) the descriptor
        // writes to the original again, and what the reader handed over
        // before is all there is.
        capture.stop();
        QVERIFY(!capture.isCapturing());
        terminal.write("direct\n");
        QCOMPARE(terminal.drain(7), QByteArray("direct\n"));
        QCoreApplication::processEvents();
        QCOMPARE(joined(chunks), big);
    }

    void stopDoesNotWaitForAChildHoldingThePipeAndABadStartFailsCleanly()
    {
        Pipe terminal;
        ConsoleCapture capture;
        QVERIFY(capture.start(terminal.writeEnd()));
        // The child inherits the captured descriptor and keeps it open.
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QStringLiteral("sleep"), {QStringLiteral("20")});
        QVERIFY(child.waitForStarted(TimeFactor::ms(5000)));

        capture.stop();
        QVERIFY(!capture.isCapturing());
        QCOMPARE(child.state(), QProcess::Running);
        child.kill();
        child.waitForFinished(TimeFactor::ms(5000));

        // A bad descriptor fails cleanly, and stopping then is harmless.
        QString error;
        QVERIFY(!capture.start(987654, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!capture.isCapturing());
        capture.stop();
    }
};

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
