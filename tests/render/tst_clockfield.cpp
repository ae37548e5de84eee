// The clock: its text, its pixels, redraws by the minute, and its place
// clear of the artwork and the text in every theme that lays out.
#include "render/ClockField.h"
#include "render/RenderStage.h"
#include "support/EngineHarness.h"
#include "support/LayerScene.h"
#include "support/Pixels.h"

#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>

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

QString redCover()
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("red.png"));
    if (!QFile::exists(path))
        solid(QColor(200, 40, 40), QSize(300, 300), QImage::Format_RGB32).save(path);
    return path;
}

} // namespace

class TestClockField : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void timeTextIs24HourWithTheLocaleSeparator()
    {
        const QList<std::tuple<QTime, const char *, QString>> rows = {
            {QTime(15, 30, 59), "C", "15:30"}, {QTime(9, 5), "C", "09:05"}, {QTime(15, 30), "en_US", "15:30"},
            {QTime(0, 0), "de_DE", "00:00"}, {QTime(15, 30), "fi_FI", "15.30"}, {QTime(), "C", ""}};
        for (const auto &[time, locale, text] : rows)
            QCOMPARE(ClockField::timeText(time, QLocale(QLatin1String(locale))), text);
    }

    void drawnAndRedrawnByTheMinute()
    {
        ClockScene scene;
        const auto notWhite = [](QRgb p) { return !isWhite(p); };
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

    // Under the plate, with the clock hidden, the stage is black: no cover,
    // reflection, text or bar. Full screen or not, at the layout and after
    // the frame loop placed it again; random layouts and fixed ones.
    void clearOfTheArtworkAndTheText_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<bool>("centred");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("seed"); // random places; the side of a fixed layout
        QTest::addColumn<QTime>("time");
        QTest::addColumn<bool>("fullScreen");
        const struct { const char *name; ThemeId theme; bool centred; } themes[] = {
            {"Classic", ThemeId::Classic, false}, {"Classic centred", ThemeId::Classic, true},
            {"Cover Only", ThemeId::CoverOnly, false}, {"Apple TV", ThemeId::AppleTV, false},
            {"Full Screen centred", ThemeId::FullScreen, true}};
        for (const auto &t : themes)
            for (const QSize size : {QSize(960, 600), QSize(1920, 1080)})
                for (const int seed : {2, 5})
                    for (const QTime time : {QTime(15, 0), QTime(7, 30)})
                        QTest::addRow("%s %dx%d seed %d %s", t.name, size.width(), size.height(), seed,
                                      qPrintable(time.toString(QStringLiteral("HH:mm"))))
                            << int(t.theme) << t.centred << size << seed << time << (seed != 2);
    }
    void clearOfTheArtworkAndTheText()
    {
        QFETCH(int, theme);
        QFETCH(bool, centred);
        QFETCH(QSize, size);
        QFETCH(int, seed);
        QFETCH(QTime, time);
        QFETCH(bool, fullScreen);
        ::srandom(unsigned(seed));
        RenderedView v(oneTrack(600, redCover()),
                       withTheme(theme, {{QStringLiteral("showClock"), true}, {QStringLiteral("centred"), centred}}),
                       QSizeF(size));
        v.h.clock = FrameClock(QDateTime(QDate(2026, 12, 6), time, Qt::UTC));
        v.h.host.fullScreen = fullScreen;
        v.stage->layoutGeometry().alignment = seed % 2;
        v.start();
        ClockField *clock = v.stage->clockField();
        QVERIFY(clock);
        for (const int frame : {2, 17}) {
            for (int i = 0; i < 100 && v.framesCount() != frame; ++i)
                v.frame();
            QCOMPARE(v.framesCount(), frame);
            for (auto layer : {ThemeStage::Layer::Label, ThemeStage::Layer::Cover, ThemeStage::Layer::Reflection})
                v.stage->setLayerOpacity(layer, 1.0f);
            clock->setHidden(true);
            const QImage shot = v.snapshot();
            clock->setHidden(false);
            QVERIFY(!v.stage->coverView()->contents().isNull());
            const QRect plate = v.inPicture(clock->frame()).adjusted(1, 1, -1, -1);
            const QRect under = boundsWhere(shot, [](QRgb p) { return qGray(p) > 12; }, plate);
            if (!under.isEmpty())
                v.snapshot(QStringLiteral("clock-%1").arg(QString::fromLatin1(QTest::currentDataTag())));
            QVERIFY2(under.isEmpty(), qPrintable(QStringLiteral("frame %1: plate %2,%3 %4x%5 over drawing at %6,%7")
                                                     .arg(frame).arg(plate.x()).arg(plate.y()).arg(plate.width())
                                                     .arg(plate.height()).arg(under.x()).arg(under.y())));
        }
    }
};

QTEST_MAIN(TestClockField)
#include "tst_clockfield.moc"
