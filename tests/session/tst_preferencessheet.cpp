#include "core/RegisteredDefaults.h"
#include "platform/DefaultsStore.h"
#include "session/PreferencesSheet.h"
#include "support/TestFiles.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace TestFiles;

// The preferences sheet without widgets: what it shows, what it enables
// and what it stores, read back from the settings file.
class TestPreferencesSheet : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<DefaultsStore> m_store;
    std::unique_ptr<PreferencesSheet> m_sheet;
    int m_windowLevels = 0;
    int m_newViews = 0;
    QJsonObject m_fileAtNewView;

    // A sheet opened on these stored settings (over the registered ones).
    PreferencesSheet &open(const QVariantMap &stored)
    {
        QFile::remove(m_dir.filePath("defaults.json"));
        m_store = std::make_unique<DefaultsStore>(m_dir.path());
        registerAppDefaults(*m_store);
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            m_store->set(it.key(), it.value());
        m_windowLevels = m_newViews = 0;
        PreferencesSheet::Hooks hooks;
        hooks.setWindowLevel = [this] { ++m_windowLevels; };
        hooks.addNewCoverlumeView = [this] {
            ++m_newViews;
            m_fileAtNewView = file();
        };
        m_sheet = std::make_unique<PreferencesSheet>(*m_store, hooks);
        m_sheet->configureSheet();
        return *m_sheet;
    }

    QJsonObject file() const { return readJsonObject(m_dir.filePath("defaults.json")); }

    static QStringList themeDictionaries(const QJsonObject &file)
    {
        QStringList keys;
        for (const QString &key : file.keys())
            if (key.endsWith("Settings"))
                keys << key;
        return keys;
    }

