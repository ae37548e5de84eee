#include "platform/OsRelease.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

class TestOsRelease : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void minorVersion_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("fallback");
        QTest::addColumn<QString>("expected");

        const QByteArray debian = "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
                                  "VERSION_ID=\"12\"\nVERSION=\"12 (bookworm)\"\nID=debian\n";
        QTest::newRow("single component, display") << debian << "9" << "9";
        QTest::newRow("double quotes") << QByteArray("NAME=Ubuntu\nVERSION_ID=\"22.04\"\n") << "9" << "04";
        QTest::newRow("single quotes") << QByteArray("VERSION_ID='15.5'\n") << "9" << "5";
        QTest::newRow("unquoted, three parts") << QByteArray("VERSION_ID=3.19.1\n") << "9" << "19";
        QTest::newRow("escaped quote kept") << QByteArray("VERSION_ID=\"1.\\\"2\"\n") << "9" << "\"2";
        QTest::newRow("CRLF and blanks") << QByteArray("  VERSION_ID=\"40.1\"\r\n") << "9" << "1";
        QTest::newRow("key missing") << QByteArray("NAME=Arch\nBUILD_ID=rolling\n") << "9" << "9";
        QTest::newRow("similar key ignored") << QByteArray("VERSION_ID_LIKE=1.2\nVERSION_ID=7\n") << "10" << "10";
        QTest::newRow("first of two lines") << QByteArray("VERSION_ID=1.2\nVERSION_ID=3.4\n") << "9" << "2";
        QTest::newRow("empty file") << QByteArray() << "9" << "9";
    }

    void minorVersion()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, fallback);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("os-release"));
        QVERIFY(TestFiles::writeBytes(path, content));
        QTEST(osMinorVersion(path, fallback), "expected");
    }

    void missingFileGivesFallback()
    {
        QTemporaryDir dir;
        QCOMPARE(osMinorVersion(dir.filePath(QStringLiteral("absent")), QStringLiteral("10")), QStringLiteral("10"));
        QCOMPARE(osMinorVersion(dir.path()), QStringLiteral("9")); // a directory reads as missing
    }
};

QTEST_GUILESS_MAIN(TestOsRelease)
#include "tst_osrelease.moc"
