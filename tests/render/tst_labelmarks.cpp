// The rating marks as the label draws them, read from the label's own picture
// (clear background). Set COVERLUME_SAMPLE_DIR to keep them.

#include "render/LabelStyling.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"
#include "render/StageImages.h"
#include "support/EngineHarness.h"
#include "support/Pixels.h"

#include <QPainter>
#include <QTest>
#include <cmath>

using namespace Pixels;

namespace {

// Large enough to tell lit marks from unlit by their fully covered pixels.
// Centred and alternating: the first layout puts the label left-aligned.
struct MarksStage : RenderedView
{
    explicit MarksStage(ThemeId theme, bool showLoved = true)
        : RenderedView(oneTrack(),
                       withTheme(int(theme), {{QStringLiteral("centred"), true}, {QStringLiteral("showLoved"), showLoved}}),
                       QSizeF(2400, 1500))
    {
    }
    // One layout showing the three lines and these marks; the label's picture.
    QImage label(ThemeId theme, PlayerId player, int rating, const QString &broadcast = QString(),
                 bool loved = false, bool disliked = false, bool stream = false,
                 bool marksKnown = true)
    {
        layOut(theme, NowShowing{.player = player, .broadcastPlayer = broadcast,
                                 .track = AttributedString(QStringLiteral("Alpha")),
                                 .artist = AttributedString(QStringLiteral("Band A")),
                                 .album = AttributedString(QStringLiteral("Album A")), .rating = rating,
                                 .loved = loved, .disliked = disliked, .marksKnown = marksKnown, .stream = stream, .detailLines = {},
                                 .artwork = solid(QColor(40, 40, 200), QSize(64, 64))});
        const QImage image = stage->labelView()->contents();
        keep(image, QString::fromLatin1(QTest::currentDataTag()));
        return image;
    }
};

const auto inked = [](QRgb p) { return qAlpha(p) > 8; };

// The text lines of a picture: runs of rows that hold ink, top to bottom.
QList<QPair<int, int>> bands(const QImage &image)
{
    QList<QPair<int, int>> found;
    for (int y = 0; y < image.height(); ++y) {
        if (!boundsWhere(image, inked, QRect(0, y, image.width(), 1)).isValid())
            continue;
        if (found.isEmpty() || y - found.last().second > 2)
            found << qMakePair(y, y);
        found.last().second = y;
    }
    return found;
}

// The separate glyphs of one band: runs of columns that hold ink.
QList<QRect> glyphs(const QImage &image, QPair<int, int> band)
{
    QList<QRect> found;
    for (int x = 0; x < image.width(); ++x) {
        const QRect ink = boundsWhere(image, inked, QRect(x, band.first, 1, band.second - band.first + 1));
        if (ink.isValid() && (found.isEmpty() || found.last().right() < x - 1))
            found << ink;
        else if (ink.isValid())
            found.last() |= ink;
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

const auto white = [](double level, double alpha) { return QColor::fromRgbF(level, level, level, alpha); };
const auto sameInk = [](const QColor &a, const QColor &b) { return near(a.rgba(), b, 6) && std::abs(a.alpha() - b.alpha()) <= 6; };

} // namespace

class TestLabelMarks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The label made only as large as its text and thumb looks as the
    // picture of its whole rectangle does.
    void labelCutToItsTextLooksAsTheWholeRectangle_data()
    {
        QTest::addColumn<bool>("left");
        QTest::addColumn<bool>("thumb");
        QTest::newRow("left, Hermes thumb") << true << true;
        QTest::newRow("right, Hermes thumb") << false << true;
        QTest::newRow("right, text alone") << false << false;
    }
    void labelCutToItsTextLooksAsTheWholeRectangle()
    {
        QFETCH(bool, left);
        QFETCH(bool, thumb);
        const double F = 31.7;
        AttributedStyle style;
        style.withFont(AttributedFont::system(F)).withForeground(Qt::white)
            .withAlignment(left ? AttributedStyle::Alignment::Left : AttributedStyle::Alignment::Right);
        AttributedString text(QStringLiteral("Lantern Row\nThe Harbour Lights\nHarbour Lights"), style);
        StageImages::Thumb hermes;
        if (thumb) {
            hermes.image = solid(QColor(250, 200, 40), QSize(60, 32));
            hermes.sizePoints = QSizeF(1.875 * F, F);
            hermes.drawnPoints = QSizeF(1.5 * F, F);
        }
        const QSizeF size(903.6, 611.3);
        const auto whole = StageImages::label(text, size, left, float(F), hermes,
                                              StageImages::LabelExtent::WholeRectangle);
        const auto cut = StageImages::label(text, size, left, float(F), hermes);
        QCOMPARE(whole.rect, QRectF(0, 0, 904, 612));
        QVERIFY(cut.rect.width() * cut.rect.height() < 0.5 * whole.rect.width() * whole.rect.height());
        QCOMPARE(cut.image.size(), cut.rect.size().toSize());
        QImage placed(whole.image.size(), QImage::Format_ARGB32_Premultiplied);
        placed.fill(Qt::transparent);
        QPainter(&placed).drawImage(cut.rect.topLeft(), cut.image);
        QVERIFY(opaqueBounds(whole.image).isValid());
        QVERIFY(maxDifference(placed, whole.image) <= 2);
    }

    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void starsAndPipesLitByRating()
    {
        struct Row { ThemeId theme; PlayerId player; const char *broadcast; int rating; int marks; int lit; };
        using P = PlayerId;
        const ThemeId C = ThemeId::Classic, A = ThemeId::AppleTV;
        const Row rows[] = {
            {C, P::ITunes, "", 60, 5, 3}, {A, P::ITunes, "", 60, 5, 3}, {C, P::Music, "", 60, 5, 3},
            {C, P::Swinsian, "", 60, 5, 0}, {A, P::Swinsian, "", 3, 5, 3}, {C, P::Ecoute, "", 3, 5, 3},
            {C, P::Ecoute, "", 60, 5, 0}, {C, P::Broadcaster, "music", 60, 5, 3},
            {A, P::Broadcaster, "swinsian", 4, 5, 4}, {C, P::ITunes, "", 100, 5, 5}, {C, P::ITunes, "", 120, 5, 0},
            {C, P::ITunes, "", -20, 5, 0}, {C, P::Swinsian, "", 7, 5, 0},
            {C, P::Spotify, "", 100, 12, 12}, {A, P::Spotify, "", 40, 12, 5}, {C, P::Spotify, "", 103, 12, 12},
            {C, P::Spotify, "", 104, 12, 0}, {C, P::Spotify, "", -8, 12, 0}, {C, P::Spotify, "", 7, 12, 0},
            {C, P::Broadcaster, "spotify", 47, 12, 5},
        };
        for (const Row &row : rows) {
            const QString tag = QStringLiteral("%1 player %2 %3 rating %4")
                                    .arg(int(row.theme)).arg(int(row.player)).arg(QLatin1String(row.broadcast)).arg(row.rating);
            MarksStage s(row.theme, false);
            const QImage label = s.label(row.theme, row.player, row.rating, QLatin1String(row.broadcast));
            // Title, artist, album, an empty line, then the marks.
            const auto lines = bands(label);
            QVERIFY2(lines.size() == 4, qPrintable(tag));
            const QList<QRect> marks = glyphs(label, lines.last());
            QVERIFY2(marks.size() == row.marks, qPrintable(tag));
            const bool stars = row.marks == 5;
            const double unlitLevel = stars ? 0.1 : 0.15;
            const QColor lit = row.theme == A ? white(1.0, 0.75) : white(0.75, 1.0);
            const QColor unlit = row.theme == A ? white(1.0, 0.25) : white(unlitLevel, 1.0);
            for (int i = 0; i < marks.size(); ++i) {
                const QColor ink = inkOf(label, marks[i]);
                QVERIFY2(sameInk(ink, i < row.lit ? lit : unlit),
                         qPrintable(QStringLiteral("%1: mark %2 is %3").arg(tag).arg(i).arg(ink.name(QColor::HexArgb))));
                const QRect &box = marks[i];
                if (stars) {
                    // A star, not a missing-glyph box: corners clear, centre inked.
                    QVERIFY(box.width() > 15 && std::abs(box.width() - box.height()) < box.width() / 3);
                    QCOMPARE(qAlpha(label.pixel(box.topLeft() + QPoint(1, 1))), 0);
                    QVERIFY(qAlpha(label.pixel(box.center())) >= ink.alpha() * 0.8);
                } else {
                    QVERIFY(box.height() > 2 * box.width()); // upright bars
                }
            }
            // Smaller than the title's letters (0.6 F and 0.4 F against F).
            QVERIFY(lines.last().second - lines.last().first < lines.first().second - lines.first().first);
        }
    }

    void heartsShowLovedDislikedOrNeither()
    {
        struct Row { ThemeId theme; bool loved, disliked; const char *heart; QColor ink; };
        const Row rows[] = {
            {ThemeId::Classic, true, false, "filled", white(0.75, 1.0)},
            {ThemeId::Classic, false, true, "slashed", white(0.75, 1.0)},
            {ThemeId::Classic, false, false, "empty", white(0.2, 1.0)},
            {ThemeId::AppleTV, true, false, "filled", white(1.0, 0.85)},
            {ThemeId::AppleTV, false, true, "slashed", white(0.75, 1.0)},
            {ThemeId::AppleTV, false, false, "empty", white(1.0, 0.25)},
            // A source that did not tell (the bridge's players) draws no heart.
            {ThemeId::Classic, false, false, "none", {}},
            {ThemeId::AppleTV, false, false, "none", {}},
        };
        for (const Row &row : rows) {
            const QByteArray heart(row.heart);
            MarksStage s(row.theme);
            const QImage label = s.label(row.theme, PlayerId::ITunes, 60, QString(), row.loved, row.disliked,
                                         false, heart != "none");
            // Title, artist, album, then the heart below two empty lines.
            const auto lines = bands(label);
            if (heart == "none") {
                QCOMPARE(lines.size(), 3);
                continue;
            }
            QCOMPARE(lines.size(), 4);
            QVERIFY(lines[3].first - lines[2].second > lines[1].first - lines[0].second);
            const QList<QRect> found = glyphs(label, lines.last());
            QCOMPARE(found.size(), 1);
            const QRect box = found.first();
            QVERIFY2(sameInk(inkOf(label, box), row.ink), qPrintable(heart + inkOf(label, box).name(QColor::HexArgb).toLatin1()));
            const double filled = double(countWhere(label.copy(box), isOpaque)) / (box.width() * box.height());
            const int centre = qAlpha(label.pixel(box.center()));
            if (heart == "filled") {
                QVERIFY2(filled > 0.45 && centre > 200, qPrintable(QString::number(filled)));
            } else if (heart == "empty") {
                QVERIFY2(filled < 0.4 && centre == 0, qPrintable(QString::number(filled)));
            } else {
                // The outline with a stroke across its middle.
                QVERIFY(filled < 0.4);
                const QRect middle(box.center() - QPoint(box.width() / 6, box.height() / 6),
                                   QSize(box.width() / 3 + 1, box.height() / 3 + 1));
                QVERIFY2(boundsWhere(label, isOpaque, middle).isValid(),
                         "nothing crosses the heart");
            }
        }
    }

    void hermesThumbBelowTheText()
    {
        for (const auto &[alignment, rating] : QList<QPair<int, int>>{{1, 1}, {1, 0}, {0, 1}, {0, 0}}) {
            MarksStage s(ThemeId::Classic);
            QImage label = s.label(ThemeId::Classic, PlayerId::Hermes, rating);
            if (s.stage->geometry().alignment != alignment)
                label = s.label(ThemeId::Classic, PlayerId::Hermes, rating); // the side alternates
            QCOMPARE(s.stage->geometry().alignment, alignment);
            // Title, artist, album, and the thumb one font size below them.
            const auto lines = bands(label);
            QCOMPARE(lines.size(), 4);
            const QRect thumb = boundsWhere(label, inked, QRect(0, lines[3].first, label.width(), lines[3].second - lines[3].first + 1));
            const double F = s.stage->fontSizePoints();
            const int gap = thumb.top() - lines[2].second;
            QVERIFY2(gap > 0.8 * F && gap < 1.6 * F, qPrintable(QStringLiteral("%1 against F %2").arg(gap).arg(F)));
            // The picture itself at its own size, on the text's side: the up
            // thumb narrower than high, the neither picture wider.
            const ViewMarks &marks = s.h.view->marks();
            const QImage expected = rating ? marks.thumbsUpImage : marks.thumbsNeitherUpNorDownImage;
            const QRect inExpected = boundsWhere(expected, inked);
            QVERIFY(std::abs(thumb.width() - inExpected.width()) <= 2 && std::abs(thumb.height() - inExpected.height()) <= 2);
            const double tw = marks.thumbsNeitherUpNorDownSize.width();
            const int origin = alignment == 1 ? 0 : int(std::lround(label.width() - tw));
            QVERIFY(std::abs(thumb.left() - (origin + inExpected.left())) <= 2);
            QVERIFY(rating ? thumb.width() < thumb.height() : thumb.width() > 1.5 * thumb.height());
            QCOMPARE(inkOf(label, thumb).alpha(), 255);
        }
    }

    // A megabyte title costs no more than what a label can show.
    void longLinesAreCut()
    {
        LabelStyling styling;
        LabelStyling::Lines lines{AttributedString(QString(1 << 20, u'x')), AttributedString(QStringLiteral("A")),
                                  std::nullopt};
        styling.style(lines, NowShowing{}, {}, true, 20, LabelStyling::Palette::classic());
        QCOMPARE(lines.track->string(), QString(LabelStyling::maxLineCharacters, u'x') + u'\u2026' + u' ');
        QCOMPARE(lines.artist->string(), QStringLiteral("A "));
    }

    void noMarks()
    {
        struct Row { PlayerId player; bool stream, showRating; };
        const Row rows[] = {{PlayerId::ITunes, true, true}, {PlayerId::Music, true, true},
                            {PlayerId::ITunes, false, false}, {PlayerId::Spotify, false, false},
                            {PlayerId::Snowtape, false, true}, {PlayerId::None, false, true}};
        for (const Row &row : rows) {
            MarksStage s(ThemeId::Classic, false);
            // A rated track first, so any marks left over from it would show.
            const bool marked = row.player != PlayerId::Snowtape && row.player != PlayerId::None;
            QCOMPARE(bands(s.label(ThemeId::Classic, row.player, 80)).size(), marked ? 4 : 3);
            s.h.defaults->set(QStringLiteral("showRating"), row.showRating);
            const QImage label = s.label(ThemeId::Classic, row.player, 80, QString(), false, false, row.stream);
            QCOMPARE(bands(label).size(), 3); // title, artist and album only
        }
    }
};

QTEST_MAIN(TestLabelMarks)
#include "tst_labelmarks.moc"
