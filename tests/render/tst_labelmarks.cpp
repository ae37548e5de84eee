// The rating marks as the label draws them: which stars and pipes are lit,
// the three hearts, the Hermes thumb, and when no marks show at all. Read
// from the label's own picture (clear background), so colours and alpha
// are those the layer is given. Set COVERLUME_SAMPLE_DIR to keep them.

#include "RenderPixels.h"

#include "model/ThemeId.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"
#include "support/EngineHarness.h"

#include <QDir>
#include <QFontDatabase>
#include <QPainter>
#include <QRawFont>
#include <QTest>
#include <cmath>

using namespace RenderPixels;

namespace {

QByteArray oneTrack()
{
    return R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [
        {"name": "Alpha", "artist": "Band A", "album": "Album A", "duration": 600}]}]})";
}

// The label as it shows over the view's black background.
QImage onDark(const QImage &label)
{
    QImage shown(label.size(), QImage::Format_RGB32);
    shown.fill(Qt::black);
    QPainter painter(&shown);
    painter.drawImage(0, 0, label);
    return shown;
}

// What the source says of the track, set after the engine has read it.
struct Marks
{
    int player = int(PlayerId::ITunes);
    QString broadcastPlayer;
    int rating = 0;
    bool loved = false;
    bool disliked = false;
    bool radio = false;
};

// A large view, so that the marks are big enough to tell lit from unlit
// by their fully covered pixels. The cover stays on the left (centred,
// alternating, first layout), so the label is left-aligned.
struct MarksStage
{
    EngineHarness h;
    RenderStage *stage = nullptr;

    explicit MarksStage(QVariantMap settings, QSizeF size = QSizeF(2400, 1500))
        : h(oneTrack(), withDefaults(std::move(settings)))
    {
        stage = h.makeRenderedView(size);
    }

    static QVariantMap withDefaults(QVariantMap settings)
    {
        settings.insert(QStringLiteral("centred"), true);
        if (!settings.contains(QStringLiteral("keepStatic")))
            settings.insert(QStringLiteral("keepStatic"), false);
        return settings;
    }

    // One layout of `theme` with the marks the source reports; the label's picture.
    QImage label(ThemeId theme, const Marks &marks, const char *name = nullptr)
    {
        h.engine().refresh(theme);
        NowPlayingState &state = h.state();
        state.currentPlayer = static_cast<PlayerId>(marks.player);
        state.track.rating = marks.rating;
        state.track.loved = marks.loved;
        state.track.disliked = marks.disliked;
        state.track.iTunesRadio = marks.radio;
        h.broadcaster.player = marks.broadcastPlayer;
        h.view->setArtworkImage(solid(QColor(40, 40, 200), QSize(64, 64)));
        stage->layout(theme);
        const QImage image = stage->labelView()->contents();
        if (const QByteArray dir = qgetenv("COVERLUME_SAMPLE_DIR"); name && !dir.isEmpty())
            onDark(image).save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png"));
        return image;
    }
};

bool inked(QRgb p)
{
    return qAlpha(p) > 8;
}

// The text lines of a picture: runs of rows that hold ink, top to bottom.
QList<QPair<int, int>> bands(const QImage &image, int minGap = 2)
{
    QList<QPair<int, int>> found;
    int start = -1, lastInked = -1;
    for (int y = 0; y < image.height(); ++y) {
        bool any = false;
        for (int x = 0; x < image.width() && !any; ++x)
            any = inked(image.pixel(x, y));
        if (!any)
            continue;
        if (start >= 0 && y - lastInked > minGap) {
            found << qMakePair(start, lastInked);
            start = -1;
        }
        if (start < 0)
            start = y;
        lastInked = y;
    }
    if (start >= 0)
        found << qMakePair(start, lastInked);
    return found;
}

// The separate glyphs of one band: runs of columns that hold ink.
QList<QRect> glyphs(const QImage &image, QPair<int, int> band)
{
    QList<QRect> found;
    int start = -1;
    for (int x = 0; x <= image.width(); ++x) {
        bool any = false;
        for (int y = band.first; x < image.width() && y <= band.second && !any; ++y)
            any = inked(image.pixel(x, y));
        if (any && start < 0)
            start = x;
        if (!any && start >= 0) {
            QRect box;
            for (int y = band.first; y <= band.second; ++y)
                for (int gx = start; gx < x; ++gx)
                    if (inked(image.pixel(gx, y)))
                        box |= QRect(gx, y, 1, 1);
            found << box;
            start = -1;
        }
    }
    return found;
}

