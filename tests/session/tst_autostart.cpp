// The "Start with the Desktop" switch: the autostart entry is the only
// record, under a temporary XDG_CONFIG_HOME and XDG_DATA_DIRS.
#include "session/Autostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kInstalled = "[Desktop Entry]\nType=Application\nName=Coverlume\nExec=coverlume\n";

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A string between double quotes (spelt out for moc's sake).
QByteArray quoted(const QByteArray &text)
{
    return '"' + text + '"';
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theTickFollowsTheEntryFile_data()
    {
        QTest::addColumn<QByteArray>("existing");   // the entry before; "-" absent, "dir" a blocked folder
        QTest::addColumn<bool>("installed");        // an installed entry in XDG_DATA_DIRS
        QTest::addColumn<QString>("executable");
        QTest::addColumn<bool>("ticked");           // what the menu shows first
        QTest::addColumn<bool>("enable");           // what the user picks
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QByteArray>("written");    // the entry after; "-" absent, "keep" unchecked
        QTest::addColumn<QByteArray>("execLine");   // the Exec line written, when checked

        const QByteArray hidden = kInstalled + "Hidden=true\n";
        QTest::newRow("absent: ticking copies the installed entry")
            << QByteArray("-") << true << QString() << false << true << true << kInstalled << QByteArray();
        QTest::newRow("present: unticking removes it")
            << kInstalled << true << QString() << true << false << true << QByteArray("-") << QByteArray();
        QTest::newRow("Hidden=true: shows off, ticking replaces it")
            << hidden << true << QString() << false << true << true << kInstalled << QByteArray();
        QTest::newRow("GNOME's switch off: shows off")
            << kInstalled + "X-GNOME-Autostart-enabled=false\n" << true << QString() << false << false << true
            << QByteArray("-") << QByteArray();
        QTest::newRow("Hidden in another group: still on")
            << kInstalled + "[Desktop Action x]\nHidden=true\n" << true << QString() << true << true << true
            << kInstalled << QByteArray();
        QTest::newRow("unwritable folder: fails, nothing changes")
            << QByteArray("dir") << true << QString() << false << true << false << QByteArray("keep") << QByteArray();
        QTest::newRow("not installed: an entry of our own")
            << QByteArray("-") << false << QStringLiteral("/opt/bin/coverlume") << false << true << true
            << QByteArray("keep") << QByteArray("/opt/bin/coverlume");
        QTest::newRow("not installed, a path to quote")
            << QByteArray("-") << false << QStringLiteral("/home/a b/$x%/coverlume") << false << true << true
            << QByteArray("keep") << quoted("/home/a b/\\\\$x%%/coverlume");
    }
    void theTickFollowsTheEntryFile()
    {
        QFETCH(QByteArray, existing);
        QFETCH(bool, installed);
        QFETCH(QString, executable);
        QFETCH(bool, ticked);
        QFETCH(bool, enable);
        QFETCH(bool, succeeds);
        QFETCH(QByteArray, written);
        QFETCH(QByteArray, execLine);

        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("home-data"))));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(scratch.filePath(QStringLiteral("data"))));
        if (installed)
            writeFile(scratch.filePath(QStringLiteral("data/applications/com.quillmoor.Coverlume.desktop")), kInstalled);

        const QString autostartDir = scratch.filePath(QStringLiteral("config/autostart"));
        const QString entry = autostartDir + QStringLiteral("/com.quillmoor.Coverlume.desktop");
        if (existing == "dir")  // a plain file where the folder belongs: no one can write there, root neither
            writeFile(autostartDir, "not a folder");
        else if (existing != "-")
            writeFile(entry, existing);

        const Autostart autostart = executable.isEmpty()
            ? Autostart()
            : Autostart(autostartDir, QString(), executable);
        QCOMPARE(autostart.entryPath(), entry);
        QCOMPARE(autostart.isEnabled(), ticked);

        QString error;
        QCOMPARE(autostart.setEnabled(enable, &error), succeeds);
        QCOMPARE(error.isEmpty(), succeeds);
        QCOMPARE(autostart.isEnabled(), succeeds ? enable : ticked);
        if (written == "-")
            QVERIFY(!QFile::exists(entry));
        else if (written != "keep")
            QCOMPARE(readFile(entry), written);
        if (!execLine.isEmpty())
            QVERIFY2(readFile(entry).contains("\nExec=" + execLine + "\n"), readFile(entry).constData());
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
