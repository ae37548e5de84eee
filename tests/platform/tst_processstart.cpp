#include "platform/ProcessStart.h"

#include <QTest>

class TestProcessStart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theStartFieldComesAfterTheCommand_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<qint64>("ticks"); // -1: none
        const QByteArray rest = " S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 987654 20 21\n";
        QTest::newRow("plain") << QByteArray("42 (coverlume)") + rest << qint64(987654);
        // A command may hold spaces and parentheses of its own.
        QTest::newRow("awkward command") << QByteArray("42 (a) b (c) 1 2)") + rest << qint64(987654);
        QTest::newRow("cut short") << QByteArray("42 (coverlume) S 1 2 3") << qint64(-1);
        QTest::newRow("no command") << QByteArray("42 coverlume S") << qint64(-1);
        QTest::newRow("not a number") << QByteArray("42 (x) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 soon")
                                      << qint64(-1);
    }

    void theStartFieldComesAfterTheCommand()
    {
        QFETCH(QByteArray, line);
        QFETCH(qint64, ticks);
        QCOMPARE(processStartTicks(line).value_or(-1), ticks);
    }

    void thisProcessStartedAMomentAgo()
    {
        const std::optional<double> ms = msSinceProcessStart();
        QVERIFY(ms);
        QVERIFY2(*ms >= -10 && *ms < 600'000, qPrintable(QString::number(*ms)));
    }
};

QTEST_GUILESS_MAIN(TestProcessStart)
#include "tst_processstart.moc"