// The colour where a glyph is fully covered: its most opaque pixel, unpremultiplied.
QColor inkOf(const QImage &image, const QRect &glyph)
{
    QRgb best = 0;
    for (int y = glyph.top(); y <= glyph.bottom(); ++y)
        for (int x = glyph.left(); x <= glyph.right(); ++x)
            if (qAlpha(image.pixel(x, y)) > qAlpha(best))
                best = image.pixel(x, y);
    return QColor::fromRgba(qUnpremultiply(best));
}

// Device white `level` at `alpha`, as 8-bit channels.
QColor white(double level, double alpha)
{
    return QColor::fromRgbF(float(level), float(level), float(level), float(alpha));
}

bool sameInk(const QColor &a, const QColor &b, int tolerance = 6)
{
    return near(a.rgba(), b, tolerance);
}

QString describe(const QColor &c)
{
    return QStringLiteral("(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

// The share of a glyph's box that is inked.
double filledShare(const QImage &image, const QRect &box)
{
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            n += qAlpha(image.pixel(x, y)) > 127;
    return double(n) / (box.width() * box.height());
}

int alphaAt(const QImage &image, QPoint p)
{
    return qAlpha(image.pixel(p));
}

// Some installed font draws the character (else the pixel tests would look
// at empty boxes).
bool someFontHas(char32_t ucs4)
{
    const QStringList families = QFontDatabase::families();
    for (const QString &family : families) {
        const QRawFont raw = QRawFont::fromFont(QFont(family));
        if (raw.isValid() && raw.supportsCharacter(ucs4))
            return true;
    }
    return false;
}

struct Palette
{
    QColor lit, unlit;
};

Palette starColours(ThemeId theme)
{
    if (theme == ThemeId::AppleTV)
        return {white(1.0, 0.75), white(1.0, 0.25)};
    return {white(0.75, 1.0), white(0.1, 1.0)};
}

Palette pipeColours(ThemeId theme)
{
    if (theme == ThemeId::AppleTV)
        return {white(1.0, 0.75), white(1.0, 0.25)};
    return {white(0.75, 1.0), white(0.15, 1.0)};
}

} // namespace

Q_DECLARE_METATYPE(ThemeId)

class TestLabelMarks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void starsLitByRating_data();
    void starsLitByRating();
    void pipesLitByPopularity_data();
    void pipesLitByPopularity();
    void heartsShowLovedDislikedOrNeither_data();
    void heartsShowLovedDislikedOrNeither();
    void hermesThumbBelowTheText_data();
    void hermesThumbBelowTheText();
    void noMarks_data();
    void noMarks();
};

void TestLabelMarks::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    for (char32_t c : {U'\u2605', U'\u2661', U'\u2665', U'\u0338'})
        QVERIFY2(someFontHas(c), qPrintable(QStringLiteral("no installed font draws U+%1").arg(uint(c), 4, 16)));
}

void TestLabelMarks::starsLitByRating_data()
{
    QTest::addColumn<ThemeId>("theme");
    QTest::addColumn<int>("player");
    QTest::addColumn<QString>("broadcast");
    QTest::addColumn<int>("rating");
    QTest::addColumn<int>("lit");
    for (ThemeId theme : {ThemeId::Classic, ThemeId::AppleTV}) {
        const QByteArray t = theme == ThemeId::Classic ? "classic " : "apple tv ";
        const auto row = [&](const char *name) -> QTestData & { return QTest::newRow((t + name).constData()) << theme; };
        row("iTunes 60") << int(PlayerId::ITunes) << QString() << 60 << 3;
        row("Music 60") << int(PlayerId::Music) << QString() << 60 << 3;
        row("Swinsian 60") << int(PlayerId::Swinsian) << QString() << 60 << 0;
        row("Swinsian 3") << int(PlayerId::Swinsian) << QString() << 3 << 3;
        row("Ecoute 3") << int(PlayerId::Ecoute) << QString() << 3 << 3;
        row("Ecoute 60") << int(PlayerId::Ecoute) << QString() << 60 << 0;
        row("broadcast music 60") << int(PlayerId::Broadcaster) << QStringLiteral("music") << 60 << 3;
        row("broadcast swinsian 4") << int(PlayerId::Broadcaster) << QStringLiteral("swinsian") << 4 << 4;
    }
    QTest::newRow("iTunes 100") << ThemeId::Classic << int(PlayerId::ITunes) << QString() << 100 << 5;
    QTest::newRow("iTunes 120") << ThemeId::Classic << int(PlayerId::ITunes) << QString() << 120 << 0;
    QTest::newRow("iTunes -20") << ThemeId::Classic << int(PlayerId::ITunes) << QString() << -20 << 0;
    QTest::newRow("Swinsian 7") << ThemeId::Classic << int(PlayerId::Swinsian) << QString() << 7 << 0;
}

