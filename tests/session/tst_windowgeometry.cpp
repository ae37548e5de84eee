// The display window's first size and the geometry it is restored at.
#include "session/WindowGeometry.h"

#include <QTest>

class TestWindowGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theFirstSizeTakesThreeFifthsOfTheScreen_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("1080p") << QRect(0, 0, 1920, 1050) << QSize(1152, 630);
        QTest::newRow("4K") << QRect(0, 0, 3840, 2160) << QSize(2304, 1296);
        QTest::newRow("small: at least 960") << QRect(0, 0, 1280, 800) << QSize(960, 600);
        QTest::newRow("tiny: the whole width") << QRect(0, 0, 800, 600) << QSize(800, 600);
        QTest::newRow("no screen") << QRect() << QSize(960, 600);
    }
    void theFirstSizeTakesThreeFifthsOfTheScreen()
    {
        QFETCH(QRect, available);
        QFETCH(QSize, expected);
        QCOMPARE(WindowGeometry::initialContentSize(available), expected);
    }

    void aKeptGeometryIsRestoredOnlyOnAScreen_data()
    {
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QRect>("expected"); // null: not restored
        const QRect screen(0, 0, 1920, 1050);
        Q_UNUSED(screen);
        QTest::newRow("on screen") << WindowGeometry::toText(QRect(100, 80, 1200, 700)) << QRect(100, 80, 1200, 700);
        QTest::newRow("on the second screen") << QStringLiteral("2000 100 800 500") << QRect(2000, 100, 800, 500);
        QTest::newRow("screen gone") << QStringLiteral("5000 100 800 500") << QRect();
        QTest::newRow("title above the screen") << QStringLiteral("100 -600 800 500") << QRect();
        QTest::newRow("larger than its screen") << QStringLiteral("0 0 4000 3000") << QRect(0, 0, 1920, 1050);
        QTest::newRow("too small") << QStringLiteral("10 10 100 50") << QRect();
        QTest::newRow("not numbers") << QStringLiteral("a b c d") << QRect();
        QTest::newRow("empty") << QString() << QRect();
    }
    void aKeptGeometryIsRestoredOnlyOnAScreen()
    {
        QFETCH(QString, kept);
        QFETCH(QRect, expected);
        const QList<QRect> screens{QRect(0, 0, 1920, 1050), QRect(1920, 0, 1280, 1024)};
        const std::optional<QRect> restored = WindowGeometry::restorable(kept, screens);
        QCOMPARE(restored.value_or(QRect()), expected);
    }
};

QTEST_APPLESS_MAIN(TestWindowGeometry)
#include "tst_windowgeometry.moc"
