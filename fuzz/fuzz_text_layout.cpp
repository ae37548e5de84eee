// Untrusted titles (players, broadcasters, scenario files) through the text
// layout: measured, wrapped, fitted and drawn. The first two bytes choose
// the width and height of the box.

#include "FuzzSupport.h"
#include "text/AttributedString.h"
#include "text/AttributedStyle.h"
#include "text/AttributedTextLayout.h"

#include <QImage>
#include <QPainter>

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Reader in(data, size);
    const double width = in.byte();
    const double height = in.byte() / 2.0;
    const QString title = QString::fromUtf8(in.rest());
    const AttributedTextLayout layout{AttributedString(title)};
    const QSizeF natural = layout.naturalSize();
    FuzzSupport::require(natural.width() >= 0 && natural.height() >= 0, "no negative size");
    (void)layout.heightForWidth(width);
    (void)layout.lineCountForWidth(width);
    (void)layout.fittedLines(QSizeF(width, height));
    static QImage canvas(64, 32, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    layout.draw(&painter, QRectF(0, 0, width / 4, height / 4));
    layout.drawFitted(&painter, QRectF(0, 0, width / 4, height / 4));
    return 0;
}
