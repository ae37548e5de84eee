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
    void set(const QString &key, const QVariant &value) { m_defaults->set(key, value); }
    int stored(const QString &key) { return m_defaults->intValue(key); }

private Q_SLOTS:
    void randomRotation()
    {
        ThemeSettings themes = fresh();
        themes.nextRandomTheme(); // an absent key restarts at Classic
        QCOMPARE(stored(QStringLiteral("currentRandomTheme")), 0);
        m_defaults->remove(QStringLiteral("currentRandomTheme"));
        set(QStringLiteral("theme"), 4);
        QCOMPARE(int(themes.getTheme()), 5); // stores 5 when absent
        QCOMPARE(stored(QStringLiteral("currentRandomTheme")), 5);
        QList<int> shown;
        for (int i = 0; i < 6; ++i) {
            themes.nextRandomTheme();
            shown << int(themes.getTheme());
        }
        QCOMPARE(shown, (QList<int>{6, 7, 0, 2, 3, 5}));
        // Written through, so the next run carries on from here.
        QCOMPARE(DefaultsStore(m_dir.path()).intValue(QStringLiteral("currentRandomTheme")), 5);
        // From themes off the rotation; out of range restarts at Classic.
        for (const auto &[from, to] : QList<QPair<int, int>>{{1, 2}, {4, 5}, {8, 9}, {9, 10}, {10, 0}, {-3, 0}}) {
            set(QStringLiteral("currentRandomTheme"), from);
            themes.nextRandomTheme();
            QCOMPARE(stored(QStringLiteral("currentRandomTheme")), to);
        }
    }

    void cachedThemeFollowsTheStore()
    {
        ThemeSettings themes = fresh();
        const QList<QPair<qint64, int>> shown = {{8, 8}, {42, 42}, {0x100000001LL, 1}}; // kept to 32 bits
        for (const auto &[value, theme] : shown) {
            set(QStringLiteral("theme"), value);
            QCOMPARE(int(themes.getTheme()), theme);
        }
        // Random showing no theme restarts at Classic.
        set(QStringLiteral("theme"), 4);
        set(QStringLiteral("currentRandomTheme"), 10);
        QCOMPARE(themes.getTheme(), ThemeId::Classic);
        QCOMPARE(stored(QStringLiteral("currentRandomTheme")), 0);
        // Another process writes the file; the store re-reads it.
        DefaultsStore(m_dir.path()).set(QStringLiteral("theme"), 7);
        QCOMPARE(themes.getTheme(), ThemeId::Classic);
        m_defaults->synchronize();
        QCOMPARE(themes.getTheme(), ThemeId::Blur);
        m_defaults->remove(QStringLiteral("theme")); // the registered default shows through
        QCOMPARE(themes.getTheme(), ThemeId::AppleTV);
        m_defaults->setVolatile(QStringLiteral("theme"), 8);
        QCOMPARE(themes.getTheme(), ThemeId::CoverOnly);
    }

    void missingSettingsUseBuiltInValuesAndSaySo()
    {
        ThemeSettings themes = fresh(false);
        for (int i = 0; i < 2; ++i) { // said at each read, cached or not
            QTest::ignoreMessage(QtInfoMsg, "NO DEFAULT DEFAULT!!!");
            QCOMPARE(themes.getTheme(), ThemeId::AppleTV);
        }
        QTest::ignoreMessage(QtInfoMsg, "NO DEFAULT DEFAULT!!!");
        QTest::ignoreMessage(QtInfoMsg, "NO DEFAULT DEFAULT!!!");
        QCOMPARE(themes.getArtworkSizeForCurrentTheme(), 1.2f);
        QTest::ignoreMessage(QtInfoMsg, "NO DEFAULT DEFAULT!!!");
        QTest::ignoreMessage(QtInfoMsg, "NO DEFAULT DEFAULT!!!");
        QCOMPARE(themes.get3DeffectForCurrentTheme(), 0.3f);
    }

    void perThemeDictionaryWins()
    {
        ThemeSettings themes = fresh();
        set(QStringLiteral("theme"), 0);
        set(QStringLiteral("imageSize"), 1.5);
        QCOMPARE(themes.getArtworkSizeForCurrentTheme(), 1.5f);
        set(QStringLiteral("classicSettings"), QVariantMap{{QStringLiteral("imageSize"), 0.8}, {QStringLiteral("showTime"), 2},
                                                           {QStringLiteral("centred"), true}, {QStringLiteral("keepStatic"), 1}});
        QCOMPARE(themes.getArtworkSizeForCurrentTheme(), 0.8f);
        QCOMPARE(themes.getShowTimeForCurrentTheme(), 2);
        QVERIFY(themes.getCentredForCurrentTheme() && themes.getStaticForCurrentTheme());
        // Entries the dictionary lacks read as 0, not as the global value.
        QCOMPARE(themes.getFontSizeForCurrentTheme(), 0.0f);
        QVERIFY(!themes.getShowRatingForCurrentTheme() && !themes.getShowProgressForCurrentTheme());
        // Another theme without a dictionary uses the globals.
        set(QStringLiteral("theme"), 5);
        QCOMPARE(themes.getArtworkSizeForCurrentTheme(), 1.5f);
        QVERIFY(themes.getShowRatingForCurrentTheme());
        // Random uses the dictionary of the theme it shows, the raw theme none.
        set(QStringLiteral("theme"), 4);
        set(QStringLiteral("currentRandomTheme"), 7);
        set(QStringLiteral("blurSettings"), QVariantMap{{QStringLiteral("fontSize"), 1.4}});
        QVERIFY(!themes.settingsForCurrentTheme().has_value());
        QCOMPARE(themes.getFontSizeForCurrentTheme(), 1.4f);
    }

    void dictionaryKeys()
    {
        ThemeSettings themes = fresh();
        const QStringList keys = {"classicSettings", "textSettings", "mosaicSettings", "fullscreenSettings", "",
                                  "appleTVSettings", "lyricsSettings", "blurSettings", "coverSettings",
                                  "kenburnsblurSettings", ""};
        for (int theme = 0; theme < keys.size(); ++theme) {
            QCOMPARE(ThemeSettings::dictionaryKey(ThemeId(theme)), keys.at(theme));
            if (keys.at(theme).isEmpty())
                continue;
            const QVariantMap own{{QStringLiteral("imageSize"), 1.0 + theme / 10.0}};
            set(keys.at(theme), own);
            set(QStringLiteral("theme"), theme);
            QCOMPARE(themes.settingsForCurrentTheme().value_or(QVariantMap()), own);
        }
        // A dictionary key holding something else is no dictionary.
        set(QStringLiteral("kenburnsblurSettings"), QStringLiteral("oops"));
        QVERIFY(!themes.settingsForCurrentTheme().has_value());
        QCOMPARE(themes.getArtworkSizeForCurrentTheme(), 1.2f);
    }

    void globalValuesAreCoerced()
    {
        struct Row { const char *key; QVariant stored; int expected; };
        // "showTime" is registered as a boolean but holds a mode 0…3.
        const Row rows[] = {{"showTime", 3, 3}, {"showTime", true, 1}, {"showTime", 2.9, 2},
                            {"showRating", 0.7, 0}, {"showRating", 1, 1}, {"showRating", 256, 0},
                            {"keepStatic", 2, 1}, {"centred", QStringLiteral("1"), 1}};
        ThemeSettings themes = fresh();
        set(QStringLiteral("theme"), 0);
        for (const Row &row : rows) {
            const QString key = QLatin1String(row.key);
            set(key, row.stored);
            const int actual = key == QLatin1String("showTime") ? themes.getShowTimeForCurrentTheme()
                : key == QLatin1String("showRating")            ? int(themes.getShowRatingForCurrentTheme())
                : key == QLatin1String("keepStatic")            ? int(themes.getStaticForCurrentTheme())
                                                                : int(themes.getCentredForCurrentTheme());
            QVERIFY2(actual == row.expected, row.key);
        }
    }

    // Size and angle factors are held to ranges no layout can overflow,
    // from the global value and a theme's dictionary alike.
    void sizeFactorsAreBounded()
    {
        struct Row { const char *key; QVariant stored; bool inDictionary; float expected; };
        const Row rows[] = {{"fontSize", 2147483648.0, false, 10}, {"fontSize", 1e308, false, 10},
                            {"fontSize", 3e9, true, 10},           {"fontSize", -4, false, 0},
                            {"fontSize", 1.5, true, 1.5f},         {"imageSize", 1e300, true, 10},
                            {"imageSize", true, false, 1},         {"3Deffect", -3e9, false, -10},
                            {"3Deffect", -0.5, true, -0.5f},       {"3Deffect", 1e40, false, 10}};
        ThemeSettings themes = fresh();
        set(QStringLiteral("theme"), 0);
        const QString dictionary = ThemeSettings::dictionaryKey(ThemeId::Classic);
        for (const Row &row : rows) {
            const QString key = QLatin1String(row.key);
            m_defaults->remove(dictionary);
            if (row.inDictionary)
                set(dictionary, QVariantMap{{key, row.stored}});
            else
                set(key, row.stored);
            const float actual = key == QLatin1String("fontSize") ? themes.getFontSizeForCurrentTheme()
                : key == QLatin1String("imageSize")               ? themes.getArtworkSizeForCurrentTheme()
                                                                  : themes.get3DeffectForCurrentTheme();
            QVERIFY2(actual == row.expected, qPrintable(QStringLiteral("%1 %2").arg(key).arg(actual)));
        }
    }
};

QTEST_GUILESS_MAIN(TestThemeSettings)
#include "tst_themesettings.moc"
