// Draws the display's own pictures into resources/:
//   album.png                   the default artwork, shown when a track has none:
//                               a record on a dark sleeve, 2048 × 2048, sharp
//                               at the largest cover a 4K screen shows
//   thumbsUp.png                a white raised thumb on transparent, 0.8125 : 1
//   thumbsNeitherUpNorDown.png  a raised and a lowered thumb side by side, 1.875 : 1
//   transparent-mask.png        the reflection's fade: black whose alpha rises
//                               downwards, drawn over the mirrored artwork
//                               (1 : 1.3, the reflection picture's shape)
//
// Build and run by hand (it is not part of the normal build):
//   g++ -std=c++20 -fPIC tools/make_resources.cpp \
//       $(pkg-config --cflags --libs Qt6Gui) -o /tmp/make_resources
//   QT_QPA_PLATFORM=offscreen /tmp/make_resources resources

#include <QConicalGradient>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// --- album ------------------------------------------------------------------

// Drawn in a 512-unit design space, scaled up to the picture's pixels.
constexpr int kAlbumSize = 512;
constexpr int kAlbumPixels = 2048;

void drawSleeve(QPainter &painter)
{
    QLinearGradient sleeve(0, 0, kAlbumSize, kAlbumSize);
    sleeve.setColorAt(0.0, QColor(46, 52, 84));
    sleeve.setColorAt(0.55, QColor(24, 26, 44));
    sleeve.setColorAt(1.0, QColor(10, 10, 18));
    painter.fillRect(QRect(0, 0, kAlbumSize, kAlbumSize), sleeve);

    // A soft glow behind the record lifts it off the sleeve.
    QRadialGradient glow(QPointF(256, 256), 250);
    glow.setColorAt(0.0, QColor(120, 110, 200, 70));
    glow.setColorAt(1.0, QColor(120, 110, 200, 0));
    painter.fillRect(QRect(0, 0, kAlbumSize, kAlbumSize), glow);
}

void drawRecord(QPainter &painter)
{
    const QPointF centre(256, 256);
    const double radius = 200;

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 110)); // its shadow
    painter.drawEllipse(centre + QPointF(6, 10), radius, radius);

    QRadialGradient vinyl(centre, radius);
    vinyl.setColorAt(0.0, QColor(30, 30, 34));
    vinyl.setColorAt(1.0, QColor(12, 12, 14));
    painter.setBrush(vinyl);
    painter.drawEllipse(centre, radius, radius);

    // Grooves: fine rings, a little lighter every few.
    painter.setBrush(Qt::NoBrush);
    for (double r = 84; r < radius - 6; r += 3.2) {
        const int alpha = (int(r) % 4 == 0) ? 34 : 18;
        painter.setPen(QPen(QColor(255, 255, 255, alpha), 0.8));
        painter.drawEllipse(centre, r, r);
    }

    // Light catching the grooves in two opposite wedges.
    QConicalGradient sheen(centre, 35);
    sheen.setColorAt(0.00, QColor(255, 255, 255, 0));
    sheen.setColorAt(0.08, QColor(255, 255, 255, 46));
    sheen.setColorAt(0.16, QColor(255, 255, 255, 0));
    sheen.setColorAt(0.50, QColor(255, 255, 255, 0));
    sheen.setColorAt(0.58, QColor(255, 255, 255, 34));
    sheen.setColorAt(0.66, QColor(255, 255, 255, 0));
    sheen.setColorAt(1.00, QColor(255, 255, 255, 0));
    QPainterPath ring;
    ring.addEllipse(centre, radius - 4, radius - 4);
    QPainterPath inner;
    inner.addEllipse(centre, 80, 80);
    painter.setPen(Qt::NoPen);
    painter.setBrush(sheen);
    painter.drawPath(ring.subtracted(inner));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1.5));
    painter.drawEllipse(centre, radius - 1, radius - 1);
}

QPainterPath notePath(QPointF at, double scale)
{
    // A pair of beamed eighth notes.
    QPainterPath path;
    QPainterPath head1;
    head1.addEllipse(QPointF(0, 0), 9, 6.5);
    QPainterPath head2;
    head2.addEllipse(QPointF(34, -6), 9, 6.5);
    path = head1.united(head2);
    path.addRect(QRectF(5.5, -46, 4, 46));
    path.addRect(QRectF(39.5, -52, 4, 46));
    QPainterPath beam;
    beam.moveTo(5.5, -46);
    beam.lineTo(43.5, -52);
    beam.lineTo(43.5, -42);
    beam.lineTo(5.5, -36);
    beam.closeSubpath();
    path = path.united(beam);
    path.setFillRule(Qt::WindingFill);
    QTransform place;
    place.translate(at.x(), at.y());
    place.scale(scale, scale);
    place.rotate(-12);
    return place.map(path.simplified());
}

