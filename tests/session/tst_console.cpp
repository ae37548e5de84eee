#include "session/ConsoleCapture.h"
#include "session/ConsoleLineBuffer.h"

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
    int read = -1;
    int write = -1;
    Pipe()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    ~Pipe()
    {
        if (read >= 0)
            ::close(read);
        if (write >= 0)
            ::close(write);
    }
    // What has arrived so far, waiting up to a few seconds for `expected` bytes.
    QByteArray drain(qsizetype expected) const
    {
        QByteArray out;
        char buffer[4096];
        while (out.size() < expected) {
            pollfd fd = {read, POLLIN, 0};
            if (::poll(&fd, 1, 5000) <= 0)
                break;
            const ssize_t n = ::read(read, buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.append(buffer, n);
        }
        return out;
    }
};

void writeAll(int fd, const QByteArray &bytes)
{
    QVERIFY(::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size());
}

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
    // ConsoleLineBuffer

    void linesComeOutWhenTheirLineFeedArrives()
    {
        ConsoleLineBuffer buffer;
        QCOMPARE(buffer.feed("first li"), QStringList());
        QCOMPARE(buffer.pendingLine(), QStringLiteral("first li"));
        QCOMPARE(buffer.feed("ne\nsecond\r\nthi"),
                 (QStringList{QStringLiteral("first line"), QStringLiteral("second")}));
        QCOMPARE(buffer.feed("rd\n\n"), (QStringList{QStringLiteral("third"), QString()}));
        QCOMPARE(buffer.pendingLine(), QString());
    }

    void anUnfinishedLineIsGivenOutOnFlush()
    {
        ConsoleLineBuffer buffer;
        buffer.feed("done\nhalf");
        QCOMPARE(buffer.flush(), QStringList{QStringLiteral("half")});
        QCOMPARE(buffer.flush(), QStringList());
    }

    void aCharacterSplitAcrossChunksComesOutWhole_data()
    {
        QTest::addColumn<int>("cut");
        // "é" is 2 bytes, "♪" 3 and "🎵" 4: cut the text after every byte.
        const QByteArray text = QStringLiteral("é♪🎵 ok\n").toUtf8();
        for (int cut = 1; cut < text.size(); ++cut)
            QTest::addRow("cut after byte %d", cut) << cut;
    }

    void aCharacterSplitAcrossChunksComesOutWhole()
    {
        QFETCH(int, cut);
        const QByteArray text = QStringLiteral("é♪🎵 ok\n").toUtf8();
        ConsoleLineBuffer buffer;
        QStringList lines = buffer.feed(text.left(cut));
        lines += buffer.feed(text.mid(cut));
        QCOMPARE(lines, QStringList{QStringLiteral("é♪🎵 ok")});
    }

    void byteByByteFeedingLosesNothing()
    {
        const QByteArray text = QStringLiteral("Beyoncé – Halo ♥\nnext\n").toUtf8();
        ConsoleLineBuffer buffer;
        QStringList lines;
        for (char byte : text)
            lines += buffer.feed(QByteArray(1, byte));
        QCOMPARE(lines, (QStringList{QStringLiteral("Beyoncé – Halo ♥"), QStringLiteral("next")}));
    }

    void invalidBytesDoNotSwallowTheirLine()
    {
        ConsoleLineBuffer buffer;
        const QStringList lines = buffer.feed(QByteArray("bad \xff\xfe byte\nfine\n"));
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith(QStringLiteral("bad ")));
        QVERIFY(lines.at(0).endsWith(QStringLiteral(" byte")));
        QVERIFY(lines.at(0).contains(QChar(QChar::ReplacementCharacter)));
        QCOMPARE(lines.at(1), QStringLiteral("fine"));
    }

    void extractOptionsLinesNeverReachTheConsole()
    {
        ConsoleLineBuffer buffer;
        // The marker arrives split over two chunks, with good lines around it.
        QStringList lines = buffer.feed("before\nsomething extractOp");
        lines += buffer.feed("tions: a=b\nafter\n");
        QCOMPARE(lines, (QStringList{QStringLiteral("before"), QStringLiteral("after")}));
        QVERIFY(!ConsoleLineBuffer::isShown(QStringLiteral("x extractOptions: y")));
        QVERIFY(ConsoleLineBuffer::isShown(QStringLiteral("extractOptions without colon")));
    }

    void aRunawayLineIsCutIntoPieces()
    {
        ConsoleLineBuffer buffer;
        const QByteArray longLine(ConsoleLineBuffer::maxLineChars * 2 + 10, 'x');
        const QStringList lines = buffer.feed(longLine);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0).size(), ConsoleLineBuffer::maxLineChars);
        QCOMPARE(buffer.pendingLine().size(), 10);
    }

    void aPieceCutNeverSplitsASurrogatePair()
    {
        ConsoleLineBuffer buffer;
        // The cut falls exactly between the halves of the emoji.
        QByteArray text(ConsoleLineBuffer::maxLineChars - 1, 'x');
        text += QStringLiteral("🎵").toUtf8() + QByteArray(10, 'y');
        const QStringList lines = buffer.feed(text);
        QCOMPARE(lines.size(), 1);
        QVERIFY(!lines.at(0).back().isHighSurrogate());
        QVERIFY(buffer.pendingLine().startsWith(QStringLiteral("🎵")));
    }

    // ConsoleCapture

    void capturedBytesReachTheConsoleAndTheOriginal()
    {
        Pipe terminal;
        QVERIFY(terminal.write >= 0);
        ConsoleCapture capture;
        QSignalSpy chunks(&capture, &ConsoleCapture::bytesRead);
        QString error;
        QVERIFY2(capture.start(terminal.write, &error), qPrintable(error));
        QVERIFY(capture.isCapturing());

        const QByteArray line = "Coverlume says hello\n";
        writeAll(terminal.write, line); // now the pipe's write end
        QTRY_COMPARE(joined(chunks), line);
        QCOMPARE(terminal.drain(line.size()), line);
        capture.stop();
        QVERIFY(!capture.isCapturing());

        // After stop the descriptor writes to the original again.
        const int before = chunks.count();
        writeAll(terminal.write, "direct\n");
        QCOMPARE(terminal.drain(7), QByteArray("direct\n"));
        QTest::qWait(50);
        QCOMPARE(chunks.count(), before);
    }

    void largeOutputArrivesWholeOnBothSides()
    {
        Pipe terminal;
        ConsoleCapture capture;
        QSignalSpy chunks(&capture, &ConsoleCapture::bytesRead);
        QVERIFY(capture.start(terminal.write));

        QByteArray big;
        for (int i = 0; i < 3000; ++i)
            big += QByteArray::number(i) + " some log text\n";
        // The terminal side is read while writing, as a terminal would.
        QByteArray echoed;
        for (qsizetype offset = 0; offset < big.size(); offset += 1000) {
            writeAll(terminal.write, big.mid(offset, 1000));
            echoed += terminal.drain(std::min<qsizetype>(1000, big.size() - offset));
        }
        QTRY_COMPARE_WITH_TIMEOUT(joined(chunks).size(), big.size(), 10000);
        QCOMPARE(joined(chunks), big);
        QCOMPARE(echoed, big);
    }

    void stopDoesNotWaitForAChildHoldingThePipe()
    {
        Pipe terminal;
        ConsoleCapture capture;
        QVERIFY(capture.start(terminal.write));
        // The child inherits the captured descriptor and keeps it open.
        QProcess child;
        child.setProgram(QStringLiteral("sleep"));
        child.setArguments({QStringLiteral("20")});
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start();
        QVERIFY(child.waitForStarted(5000));

        capture.stop();
        QVERIFY(!capture.isCapturing());
        QCOMPARE(child.state(), QProcess::Running);
        child.kill();
        child.waitForFinished(5000);
    }

    void startFailsCleanlyOnABadDescriptor()
    {
        ConsoleCapture capture;
        QString error;
        QVERIFY(!capture.start(987654, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!capture.isCapturing());
        capture.stop(); // harmless
    }
};

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
