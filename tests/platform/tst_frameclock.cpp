#include "platform/FrameClock.h"

#include <QTest>

class TestFrameClock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scriptedClockAdvancesWithFrames();
};

void TestFrameClock::scriptedClockAdvancesWithFrames()
{
    const QDateTime start(QDate(2024, 3, 9), QTime(23, 59, 59, 980));
    FrameClock clock(start);
    QVERIFY(clock.isScripted());
    QCOMPARE(clock.frame(), 0);
    QCOMPARE(clock.now(), start);
    clock.beginFrame();
    QCOMPARE(clock.frame(), 1);
    QCOMPARE(clock.now(), QDateTime(QDate(2024, 3, 10), QTime(0, 0, 0, 30)));
    for (int i = 1; i < 1200; ++i)
        clock.beginFrame();
    QCOMPARE(clock.now(), start.addSecs(60));
}

QTEST_GUILESS_MAIN(TestFrameClock)
#include "tst_frameclock.moc"
