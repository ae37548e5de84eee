// The full-screen clock: its text, its pixels, and redraws by the minute.
#include "render/ClockField.h"
#include "support/LayerScene.h"
#include "support/Pixels.h"

#include <QTest>

using namespace Pixels;

namespace {

// A clock plate on white, its time from a clock the test sets.
struct ClockScene : LayerScene
{
    QDateTime now = QDateTime(QDate(2024, 3, 1), QTime(15, 30, 12));
    ClockField clock{[this] { return now; }};

    ClockScene()
        : LayerScene(QSizeF(240, 120), Qt::white)
    {
        place(clock, QRectF(40, 30, 160, 60));
    }
};

const auto isWhite = [](QRgb p) { return near(p, Qt::white, 14); };

} // namespace

class TestClockField : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeTextIs24HourWithTheLocaleSeparator()
    {
        const QList<std::tuple<QTime, const char *, QString>> rows = {
            {QTime(15, 30, 59), "C", "15:30"}, {QTime(9, 5), "C", "09:05"}, {QTime(15, 30), "en_US", "15:30"},
            {QTime(0, 0), "de_DE", "00:00"}, {QTime(15, 30), "fi_FI", "15.30"}, {QTime(), "C", ""}};
        for (const auto &[time, locale, text] : rows)
            QCOMPARE(ClockField::timeText(time, QLocale(QLatin1String(locale))), text);
    }

    void drawnOnlyInFullScreenAndRedrawnByTheMinute()
    {
        ClockScene scene;
        const auto notWhite = [](QRgb p) { return !isWhite(p); };
        QCOMPARE(boundsWhere(scene.render(), notWhite), QRect());
        scene.clock.setFullScreen(true);
        const QImage image = scene.render();
        // The translucent black plate over the clock's frame, corners rounded.
        QVERIFY(std::abs(qGray(image.pixel(45, 40)) - 128) <= 3);
        QVERIFY(isWhite(image.pixel(40, 30)));
        QCOMPARE(boundsWhere(image, notWhite), QRect(40, 30, 160, 60));
        // White text, centred on the plate, about three quarters of its
        // height (inside the rounded corners, where the white page shows).
        const QRect text = boundsWhere(image, isWhite, QRect(50, 30, 140, 60));
        QVERIFY2(std::abs(text.center().x() - 120) <= 4, qPrintable(QString::number(text.center().x())));
        QVERIFY2(text.height() >= 25 && text.height() <= 45, qPrintable(QString::number(text.height())));
        // Its shadow: black near the white ink.
        QVERIFY(boundsWhere(image, [](QRgb p) { return qGray(p) < 30; }, QRect(40, 30, 160, 60)).isValid());

        scene.damage();
        const QImage half = scene.frame.copy();
        scene.now = scene.now.addSecs(30); // 15:30:42
        QVERIFY(!scene.clock.refreshTime());
        QVERIFY(!scene.compositor.needsRedraw());
        scene.now = scene.now.addSecs(30); // 15:31:12
        QVERIFY(scene.clock.refreshTime());
        scene.damage();
        QVERIFY(maxDifference(scene.frame, half) > 100);
        QVERIFY(!scene.clock.refreshTime());
    }
};

QTEST_MAIN(TestClockField)
#include "tst_clockfield.moc"
