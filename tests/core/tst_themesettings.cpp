// Theme resolution, the Random rotation and the per-theme settings lookup.
#include "core/RegisteredDefaults.h"
#include "core/ThemeSettings.h"
#include "platform/DefaultsStore.h"

#include <QTemporaryDir>
#include <QtTest>

class TestThemeSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<DefaultsStore> m_defaults;

    ThemeSettings fresh(bool registered = true)
    {
        QFile::remove(m_dir.filePath(QStringLiteral("defaults.json")));
        m_defaults = std::make_unique<DefaultsStore>(m_dir.path());
        if (registered)
            registerAppDefaults(*m_defaults);
        return ThemeSettings(*m_defaults);
    }

private Q_SLOTS:
    void randomRotationFromAbsentKey()
    {
        ThemeSettings themes = fresh();
        m_defaults->set(QStringLiteral("theme"), 4);
        QList<int> shown;
        for (int i = 0; i < 8; ++i) {
            themes.nextRandomTheme();
            shown << themes.getTheme();
        }
        QCOMPARE(shown, (QList<int>{0, 2, 3, 5, 6, 7, 0, 2}));
        // Written through, so the next run carries on from here.
        DefaultsStore reread(m_dir.path());
        QCOMPARE(reread.intValue(QStringLiteral("currentRandomTheme")), 2);
    }

    void randomRotationFromTheStoredFive()
    {
        ThemeSettings themes = fresh();
        m_defaults->set(QStringLiteral("theme"), 4);
        QCOMPARE(themes.getTheme(), 5); // stores 5 when absent
        QCOMPARE(m_defaults->intValue(QStringLiteral("currentRandomTheme")), 5);
        QList<int> shown;
        for (int i = 0; i < 4; ++i) {
            themes.nextRandomTheme();
            shown << themes.getTheme();
        }
        QCOMPARE(shown, (QList<int>{6, 7, 0, 2}));
    }

    void rotationSteps_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("0 skips Text") << 0 << 2;
        QTest::newRow("1 (not in rotation)") << 1 << 2;
        QTest::newRow("3 skips Random") << 3 << 5;
        QTest::newRow("4 gives 5") << 4 << 5;
        QTest::newRow("7 wraps") << 7 << 0;
        QTest::newRow("8 gives 9") << 8 << 9;
        QTest::newRow("9 gives 10") << 9 << 10;
        QTest::newRow("out of range restarts") << 10 << 0;
        QTest::newRow("negative restarts") << -3 << 0;
    }
    void rotationSteps()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        ThemeSettings themes = fresh();
        m_defaults->set(QStringLiteral("currentRandomTheme"), from);
        themes.nextRandomTheme();
        QCOMPARE(m_defaults->intValue(QStringLiteral("currentRandomTheme")), to);
    }

    void randomShowingNoThemeRestartsAtClassic()
    {
        ThemeSettings themes = fresh();
        m_defaults->set(QStringLiteral("theme"), 4);
        m_defaults->set(QStringLiteral("currentRandomTheme"), 10);
        QCOMPARE(themes.getTheme(), 0);
        QCOMPARE(m_defaults->intValue(QStringLiteral("currentRandomTheme")), 0);
    }

    void chosenThemeIsReturnedAsStored()
    {
        ThemeSettings themes = fresh();
        m_defaults->set(QStringLiteral("theme"), 8);
        QCOMPARE(themes.getTheme(), 8);
        m_defaults->set(QStringLiteral("theme"), 42);
        QCOMPARE(themes.getTheme(), 42);
        // Kept to 32 bits.
        m_defaults->set(QStringLiteral("theme"), qint64(0x100000001LL));
        QCOMPARE(themes.getTheme(), 1);
    }

    void missingSettingsUseBuiltInValuesAndSaySo()
    {
        ThemeSettings themes = fresh(false);
        QTest::ignoreMessage(QtInfoMsg, "NO DEFAULT DEFAULT!!!");
        QCOMPARE(themes.getTheme(), 5);
        QTest::ignoreMessage(QtInfoMsg, "NO DEFAULT DEFAULT!!!");
        QCOMPARE(themes.getArtworkSizeForCurrentTheme(), 1.2f);
        QTest::ignoreMessage(QtInfoMsg, "NO DEFAULT DEFAULT!!!");
        QCOMPARE(themes.get3DeffectForCurrentTheme(), 0.3f);
        QTest::ignoreMessage(QtInfoMsg, "NO DEFAULT DEFAULT!!!");
        QCOMPARE(themes.getShowRatingForCurrentTheme(), true);
        QTest::ignoreMessage(QtInfoMsg, "NO DEFAULT DEFAULT!!!");
        QCOMPARE(themes.getCentredForCurrentTheme(), false);
    }

    void perThemeDictionaryWins()
    {
        ThemeSettings themes = fresh();
        m_defaults->set(QStringLiteral("theme"), 0);
        m_defaults->set(QStringLiteral("imageSize"), 1.5);
        QCOMPARE(themes.getArtworkSizeForCurrentTheme(), 1.5f);

        m_defaults->set(QStringLiteral("classicSettings"),
                        QVariantMap{{QStringLiteral("imageSize"), 0.8},
                                    {QStringLiteral("showTime"), 2},
                                    {QStringLiteral("centred"), true},
                                    {QStringLiteral("keepStatic"), 1}});
        QCOMPARE(themes.getArtworkSizeForCurrentTheme(), 0.8f);
        QCOMPARE(themes.getShowTimeForCurrentTheme(), 2);
        QCOMPARE(themes.getCentredForCurrentTheme(), true);
        QCOMPARE(themes.getStaticForCurrentTheme(), true);
        // Entries the dictionary lacks read as 0, not as the global value.
        QCOMPARE(themes.getFontSizeForCurrentTheme(), 0.0f);
        QCOMPARE(themes.getShowRatingForCurrentTheme(), false);
        QCOMPARE(themes.getShowProgressForCurrentTheme(), false);

        // Another theme without a dictionary uses the globals.
        m_defaults->set(QStringLiteral("theme"), 5);
        QCOMPARE(themes.getArtworkSizeForCurrentTheme(), 1.5f);
        QCOMPARE(themes.getShowRatingForCurrentTheme(), true);
    }

    void randomUsesTheDictionaryOfTheThemeItShows()
    {
        ThemeSettings themes = fresh();
        m_defaults->set(QStringLiteral("theme"), 4);
        m_defaults->set(QStringLiteral("currentRandomTheme"), 7);
        m_defaults->set(QStringLiteral("blurSettings"), QVariantMap{{QStringLiteral("fontSize"), 1.4}});
        QVERIFY(!themes.settingsForCurrentTheme().has_value());
        QCOMPARE(themes.getFontSizeForCurrentTheme(), 1.4f);
    }

    void settingsForCurrentThemeReadsTheRawTheme()
    {
        ThemeSettings themes = fresh();
        const QVariantMap classic{{QStringLiteral("imageSize"), 1.1}};
        m_defaults->set(QStringLiteral("classicSettings"), classic);
        m_defaults->set(QStringLiteral("theme"), 0);
        QCOMPARE(themes.settingsForCurrentTheme().value_or(QVariantMap()), classic);
        m_defaults->set(QStringLiteral("theme"), 9);
        QVERIFY(!themes.settingsForCurrentTheme().has_value());
        // A dictionary key holding something else is no dictionary.
        m_defaults->set(QStringLiteral("kenburnsblurSettings"), QStringLiteral("oops"));
        QVERIFY(!themes.settingsForCurrentTheme().has_value());
        QCOMPARE(themes.getArtworkSizeForCurrentTheme(), 1.2f);
    }

    void globalValuesAreCoerced_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("expected");
        // "showTime" is registered as a boolean but holds a mode 0…3.
        QTest::newRow("showTime mode 3") << "showTime" << QVariant(3) << 3;
        QTest::newRow("showTime as true") << "showTime" << QVariant(true) << 1;
        QTest::newRow("showTime float truncated") << "showTime" << QVariant(2.9) << 2;
        QTest::newRow("showRating 0.7 truncates to NO") << "showRating" << QVariant(0.7) << 0;
        QTest::newRow("showRating as 1") << "showRating" << QVariant(1) << 1;
        QTest::newRow("showRating low byte only") << "showRating" << QVariant(256) << 0;
        QTest::newRow("keepStatic as number") << "keepStatic" << QVariant(2) << 1;
        QTest::newRow("centred as string") << "centred" << QVariant(QStringLiteral("1")) << 1;
    }
    void globalValuesAreCoerced()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(int, expected);
        ThemeSettings themes = fresh();
        m_defaults->set(QStringLiteral("theme"), 0);
        m_defaults->set(key, stored);
        int actual = -1;
        if (key == QLatin1String("showTime"))
            actual = themes.getShowTimeForCurrentTheme();
        else if (key == QLatin1String("showRating"))
            actual = themes.getShowRatingForCurrentTheme();
        else if (key == QLatin1String("keepStatic"))
            actual = themes.getStaticForCurrentTheme();
        else if (key == QLatin1String("centred"))
            actual = themes.getCentredForCurrentTheme();
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestThemeSettings)
#include "tst_themesettings.moc"
