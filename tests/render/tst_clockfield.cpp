#include "support/Pixels.h"

#include "render/ClockField.h"
#include "render/Compositor.h"
#include "render/LayerTree.h"

#include <QTest>

using namespace Pixels;

namespace {

// A clock plate on white, its time from a clock the test sets.
struct ClockScene
{
    QDateTime now = QDateTime(QDate(2024, 3, 1), QTime(15, 30, 12));
    LayerTree tree;
    ClockField clock{[this] { return now; }};
    Compositor compositor{tree};

    ClockScene()
    {
        tree.setViewSize(QSizeF(240, 120));
        tree.root().setBackgroundColor(Qt::white);
        clock.setFrame(QRectF(40, 30, 160, 60));
        tree.root().addSublayer(&clock);
    }
    QImage render() { return compositor.renderImage(QSize(240, 120)); }
};

bool isWhite(QRgb p) { return qRed(p) > 240 && qGreen(p) > 240 && qBlue(p) > 240; }

} // namespace

class TestClockField : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeTextIs24HourWithTheLocaleSeparator_data();
    void timeTextIs24HourWithTheLocaleSeparator();
    void drawnOnlyInFullScreen();
    void redrawsWhenTheMinuteChanges();
};

void TestClockField::timeTextIs24HourWithTheLocaleSeparator_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("C") << QTime(15, 30, 59) << QStringLiteral("C") << QStringLiteral("15:30");
    QTest::newRow("morning, padded") << QTime(9, 5) << QStringLiteral("C") << QStringLiteral("09:05");
    QTest::newRow("12-hour locale still 24-hour") << QTime(15, 30) << QStringLiteral("en_US") << QStringLiteral("15:30");
    QTest::newRow("German") << QTime(0, 0) << QStringLiteral("de_DE") << QStringLiteral("00:00");
    QTest::newRow("Finnish separator") << QTime(15, 30) << QStringLiteral("fi_FI") << QStringLiteral("15.30");
    QTest::newRow("no time") << QTime() << QStringLiteral("C") << QString();
}

void TestClockField::timeTextIs24HourWithTheLocaleSeparator()
{
    QFETCH(QTime, time);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QCOMPARE(ClockField::timeText(time, QLocale(locale)), text);
}

void TestClockField::drawnOnlyInFullScreen()
{
    ClockScene scene;
    const QImage windowed = scene.render();
    QCOMPARE(boundsWhere(windowed, [](QRgb p) { return !isWhite(p); }), QRect());

    scene.clock.setFullScreen(true);
    const QImage image = scene.render();
    // The translucent black plate over the clock's frame, corners rounded.
    QVERIFY(std::abs(qGray(image.pixel(45, 40)) - 128) <= 3);
    QVERIFY(isWhite(image.pixel(40, 30)));
    QCOMPARE(boundsWhere(image, [](QRgb p) { return !isWhite(p); }), QRect(40, 30, 160, 60));
    // White text, centred on the plate, about three quarters of its height.
    // (Inside the rounded corners, where the white page shows.)
    const QRect text = boundsWhere(image.copy(50, 30, 140, 60), [](QRgb p) { return isWhite(p); });
    QVERIFY(!text.isEmpty());
    QVERIFY2(std::abs(text.center().x() - 70) <= 4, qPrintable(QString::number(text.center().x())));
    QVERIFY2(text.height() >= 25 && text.height() <= 45, qPrintable(QString::number(text.height())));
    // Its shadow falls right and down: black just below-right of white ink.
    QVERIFY(boundsWhere(image.copy(40, 30, 160, 60), [](QRgb p) { return qGray(p) < 30; }).isValid());
}

void TestClockField::redrawsWhenTheMinuteChanges()
{
    ClockScene scene;
    scene.clock.setFullScreen(true);
    QImage frame(240, 120, QImage::Format_ARGB32_Premultiplied);
    scene.compositor.renderDamage(frame);
    const QImage half = frame.copy();

    scene.now = scene.now.addSecs(30); // 15:30:42
    QVERIFY(!scene.clock.refreshTime());
    QVERIFY(!scene.compositor.needsRedraw());

    scene.now = scene.now.addSecs(30); // 15:31:12
    QVERIFY(scene.clock.refreshTime());
    scene.compositor.renderDamage(frame);
    QVERIFY(maxDifference(frame, half) > 100);
    QVERIFY(!scene.clock.refreshTime());
}

QTEST_MAIN(TestClockField)
#include "tst_clockfield.moc"
