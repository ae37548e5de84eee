// The label's text fitted into its rectangle: breaks only where a line may
// break, "…" where text is cut, the artist and album always shown.
#include "text/AttributedTextLayout.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

constexpr double kFont = 40;
const QString kEllipsis(QChar(0x2026));

AttributedString label(const QString &title)
{
    const AttributedStyle style = AttributedStyle().withForeground(Qt::white).withFont(AttributedFont::system(kFont));
    return AttributedString(title + QStringLiteral(" \rThe Band Name \rThe Album Name "), style);
}

double lineHeight()
{
    return AttributedTextLayout(label(QStringLiteral("X"))).naturalSize().height() / 3.0;
}

} // namespace

class TestTextFit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theLabelFitsItsRect_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("lines"); // the rectangle's height in lines
        QTest::addColumn<bool>("words");  // breaks only between words
        QTest::addColumn<bool>("cut");    // the title must end in "…"
        QTest::newRow("fits") << QStringLiteral("Short Title") << 5 << true << false;
        QTest::newRow("one long word") << QStringLiteral("Supercalifragilisticexpialidociousness") << 5 << true << true;
        QTest::newRow("six-line title")
            << QStringLiteral("A very long title that goes on and on about the sea and the night and the stars above the harbour")
            << 5 << true << true;
        QTest::newRow("no room but one line")
            << QStringLiteral("A title of several words that needs two lines") << 3 << true << true;
        QTest::newRow("CJK") << QStringLiteral("東京の夜空に輝く星たちの歌声を聴きながら静かに眠る夜の物語") << 4 << false << true;
        QTest::newRow("Arabic") << QStringLiteral("أغنية طويلة جدا عن البحر والليل والنجوم في السماء الواسعة فوق المدينة") << 4 << true << true;
        QTest::newRow("emoji") << QStringLiteral("🎵🎶 Dancing 💃 in the moonlight 🌙 all night long until the morning 🎉") << 4 << true << true;
    }
    void theLabelFitsItsRect()
    {
        QFETCH(QString, title);
        QFETCH(int, lines);
        QFETCH(bool, words);
        QFETCH(bool, cut);
        const double width = 400;
        const QSizeF size(width, lines * lineHeight() + 1);
        const AttributedTextLayout layout(label(title));
        const QStringList shown = layout.fittedLines(size);

        QVERIFY2(shown.size() <= lines && shown.size() >= 3, qPrintable(shown.join(u'|')));
        QCOMPARE(shown.at(shown.size() - 2).trimmed(), QStringLiteral("The Band Name"));
        QCOMPARE(shown.last().trimmed(), QStringLiteral("The Album Name"));
        const QStringList titleLines = shown.mid(0, shown.size() - 2);
        QCOMPARE(titleLines.last().trimmed().endsWith(kEllipsis), cut);
        // Each title line starts where the last one ended, and breaks at a
        // space unless it is cut.
        qsizetype at = 0;
        for (const QString &line : titleLines) {
            const QString text = line.trimmed();
            if (text.endsWith(kEllipsis)) {
                QVERIFY(title.mid(at).trimmed().startsWith(text.chopped(1)));
                break;
            }
            at = title.indexOf(text, at);
            QVERIFY2(at >= 0, qPrintable(text));
            at += text.size();
            if (words)
                QVERIFY2(at == title.size() || title.at(at).isSpace(), qPrintable(text));
        }

        // Nothing is drawn past the rectangle's right edge.
        QImage image(int(width) + 60, int(size.height()) + 10, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            layout.drawFitted(&painter, QRectF(QPointF(0, 0), size));
        }
        for (int y = 0; y < image.height(); ++y)
            for (int x = int(width) + 2; x < image.width(); ++x)
                QVERIFY2(qAlpha(image.pixel(x, y)) == 0, qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
    }
};

QTEST_MAIN(TestTextFit)
#include "tst_textfit.moc"
