#include "support/AppProcess.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace TestFiles;

// Runs the built application with its window, on the offscreen platform
// with screens of the test's choosing, and checks how it shapes the window,
// keeps its log lines and ends.
class TestWindowedRun : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // The offscreen platform with one screen of this size (none when the
    // size is invalid), and a settings folder; both named after the row.
    QProcessEnvironment screen(const QSize &size, const QString &name)
    {
        const QByteArray screens = size.isValid()
            ? QStringLiteral(R"([{"name": "S", "x": 0, "y": 0, "width": %1, "height": %2,
                                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}])")
                  .arg(size.width()).arg(size.height()).toUtf8()
            : QByteArray("[]");
        const QString path = written(m_dir.filePath(name + ".json"), "{\"screens\": " + screens + "}");
        QDir().mkpath(m_dir.filePath(name));
        return AppProcess::environmentWith("QT_QPA_PLATFORM", "offscreen:configfile=" + path);
    }

    QStringList run(const QString &name)
    {
        return {"--config-dir", m_dir.filePath(name), "--frames", "5", "--state", state(name)};
    }

    QString state(const QString &name) const { return m_dir.filePath(name + "-state.json"); }

    QSize viewSize(const QString &name) const
    {
        const QJsonObject size = readJsonObject(state(name)).value("frameSize").toObject();
        return QSize(size.value("width").toInt(), size.value("height").toInt());
    }

private Q_SLOTS:
    void theWindowTakesTheScreensShape_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QSize>("view");
        // 60 % of the width, at least 960 where the screen has room.
        QTest::newRow("wide") << QSize(1600, 900) << QStringList() << QSize(960, 540);
        QTest::newRow("4K") << QSize(3840, 2160) << QStringList() << QSize(2304, 1296);
        QTest::newRow("tall") << QSize(800, 1280) << QStringList() << QSize(800, 1280);
        // Nothing to take a shape from: a common display shape instead.
        QTest::newRow("zero-sized") << QSize(0, 0) << QStringList() << QSize(960, 600);
        QTest::newRow("size-asked-for") << QSize(1600, 900) << QStringList{"--size", "500x300"} << QSize(500, 300);
    }

    void theWindowTakesTheScreensShape()
    {
        QFETCH(QSize, screen);
        QFETCH(QStringList, extra);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        const auto outcome = AppProcess::run(run(name) + extra, this->screen(screen, name));
        QVERIFY2(outcome.status == 0, qPrintable(outcome.err));
        QTEST(viewSize(name), "view");
        if (name == "wide") // written after the console took over standard error
            QCOMPARE(outcome.err.count(QStringLiteral("Coverlume Standalone version: " COVERLUME_VERSION " (1)")), 1);
    }

    void withoutATrayTheTaskbarEntryStays()
    {
        const QProcessEnvironment environment = screen(QSize(1280, 800), "tray");
        QVERIFY(writeBytes(m_dir.filePath("tray/defaults.json"), R"({"hideDockIcon": true})"));
        const auto outcome = AppProcess::run(run("tray"), environment);
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.err.count(QStringLiteral("no system tray: keeping the taskbar entry")), 1);
    }

    void noScreenIsToldNotCrashedOn()
    {
        const auto outcome = AppProcess::run(run("none"), screen(QSize(), "none"));
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.err.contains(QStringLiteral("coverlume: no screen to show the window on")),
                 qPrintable(outcome.err));
    }

    // Frames run until the signal; the run then ends normally and still
    // writes its outputs, with a window and without.
    void sigtermEndsARunInOrder_data()
    {
        QTest::addColumn<QStringList>("mode");
        QTest::newRow("window") << QStringList();
        QTest::newRow("headless") << QStringList{"--offscreen"};
    }

    void sigtermEndsARunInOrder()
    {
        QFETCH(QStringList, mode);
        const QString name = QStringLiteral("term-") + QTest::currentDataTag();
        const QProcessEnvironment environment = screen(QSize(1280, 800), name);
        AppProcess app(mode + QStringList{"--config-dir", m_dir.filePath(name), "--state", state(name)}, environment);
        QVERIFY2(app.waitForLog("Coverlume Standalone version"), app.log.constData());
        QVERIFY(app.terminate());
        QCOMPARE(app.normalExitCode(), 0);
        QCOMPARE(viewSize(name), mode.isEmpty() ? QSize(960, 600) : QSize(1280, 800));
    }
};

QTEST_GUILESS_MAIN(TestWindowedRun)
#include "tst_windowedrun.moc"
