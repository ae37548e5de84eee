#pragma once

#include "text/AttributedStyle.h"

#include <QList>
#include <QString>

// Text with attribute runs: the project's own attributed string, built by
// the now-playing engine (title, artist, album, marks, detail lines) and
// drawn by AttributedTextLayout.
//
// Value type; copies are independent. Any thread, one thread per object.
// Every character has a style, possibly empty (drawn with the defaults of
// AttributedStyle). Ranges are in UTF-16 code units, like QString; a range
// reaching outside the text is clipped to it (and logged), never an error.
//
// Paragraphs end at a carriage return (U+000D), a line feed (U+000A), the
// pair CR LF, or U+2029. An attachment is one U+FFFC character whose style
// carries the image; the attachment attribute on any other character is
// ignored when drawing. Text longer than kMaxLength is cut there.
class AttributedString
{
public:
    struct Run
    {
        int start = 0;
        int length = 0;
        AttributedStyle style;
        bool operator==(const Run &other) const = default;
    };

    // One paragraph: its text [start, start + length) and the break that
    // ends it (breakLength 0 for the last paragraph).
    struct ParagraphRange
    {
        int start = 0;
        int length = 0;
        int breakLength = 0;
        bool operator==(const ParagraphRange &other) const = default;
    };

    static constexpr char16_t kAttachmentCharacter = u'\uFFFC';
    // Text beyond this many code units is dropped (and logged) when built
    // or appended: player answers are untrusted and a label never needs more.
    static constexpr int kMaxLength = 1 << 22;

    AttributedString() = default;
    explicit AttributedString(const QString &text); // no attributes
    AttributedString(const QString &text, const AttributedStyle &style);
    static AttributedString attachment(const QImage &image, const QSizeF &sizePoints);

    int length() const { return int(m_text.size()); }
    const QString &string() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }

    void append(const AttributedString &other);
    // The appended text takes the attributes of the last character, or none.
    void append(const QString &text);

    void setAttributes(const AttributedStyle &style); // whole text
    void setAttributes(int start, int length, const AttributedStyle &style);
    void addAttributes(const AttributedStyle &style); // whole text
    void addAttributes(int start, int length, const AttributedStyle &style);

    // The style of one character; the empty style outside the text.
    AttributedStyle styleAt(int index) const;
    // Maximal runs of equal style, in order, covering the whole text.
    QList<Run> runs() const;
    AttributedString substring(int start, int length) const;
    QList<ParagraphRange> paragraphs() const;
    static bool isParagraphBreak(QChar c);

    bool operator==(const AttributedString &other) const;
    bool operator!=(const AttributedString &other) const { return !(*this == other); }

private:
    struct Span
    {
        int length = 0;
        AttributedStyle style;
        bool operator==(const Span &other) const = default;
    };

    bool clipRange(int &start, int &length, const char *operation) const;
    // Makes `offset` a span boundary; returns the index of the span starting there.
    int splitAt(int offset);
    void coalesce(int first, int end); // merges equal neighbours around spans [first, end)
    void appendSpan(int length, const AttributedStyle &style);

    QString m_text;
    QList<Span> m_spans; // lengths add up to m_text.size(); no empty spans
};
