#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Runs the built application with its window, on the offscreen platform
// with screens of the test's choosing, and checks how it shapes the window,
// keeps its log lines and ends.
class TestWindowedRun : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // A platform with one screen of this size (none when the size is empty).
    QString platformWithScreen(const QSize &size, const QString &name)
    {
        const QString path = m_dir.filePath(name + QStringLiteral(".json"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        const QByteArray screens = size.isValid()
            ? QStringLiteral(R"([{"name": "S", "x": 0, "y": 0, "width": %1, "height": %2,
                                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}])")
                  .arg(size.width()).arg(size.height()).toUtf8()
            : QByteArray("[]");
        file.write("{\"screens\": " + screens + "}");
        return QStringLiteral("offscreen:configfile=") + path;
    }

    void startApp(QProcess &process, const QString &platform, const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        process.setProcessEnvironment(environment);
        process.setReadChannel(QProcess::StandardError);
        process.start(QStringLiteral(COVERLUME_APP_BINARY), arguments);
    }

    int runApp(const QString &platform, const QStringList &arguments, QString *err = nullptr)
    {
        QProcess process;
        startApp(process, platform, arguments);
        if (!process.waitForStarted(10000) || !process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished(5000);
            return -1;
        }
        if (err)
            *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    static QSize viewSizeIn(const QString &statePath)
    {
        QFile file(statePath);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QJsonObject size = QJsonDocument::fromJson(file.readAll()).object()
                                     .value(QStringLiteral("frameSize")).toObject();
        return QSize(size.value(QStringLiteral("width")).toInt(), size.value(QStringLiteral("height")).toInt());
    }

    QStringList framesRun(const QString &configName, const QString &state)
    {
        const QString config = m_dir.filePath(configName);
        QDir().mkpath(config);
        return {QStringLiteral("--config-dir"), config, QStringLiteral("--frames"), QStringLiteral("20"),
                QStringLiteral("--state"), state};
    }

private Q_SLOTS:
    void theWindowTakesTheScreensShape_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QSize>("view");
        QTest::newRow("wide screen") << QSize(1600, 900) << QStringList() << QSize(640, 360);
        QTest::newRow("square screen") << QSize(1000, 1000) << QStringList() << QSize(640, 640);
        QTest::newRow("tall screen") << QSize(800, 1280) << QStringList() << QSize(640, 1024);
        // Nothing to take a shape from: a common display shape instead.
        QTest::newRow("zero-sized screen") << QSize(0, 0) << QStringList() << QSize(640, 400);
        QTest::newRow("size asked for") << QSize(1600, 900)
                                        << QStringList{QStringLiteral("--size"), QStringLiteral("500x300")}
                                        << QSize(500, 300);
    }

    void theWindowTakesTheScreensShape()
    {
        QFETCH(QSize, screen);
        QFETCH(QStringList, extra);
        QFETCH(QSize, view);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
        const QString state = m_dir.filePath(tag + QStringLiteral("-state.json"));
        QString err;
        const int status = runApp(platformWithScreen(screen, tag), framesRun(tag, state) + extra, &err);
        QVERIFY2(status == 0, qPrintable(err));
        QCOMPARE(viewSizeIn(state), view);
    }

    void logLinesStillReachTheTerminalWhileCaptured()
    {
        const QString state = m_dir.filePath(QStringLiteral("log-state.json"));
        QString err;
        QCOMPARE(runApp(platformWithScreen(QSize(1280, 800), QStringLiteral("log")),
                        framesRun(QStringLiteral("log"), state), &err), 0);
        // Written after the console took over standard error.
        QCOMPARE(err.count(QStringLiteral("Coverlume Standalone version: " COVERLUME_VERSION " (1)")), 1);
    }

    void withoutATrayTheTaskbarEntryStays()
    {
        const QString config = m_dir.filePath(QStringLiteral("tray"));
        QDir().mkpath(config);
        QFile settings(config + QStringLiteral("/defaults.json"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(R"({"hideDockIcon": true})");
        settings.close();

        QString err;
        QCOMPARE(runApp(platformWithScreen(QSize(1280, 800), QStringLiteral("tray")),
                        {QStringLiteral("--config-dir"), config, QStringLiteral("--frames"), QStringLiteral("5")},
                        &err), 0);
        QCOMPARE(err.count(QStringLiteral("no system tray: keeping the taskbar entry")), 1);
    }

    void noScreenIsToldNotCrashedOn()
    {
        QString err;
        const int status = runApp(platformWithScreen(QSize(), QStringLiteral("none")),
                                  {QStringLiteral("--config-dir"), m_dir.path(), QStringLiteral("--frames"),
                                   QStringLiteral("5")}, &err);
        QCOMPARE(status, 1);
        QVERIFY2(err.contains(QStringLiteral("coverlume: no screen to show the window on")), qPrintable(err));
    }

    void sigtermQuitsInOrder()
    {
        const QString state = m_dir.filePath(QStringLiteral("term-state.json"));
        const QString config = m_dir.filePath(QStringLiteral("term"));
        QDir().mkpath(config);
        QProcess process;
        startApp(process, platformWithScreen(QSize(1280, 800), QStringLiteral("term")),
                 {QStringLiteral("--config-dir"), config, QStringLiteral("--state"), state});
        QVERIFY(process.waitForStarted(10000));
        QByteArray err;
        while (!err.contains("Coverlume Standalone version") && process.waitForReadyRead(10000))
            err += process.readAllStandardError();
        QVERIFY2(err.contains("Coverlume Standalone version"), err.constData());
        process.terminate();
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(viewSizeIn(state), QSize(640, 400));
    }
};

QTEST_GUILESS_MAIN(TestWindowedRun)
#include "tst_windowedrun.moc"