void TestLabelMarks::starsLitByRating()
{
    QFETCH(ThemeId, theme);
    QFETCH(int, player);
    QFETCH(QString, broadcast);
    QFETCH(int, rating);
    QFETCH(int, lit);
    MarksStage s({{QStringLiteral("theme"), int(theme)}, {QStringLiteral("showLoved"), false}});
    Marks marks;
    marks.player = player;
    marks.broadcastPlayer = broadcast;
    marks.rating = rating;
    const QImage label = s.label(theme, marks, QTest::currentDataTag());

    // Title, artist, album, an empty line, then the stars.
    const auto lines = bands(label);
    QCOMPARE(lines.size(), 4);
    const QList<QRect> stars = glyphs(label, lines.last());
    QCOMPARE(stars.size(), 5);
    const Palette colours = starColours(theme);
    for (int i = 0; i < stars.size(); ++i) {
        const QColor ink = inkOf(label, stars[i]);
        const QColor expected = i < lit ? colours.lit : colours.unlit;
        QVERIFY2(sameInk(ink, expected), qPrintable(QStringLiteral("star %1: %2, expected %3")
                                                        .arg(i).arg(describe(ink), describe(expected))));
        // A star, not a missing-glyph box: its box's corners are clear, its centre inked.
        const QRect &box = stars[i];
        QVERIFY(box.width() > 15 && std::abs(box.width() - box.height()) < box.width() / 3);
        QCOMPARE(alphaAt(label, box.topLeft() + QPoint(1, 1)), 0);
        QCOMPARE(alphaAt(label, box.topRight() + QPoint(-1, 1)), 0);
        QVERIFY(alphaAt(label, box.center()) >= ink.alpha() * 0.8);
    }
    // The stars are smaller than the title's letters (0.6 F against F).
    QVERIFY(lines.last().second - lines.last().first < lines.first().second - lines.first().first);
}

void TestLabelMarks::pipesLitByPopularity_data()
{
    QTest::addColumn<ThemeId>("theme");
    QTest::addColumn<int>("player");
    QTest::addColumn<int>("popularity");
    QTest::addColumn<int>("lit");
    QTest::newRow("classic 100") << ThemeId::Classic << int(PlayerId::Spotify) << 100 << 12;
    QTest::newRow("classic 40") << ThemeId::Classic << int(PlayerId::Spotify) << 40 << 5;
    QTest::newRow("classic 103") << ThemeId::Classic << int(PlayerId::Spotify) << 103 << 12;
    QTest::newRow("classic 104") << ThemeId::Classic << int(PlayerId::Spotify) << 104 << 0;
    QTest::newRow("classic -8") << ThemeId::Classic << int(PlayerId::Spotify) << -8 << 0;
    QTest::newRow("classic 7") << ThemeId::Classic << int(PlayerId::Spotify) << 7 << 0;
    QTest::newRow("apple tv 100") << ThemeId::AppleTV << int(PlayerId::Spotify) << 100 << 12;
    QTest::newRow("apple tv 40") << ThemeId::AppleTV << int(PlayerId::Spotify) << 40 << 5;
    QTest::newRow("broadcast spotify 47") << ThemeId::Classic << int(PlayerId::Broadcaster) << 47 << 5;
}

