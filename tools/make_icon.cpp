// Draws the application icon into packaging/icons/:
//   com.quillmoor.Coverlume.svg   the scalable icon
//   NxN/com.quillmoor.Coverlume.png  for N in 16 22 24 32 48 64 128 256
//
// The icon is a small display: a dark rounded screen with a lit album cover,
// its reflection fading into the glass, and a progress bar under it. One
// drawing function paints both the SVG (through QSvgGenerator) and the
// pixel sizes; below 32 pixels the reflection is left out and the bar is
// thicker, so the small icons stay crisp.
//
// Build and run by hand (it is not part of the normal build; needs qt6-svg-dev):
//   g++ -std=c++20 -fPIC tools/make_icon.cpp \
//       $(pkg-config --cflags --libs Qt6Gui Qt6Svg) -o /tmp/make_icon
//   QT_QPA_PLATFORM=offscreen /tmp/make_icon packaging/icons

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <cstdio>

namespace {

// Drawn in a 256-unit design space.
constexpr int kDesign = 256;
const QString kName = QStringLiteral("com.quillmoor.Coverlume");

void drawIcon(QPainter &painter, bool small)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    // The screen: a rounded square with a thin light rim.
    const QRectF screen(16, 24, 224, 208);
    QLinearGradient glass(screen.topLeft(), screen.bottomRight());
    glass.setColorAt(0.0, QColor(52, 58, 96));
    glass.setColorAt(0.6, QColor(24, 26, 46));
    glass.setColorAt(1.0, QColor(12, 12, 22));
    painter.setBrush(QColor(150, 160, 220));
    painter.drawRoundedRect(screen, 40, 40);
    painter.setBrush(glass);
    painter.drawRoundedRect(screen.adjusted(4, 4, -4, -4), 36, 36);

    // The glow the cover casts on the glass.
    QRadialGradient glow(QPointF(128, 104), 104);
    glow.setColorAt(0.0, QColor(255, 170, 90, 110));
    glow.setColorAt(1.0, QColor(255, 170, 90, 0));
    painter.setBrush(glow);
    painter.drawRoundedRect(screen.adjusted(4, 4, -4, -4), 36, 36);

    // The cover: a warm square with a record's rings on it.
    const QRectF cover = small ? QRectF(72, 52, 112, 112) : QRectF(80, 50, 96, 96);
    QLinearGradient warm(cover.topLeft(), cover.bottomRight());
    warm.setColorAt(0.0, QColor(255, 196, 84));
    warm.setColorAt(0.5, QColor(244, 110, 74));
    warm.setColorAt(1.0, QColor(196, 52, 120));
    painter.setBrush(warm);
    painter.drawRoundedRect(cover, 8, 8);
    const QPointF centre = cover.center();
    const qreal unit = cover.width() / 96.0;
    painter.setBrush(QColor(30, 20, 40, 200));
    painter.drawEllipse(centre, 30 * unit, 30 * unit);
    painter.setBrush(QColor(255, 222, 150));
    painter.drawEllipse(centre, 9 * unit, 9 * unit);
    painter.setBrush(QColor(30, 20, 40));
    painter.drawEllipse(centre, 2.5 * unit, 2.5 * unit);

    if (!small) {
        // The reflection: the cover's lower colours, fading out downwards.
        const QRectF mirrored(cover.left(), cover.bottom() + 4, cover.width(), 36);
        QLinearGradient fade(mirrored.topLeft(), mirrored.bottomLeft());
        fade.setColorAt(0.0, QColor(196, 52, 120, 110));
        fade.setColorAt(1.0, QColor(196, 52, 120, 0));
        painter.setBrush(fade);
        painter.drawRect(mirrored);
    }

    // The progress bar: a dim track, two thirds played.
    const qreal barTop = small ? 184 : 196;
    const qreal barHeight = small ? 16 : 10;
    const QRectF track(56, barTop, 144, barHeight);
    painter.setBrush(QColor(255, 255, 255, 70));
    painter.drawRoundedRect(track, barHeight / 2, barHeight / 2);
    painter.setBrush(QColor(240, 240, 248));
    painter.drawRoundedRect(QRectF(track.left(), track.top(), track.width() * 2 / 3, barHeight),
                            barHeight / 2, barHeight / 2);
}

bool writeSvg(const QString &path)
{
    // QSvgGenerator stamps no date, so the file is the same at every run.
    QSvgGenerator generator;
    generator.setFileName(path);
    generator.setSize(QSize(kDesign, kDesign));
    generator.setViewBox(QRect(0, 0, kDesign, kDesign));
    generator.setTitle(QStringLiteral("Coverlume"));
    generator.setDescription(QStringLiteral("A small display showing a lit album cover"));
    QPainter painter(&generator);
    drawIcon(painter, false);
    return painter.end();
}

bool writePng(const QString &folder, int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.scale(side / double(kDesign), side / double(kDesign));
        drawIcon(painter, side < 32);
    }
    const QString dir = QStringLiteral("%1/%2x%2").arg(folder).arg(side);
    return QDir().mkpath(dir) && image.save(dir + QLatin1Char('/') + kName + QStringLiteral(".png"));
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon ICON_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder) || !writeSvg(folder + QLatin1Char('/') + kName + QStringLiteral(".svg"))) {
        std::fprintf(stderr, "make_icon: cannot write the SVG into %s\n", argv[1]);
        return 1;
    }
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        if (!writePng(folder, side)) {
            std::fprintf(stderr, "make_icon: cannot write the %d px icon\n", side);
            return 1;
        }
    }
    return 0;
}