void drawLabel(QPainter &painter)
{
    const QPointF centre(256, 256);
    QRadialGradient label(centre - QPointF(18, 22), 90);
    label.setColorAt(0.0, QColor(255, 178, 92));
    label.setColorAt(1.0, QColor(214, 92, 62));
    painter.setPen(Qt::NoPen);
    painter.setBrush(label);
    painter.drawEllipse(centre, 76, 76);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1.2));
    painter.drawEllipse(centre, 64, 64);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 250, 240, 235));
    painter.drawPath(notePath(centre + QPointF(-22, 24), 1.05));
}

QImage drawAlbum()
{
    QImage image = transparentImage(kAlbumPixels, kAlbumPixels);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(double(kAlbumPixels) / kAlbumSize, double(kAlbumPixels) / kAlbumSize);
    drawSleeve(painter);
    drawRecord(painter);
    drawLabel(painter);
    return image;
}

// --- thumbs -----------------------------------------------------------------

// A raised right thumb in a 104 × 128 box: cuff on the left, the closed hand,
// the thumb rising from its top; finger creases cut into the hand.
QPainterPath thumbUpPath()
{
    QPainterPath cuff;
    cuff.addRoundedRect(QRectF(4, 58, 22, 64), 5, 5);

    QPainterPath hand;
    hand.moveTo(34, 62);
    hand.lineTo(50, 34);
    hand.cubicTo(54, 26, 54, 16, 54, 12);
    hand.cubicTo(54, 3, 66, 1, 70, 9);
    hand.cubicTo(75, 19, 73, 34, 68, 48);
    hand.lineTo(90, 48);
    hand.cubicTo(100, 48, 104, 56, 100, 64);
    hand.cubicTo(104, 70, 102, 80, 96, 82);
    hand.cubicTo(101, 88, 99, 98, 93, 100);
    hand.cubicTo(97, 106, 94, 116, 86, 118);
    hand.cubicTo(84, 122, 80, 124, 74, 124);
    hand.lineTo(44, 124);
    hand.cubicTo(38, 124, 34, 120, 34, 114);
    hand.closeSubpath();

    QPainterPath creases;
    for (double y : {65.0, 82.0, 100.0})
        creases.addRoundedRect(QRectF(70, y - 1.6, 40, 3.2), 1.6, 1.6);
    return cuff.united(hand.subtracted(creases));
}

QImage drawThumbsUp()
{
    QImage image = transparentImage(104, 128);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(thumbUpPath());
    return image;
}

QImage drawThumbsNeither()
{
    QImage image = transparentImage(240, 128);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(thumbUpPath());
    // The lowered thumb: the raised one turned half a turn, on the right.
    QTransform lowered;
    lowered.translate(240, 128);
    lowered.rotate(180);
    painter.drawPath(lowered.map(thumbUpPath()));
    return image;
}

// --- reflection mask ----------------------------------------------------------

QImage drawTransparentMask()
{
    // The reflection picture is 1.3 S high with the mirrored artwork in its
    // lower S: the top 0.3 / 1.3 lies behind the cover and stays clear. From
    // there the black thickens smoothly until the reflection has faded away.
    constexpr int width = 256;
    constexpr int height = 333;
    constexpr double clearTop = 0.3 / 1.3;
    constexpr double fadeLength = 0.5;
    constexpr double startAlpha = 0.35;
    QImage image = transparentImage(width, height);
    for (int y = 0; y < height; ++y) {
        const double t = (y + 0.5) / height;
        double alpha = 0.0;
        if (t >= clearTop) {
            const double s = std::clamp((t - clearTop) / fadeLength, 0.0, 1.0);
            alpha = startAlpha + (1.0 - startAlpha) * s * s * (3.0 - 2.0 * s);
        }
        const QRgb pixel = qRgba(0, 0, 0, int(std::lround(alpha * 255.0)));
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        std::fill(line, line + width, pixel);
    }
    return image;
}

bool save(const QImage &image, const QDir &folder, const char *name)
{
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "make_resources: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_resources RESOURCE_FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const bool ok = save(drawAlbum(), folder, "album.png") && save(drawThumbsUp(), folder, "thumbsUp.png")
        && save(drawThumbsNeither(), folder, "thumbsNeitherUpNorDown.png")
        && save(drawTransparentMask(), folder, "transparent-mask.png");
    return ok ? 0 : 1;
}