void TestLabelMarks::pipesLitByPopularity()
{
    QFETCH(ThemeId, theme);
    QFETCH(int, player);
    QFETCH(int, popularity);
    QFETCH(int, lit);
    MarksStage s({{QStringLiteral("theme"), int(theme)}});
    Marks marks;
    marks.player = player;
    marks.broadcastPlayer = QStringLiteral("spotify");
    marks.rating = popularity;
    const QImage label = s.label(theme, marks, QTest::currentDataTag());

    const auto lines = bands(label);
    QCOMPARE(lines.size(), 4);
    const QList<QRect> pipes = glyphs(label, lines.last());
    QCOMPARE(pipes.size(), 12);
    const Palette colours = pipeColours(theme);
    for (int i = 0; i < pipes.size(); ++i) {
        const QColor ink = inkOf(label, pipes[i]);
        const QColor expected = i < lit ? colours.lit : colours.unlit;
        QVERIFY2(sameInk(ink, expected), qPrintable(QStringLiteral("pipe %1: %2, expected %3")
                                                        .arg(i).arg(describe(ink), describe(expected))));
        QVERIFY(pipes[i].height() > 2 * pipes[i].width()); // upright bars
    }
    // The lit pipes are bold: at least as wide as the unlit ones.
    if (lit > 0 && lit < 12)
        QVERIFY(pipes.first().width() >= pipes.last().width());
}

void TestLabelMarks::heartsShowLovedDislikedOrNeither_data()
{
    QTest::addColumn<ThemeId>("theme");
    QTest::addColumn<bool>("loved");
    QTest::addColumn<bool>("disliked");
    QTest::addColumn<QString>("heart");
    QTest::addColumn<QColor>("ink");
    QTest::newRow("classic loved") << ThemeId::Classic << true << false << "filled" << white(0.75, 1.0);
    QTest::newRow("classic disliked") << ThemeId::Classic << false << true << "slashed" << white(0.75, 1.0);
    QTest::newRow("classic neither") << ThemeId::Classic << false << false << "empty" << white(0.2, 1.0);
    QTest::newRow("apple tv loved") << ThemeId::AppleTV << true << false << "filled" << white(1.0, 0.85);
    QTest::newRow("apple tv disliked") << ThemeId::AppleTV << false << true << "slashed" << white(0.75, 1.0);
    QTest::newRow("apple tv neither") << ThemeId::AppleTV << false << false << "empty" << white(1.0, 0.25);
}

void TestLabelMarks::heartsShowLovedDislikedOrNeither()
{
    QFETCH(ThemeId, theme);
    QFETCH(bool, loved);
    QFETCH(bool, disliked);
    QFETCH(QString, heart);
    QFETCH(QColor, ink);
    MarksStage s({{QStringLiteral("theme"), int(theme)}, {QStringLiteral("showLoved"), true}});
    Marks marks;
    marks.rating = 60; // no stars with the hearts on
    marks.loved = loved;
    marks.disliked = disliked;
    const QImage label = s.label(theme, marks, QTest::currentDataTag());

    // Title, artist, album, then the heart below two empty lines.
    const auto lines = bands(label);
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[3].first - lines[2].second > lines[1].first - lines[0].second);
    const QList<QRect> found = glyphs(label, lines.last());
    QCOMPARE(found.size(), 1);
    const QRect box = found.first();
    QVERIFY2(sameInk(inkOf(label, box), ink), qPrintable(describe(inkOf(label, box))));

    const double filled = filledShare(label, box);
    const int centre = alphaAt(label, box.center());
    if (heart == "filled") {
        QVERIFY2(filled > 0.45 && centre > 200, qPrintable(QString::number(filled)));
    } else if (heart == "empty") {
        QVERIFY2(filled < 0.4 && centre == 0, qPrintable(QString::number(filled)));
    } else {
        // The outline with a stroke across it: its middle is crossed, and
        // the stroke reaches beyond the heart's outline.
        QVERIFY2(filled < 0.4, qPrintable(QString::number(filled)));
        int crossed = 0;
        for (int dy = -box.height() / 6; dy <= box.height() / 6; ++dy)
            for (int dx = -box.width() / 6; dx <= box.width() / 6; ++dx)
                crossed += alphaAt(label, box.center() + QPoint(dx, dy)) > 127;
        QVERIFY2(crossed > 0, "nothing crosses the heart");
    }
}

void TestLabelMarks::hermesThumbBelowTheText_data()
{
    QTest::addColumn<int>("rating");
    QTest::addColumn<bool>("thumbsUp");
    QTest::addColumn<int>("alignment");
    QTest::newRow("rated, text left-aligned") << 1 << true << 1;
    QTest::newRow("unrated, text left-aligned") << 0 << false << 1;
    QTest::newRow("rated, text right-aligned") << 1 << true << 0;
    QTest::newRow("unrated, text right-aligned") << 0 << false << 0;
}

