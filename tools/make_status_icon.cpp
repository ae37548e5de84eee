// Draws resources/status_icon.png: the tray glyph, a rounded record sleeve
// with a disc half out of it and a note on the sleeve. White shapes with a
// dark outline, so the glyph stays legible on light and dark panels alike.
//
// Build and run by hand (it is not part of the normal build):
//   g++ -std=c++20 -fPIC tools/make_status_icon.cpp \
//       $(pkg-config --cflags --libs Qt6Gui) -o /tmp/make_status_icon
//   QT_QPA_PLATFORM=offscreen /tmp/make_status_icon resources/status_icon.png

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

constexpr int kSize = 64;

QPainterPath sleevePath()
{
    QPainterPath path;
    path.addRoundedRect(QRectF(6, 14, 38, 38), 6, 6);
    return path;
}

QPainterPath discPath()
{
    QPainterPath disc;
    disc.addEllipse(QPointF(40, 33), 19, 19);
    QPainterPath hole;
    hole.addEllipse(QPointF(40, 33), 4, 4);
    return disc.subtracted(hole);
}

QPainterPath notePath()
{
    // An eighth note: a tilted head, a stem and a flag.
    QPainterPath head;
    head.addEllipse(QPointF(20, 42), 6, 4.5);
    QPainterPath stem;
    stem.addRect(QRectF(24, 22, 3, 20));
    QPainterPath flag;
    flag.moveTo(27, 22);
    flag.cubicTo(32, 24, 36, 28, 33, 34);
    flag.cubicTo(33, 30, 30, 28, 27, 28);
    flag.closeSubpath();
    return head.united(stem).united(flag);
}

void drawOutlined(QPainter &painter, const QPainterPath &path)
{
    painter.setPen(QPen(QColor(20, 20, 20), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::white);
    painter.drawPath(path);
}

QImage drawIcon()
{
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // The disc sits behind the sleeve; only the part outside it shows.
    drawOutlined(painter, discPath().subtracted(sleevePath()));
    drawOutlined(painter, sleevePath());

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 20, 20));
    painter.drawPath(notePath());
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_status_icon OUTPUT.png\n");
        return 2;
    }
    if (!drawIcon().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "make_status_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