private Q_SLOTS:
    void enabling_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("enabled");
        const QVariantMap fullScreen{{"theme", 3}};
        const QVariantMap centred{{"theme", 3}, {"fullscreenSettings", QVariantMap{{"centred", 1}}}};
        QTest::newRow("classic: 3-D") << QVariantMap{{"theme", 0}} << "Slider3D" << true;
        QTest::newRow("text: size") << QVariantMap{{"theme", 1}} << "sizeSlider" << false;
        QTest::newRow("text: label of size") << QVariantMap{{"theme", 1}} << "artworkSizeLabel" << false;
        QTest::newRow("random: font") << QVariantMap{{"theme", 4}} << "fontSlider" << false;
        QTest::newRow("random: loved") << QVariantMap{{"theme", 4}} << "showLoved" << false;
        QTest::newRow("random: details") << QVariantMap{{"theme", 4}} << "playCountButton" << false;
        QTest::newRow("text: details") << QVariantMap{{"theme", 1}} << "playCountButton" << true;
        QTest::newRow("random: label") << QVariantMap{{"theme", 4}} << "centredInfo" << false;
        QTest::newRow("full screen: progress") << fullScreen << "showProgress" << false;
        QTest::newRow("full screen: size") << fullScreen << "sizeSlider" << true;
        QTest::newRow("full screen centred: size") << centred << "sizeSlider" << false;
        QTest::newRow("apple tv: static") << QVariantMap{{"theme", 5}} << "keepStatic" << true;
        QTest::newRow("cover only: rating") << QVariantMap{{"theme", 8}} << "showRating" << false;
        QTest::newRow("cover only: rating label") << QVariantMap{{"theme", 8}} << "showRatingInfo" << false;
        QTest::newRow("ken burns: size") << QVariantMap{{"theme", 9}} << "sizeSlider" << true;
        QTest::newRow("ken burns: time") << QVariantMap{{"theme", 9}} << "showTime" << false;
        QTest::newRow("no progress: time") << QVariantMap{{"theme", 0}, {"showProgress", 0}} << "showTime" << false;
        QTest::newRow("listen: always") << QVariantMap{{"theme", 4}} << "listenButton" << true;
    }
    void enabling()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QString, control);
        QFETCH(bool, enabled);
        PreferencesSheet &sheet = open(stored);
        const bool isLabel = control.endsWith("Label") || control.endsWith("Info");
        QCOMPARE(isLabel ? !sheet.isLabelDisabled(control) : sheet.isEnabled(control), enabled);
    }

    // Settings stored as other types than the controls hold read as the
    // display reads them.
    void readingCoerces_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QVariant>("shown");
        QTest::newRow("time as a boolean") << "showTime" << QVariant(true) << "showTime" << QVariant(1);
        QTest::newRow("remote off as 0") << "remoteEnabled" << QVariant(0) << "ignoreRemote" << QVariant(true);
        QTest::newRow("remote on as YES") << "remoteEnabled" << QVariant("YES") << "ignoreRemote" << QVariant(false);
        QTest::newRow("float cycle") << "cycle" << QVariant(612.9) << "cycleSlider" << QVariant(612);
        QTest::newRow("cycle below range") << "cycle" << QVariant(52) << "cycleSlider" << QVariant(200);
        QTest::newRow("size beyond range") << "imageSize" << QVariant(7.5) << "sizeSlider" << QVariant(1.8);
        QTest::newRow("timed lyrics never stored") << "cycle" << QVariant(600) << "syncedLyrics" << QVariant(1);
        QTest::newRow("lyrics offset beyond range") << "lyricsOffsetMs" << QVariant(50000) << "lyricsOffsetMs"
                                                    << QVariant(10000);
        QTest::newRow("idle units to minutes") << "fullScreenAfterSystemIdleTime" << QVariant(300)
                                               << "fullScreenAfterSystemIdleTime" << QVariant(5);
    }
    void readingCoerces()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, control);
        QFETCH(QVariant, shown);
        QCOMPARE(open({{"theme", 0}, {key, stored}}).value(control), shown);
    }

    void randomStoresNothing()
    {
        PreferencesSheet &sheet = open({{"theme", 4}});
        sheet.setValue("sizeSlider", 1.5);
        sheet.setValue("showRating", false);
        sheet.closeConfig();
        QCOMPARE(themeDictionaries(file()), QStringList());
        QCOMPARE(file().value("theme").toInt(), 4);
    }

    // A theme never configured shows the global values and keeps those of
    // the theme chosen before it; touching a control gives it its own.
    void themeGetsItsDictionaryWhenTouched()
    {
        PreferencesSheet &sheet = open({{"theme", 0}, {"fontSize", 0.8}, {"classicSettings", QVariantMap{{"imageSize", 1.6}}}});
        QCOMPARE(sheet.value("sizeSlider").toDouble(), 1.6);
        QCOMPARE(sheet.value("fontSlider").toDouble(), 0.8);

        sheet.setValue("theme", 2);
        QCOMPARE(file().value("theme").toInt(), 2); // stored at once
        QCOMPARE(sheet.value("sizeSlider").toDouble(), 1.6);
        QVERIFY(!file().contains("mosaicSettings"));

        sheet.setValue("showLoved", false); // stored on OK only
        QVERIFY(!file().contains("mosaicSettings"));
        sheet.setValue("fontSlider", 1.25);
        const QJsonObject mosaic = file().value("mosaicSettings").toObject();
        QCOMPARE(mosaic.size(), 17);
        QCOMPARE(mosaic.value("imageSize").toDouble(), 1.6);
        QCOMPARE(mosaic.value("fontSize").toDouble(), 1.25);
        QCOMPARE(mosaic.value("showLoved"), QJsonValue(0));

        // Back to Classic: its own values return, Mosaic's stay its own.
        sheet.setValue("theme", 0);
        QCOMPARE(sheet.value("fontSlider").toDouble(), 1.25); // not in Classic's dictionary
        QCOMPARE(sheet.value("sizeSlider").toDouble(), 1.6);
        QCOMPARE(file().value("classicSettings").toObject().size(), 1);
    }

    // The theme's dictionary is changed where it stands in the file: an
    // entry another writer changed meanwhile, and one the sheet does not
    // know, stay as that writer left them.
    void anotherWritersEntriesStay()
    {
        PreferencesSheet &sheet = open({{"theme", 0}, {"classicSettings", QVariantMap{{"imageSize", 1.6}, {"fontSize", 0.8}}}});
        DefaultsStore other(m_dir.path());
        QVERIFY(other.update("classicSettings", [](const QVariant &stored) {
            QVariantMap settings = stored.toMap();
            settings.insert("imageSize", 2.0);
            settings.insert("coverCorners", 3);
            return QVariant(settings);
        }));
        sheet.setValue("fontSlider", 1.25);
        const QJsonObject classic = file().value("classicSettings").toObject();
        QCOMPARE(classic.value("fontSize").toDouble(), 1.25);
        QCOMPARE(classic.value("imageSize").toDouble(), 2.0);
        QCOMPARE(classic.value("coverCorners").toInt(), 3);
        QCOMPARE(classic.size(), 18); // the sheet's 17 entries and the stranger
    }

    void fullScreenCoupling_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<bool>("coupled");
        QTest::newRow("full screen: centred") << 3 << "centred" << true;
        QTest::newRow("full screen: static") << 3 << "keepStatic" << true;
        QTest::newRow("ken burns: centred") << 9 << "centred" << false;
        QTest::newRow("classic: centred") << 0 << "centred" << false;
    }
    void fullScreenCoupling()
    {
        QFETCH(int, theme);
        QFETCH(QString, ticked);
        QFETCH(bool, coupled);
        PreferencesSheet &sheet = open({{"theme", theme}});
        const QString other = ticked == "centred" ? "keepStatic" : "centred";
        sheet.setValue(ticked, true);
        QCOMPARE(sheet.value(other).toBool(), coupled);
        QCOMPARE(sheet.isEnabled("sizeSlider"), !(coupled));
        const QJsonObject stored = file().value(theme == 3 ? "fullscreenSettings" : theme == 9 ? "kenburnsblurSettings" : "classicSettings").toObject();
        QCOMPARE(stored.value(ticked), QJsonValue(true));
        QCOMPARE(stored.value(other), QJsonValue(coupled));
        sheet.setValue(ticked, false);
        QVERIFY(!sheet.value(other).toBool());
        QVERIFY(sheet.isEnabled("sizeSlider"));
    }

    // OK stores the global keys with the types their readers expect, then
    // asks for a new view.
    void okWritesTypedKeys()
    {
        PreferencesSheet &sheet = open({{"theme", 0}, {"fullScreenAfterSystemIdleTime", 300}});
        const QVariantMap changes{{"theme", 7},          {"showTime", 2},          {"showLoved", false},
                                  {"listenButton", true}, {"cycleSlider", 1234},    {"blackoutDelay", "90"},
                                  {"ignoreRemote", true}, {"preferredPlayerButton", 1}, {"displayFloatingWindow", false},
                                  {"showProgress", true}, {"syncedLyrics", 2}, {"lyricsOffsetMs", -250}};
        for (auto it = changes.cbegin(); it != changes.cend(); ++it)
            sheet.setValue(it.key(), it.value());
        QCOMPARE(m_newViews, 0);
        sheet.closeConfig();
        QCOMPARE(m_newViews, 1);
        const QJsonObject stored = m_fileAtNewView;
        const QJsonObject expected{{"theme", 7},           {"showTime", 2},       {"showLoved", 0},
                                   {"listenForBroadcaster", 1}, {"cycle", 1234},  {"blackoutDelay", "90"},
                                   {"remoteEnabled", false}, {"preferredPlayer", 1}, {"displayFloatingWindow", false},
                                   {"blackoutAfterDelay", 0}, {"overrideSnowtape", 1},
                                   {"syncedLyrics", 2}, {"lyricsOffsetMs", -250},
                                   // untouched: the stored units stay as they were
                                   {"fullScreenAfterSystemIdleTime", 300}};
        for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
            QCOMPARE(stored.value(it.key()), it.value());
        const QJsonObject blur = stored.value("blurSettings").toObject();
        QCOMPARE(blur.value("showTime"), QJsonValue(2));
        QCOMPARE(blur.value("showProgress"), QJsonValue(1));
        QCOMPARE(blur.value("centred"), QJsonValue(false));
    }

    void idleMinutes_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("units");
        QTest::newRow("never") << 0 << 0;
        QTest::newRow("ten minutes") << 10 << 559; // 2^30 ns each
        QTest::newRow("two hours") << 120 << 6706;
    }
    void idleMinutes()
    {
        QFETCH(int, minutes);
        QFETCH(int, units);
        PreferencesSheet &sheet = open({{"fullScreenAfterSystemIdleTime", 7}});
        sheet.setValue("fullScreenAfterSystemIdleTime", minutes);
        sheet.closeConfig();
        QCOMPARE(file().value("fullScreenAfterSystemIdleTime").toInt(), units);
        QCOMPARE(PreferencesSheet::idleUnitsToMinutes(units), minutes);
    }

    void keepOnTopAppliesAtOnce()
    {
        PreferencesSheet &sheet = open({});
        QCOMPARE(m_windowLevels, 0);
        sheet.setValue("keepOnTop", false);
        QCOMPARE(m_windowLevels, 1);
        QCOMPARE(file().value("keepOnTop"), QJsonValue(false));
    }
};

QTEST_GUILESS_MAIN(TestPreferencesSheet)
#include "tst_preferencessheet.moc"