void TestLabelMarks::hermesThumbBelowTheText()
{
    QFETCH(int, rating);
    QFETCH(bool, thumbsUp);
    QFETCH(int, alignment);
    MarksStage s({{QStringLiteral("theme"), 0}});
    Marks marks;
    marks.player = int(PlayerId::Hermes);
    marks.rating = rating;
    QImage label = s.label(ThemeId::Classic, marks);
    if (s.stage->geometry().alignment != alignment)
        label = s.label(ThemeId::Classic, marks); // centred: the side alternates
    QCOMPARE(s.stage->geometry().alignment, alignment);
    if (const QByteArray dir = qgetenv("COVERLUME_SAMPLE_DIR"); !dir.isEmpty())
        onDark(label).save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(QTest::currentDataTag()) + ".png"));

    // Title, artist, album, and the thumb one font size below them; no
    // stars, hearts or pipes.
    const auto lines = bands(label);
    QCOMPARE(lines.size(), 4);
    QRect thumb;
    for (const QRect &part : glyphs(label, lines.last()))
        thumb |= part;
    const double F = s.stage->fontSizePoints();
    const int gap = thumb.top() - lines[2].second;
    QVERIFY2(gap > 0.8 * F && gap < 1.6 * F, qPrintable(QStringLiteral("%1 against F %2").arg(gap).arg(F)));

    // The picture itself, at its own size (not stretched), on the text's
    // side: the up thumb is narrower than it is high, the neither picture
    // wider.
    const ViewMarks &viewMarks = s.h.view->marks();
    const QImage expected = thumbsUp ? viewMarks.thumbsUpImage : viewMarks.thumbsNeitherUpNorDownImage;
    QVERIFY(!expected.isNull());
    const QRect inExpected = boundsWhere(expected, inked);
    QVERIFY2(std::abs(thumb.width() - inExpected.width()) <= 2 && std::abs(thumb.height() - inExpected.height()) <= 2,
             qPrintable(QStringLiteral("%1x%2 against %3x%4").arg(thumb.width()).arg(thumb.height())
                            .arg(inExpected.width()).arg(inExpected.height())));
    const double tw = viewMarks.thumbsNeitherUpNorDownSize.width();
    const int origin = alignment == 1 ? 0 : int(std::lround(label.width() - tw));
    QVERIFY2(std::abs(thumb.left() - (origin + inExpected.left())) <= 2,
             qPrintable(QStringLiteral("%1 against %2").arg(thumb.left()).arg(origin + inExpected.left())));
    QVERIFY(thumbsUp ? thumb.width() < thumb.height() : thumb.width() > 1.5 * thumb.height());
    // Drawn whole, at full opacity.
    QVERIFY(inkOf(label, thumb).alpha() == 255);
}

void TestLabelMarks::noMarks_data()
{
    QTest::addColumn<int>("player");
    QTest::addColumn<bool>("radio");
    QTest::addColumn<bool>("showRating");
    QTest::newRow("iTunes plays a stream") << int(PlayerId::ITunes) << true << true;
    QTest::newRow("Music plays a stream") << int(PlayerId::Music) << true << true;
    QTest::newRow("rating switched off") << int(PlayerId::ITunes) << false << false;
    QTest::newRow("Spotify, rating switched off") << int(PlayerId::Spotify) << false << false;
    QTest::newRow("a source without marks") << int(PlayerId::Snowtape) << false << true;
}

void TestLabelMarks::noMarks()
{
    QFETCH(int, player);
    QFETCH(bool, radio);
    QFETCH(bool, showRating);
    MarksStage s({{QStringLiteral("theme"), 0}, {QStringLiteral("showLoved"), false}});
    Marks marks;
    marks.player = player;
    marks.rating = 80;
    // A rated track first, so any marks left over from it would show.
    QCOMPARE(bands(s.label(ThemeId::Classic, marks)).size(), player == int(PlayerId::Snowtape) ? 3 : 4);

    s.h.defaults->set(QStringLiteral("showRating"), showRating);
    marks.radio = radio;
    const QImage label = s.label(ThemeId::Classic, marks, QTest::currentDataTag());
    QCOMPARE(bands(label).size(), 3); // title, artist and album only
}

QTEST_MAIN(TestLabelMarks)
#include "tst_labelmarks.moc"
