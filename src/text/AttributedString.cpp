#include "text/AttributedString.h"

#include "platform/Log.h"

#include <algorithm>

namespace {

QString cappedText(const QString &text, qsizetype room)
{
    if (text.size() <= room)
        return text;
    qCWarning(lcText, "attributed string cut at %d characters", AttributedString::kMaxLength);
    qsizetype keep = std::max<qsizetype>(room, 0);
    // Never leave half a surrogate pair behind.
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep);
}

} // namespace

AttributedString::AttributedString(const QString &text)
    : AttributedString(text, AttributedStyle())
{
}

AttributedString::AttributedString(const QString &text, const AttributedStyle &style)
    : m_text(cappedText(text, kMaxLength))
{
    appendSpan(length(), style);
}

AttributedString AttributedString::attachment(const QImage &image, const QSizeF &sizePoints)
{
    AttributedStyle style;
    style.attachment = AttributedStyle::Attachment{image, sizePoints};
    return AttributedString(QString(QChar(kAttachmentCharacter)), style);
}

void AttributedString::append(const AttributedString &other)
{
    const QString added = cappedText(other.m_text, kMaxLength - length());
    m_text += added;
    int remaining = int(added.size());
    for (const Span &span : other.m_spans) {
        if (remaining <= 0)
            break;
        const int take = std::min(span.length, remaining);
        appendSpan(take, span.style); // merges at the junction; the rest is merged already
        remaining -= take;
    }
}

void AttributedString::append(const QString &text)
{
    const AttributedStyle style = m_spans.isEmpty() ? AttributedStyle() : m_spans.last().style;
    const QString added = cappedText(text, kMaxLength - length());
    m_text += added;
    appendSpan(int(added.size()), style);
}

void AttributedString::setAttributes(const AttributedStyle &style)
{
    setAttributes(0, length(), style);
}

void AttributedString::setAttributes(int start, int length, const AttributedStyle &style)
{
    if (!clipRange(start, length, "setAttributes"))
        return;
    const int first = splitAt(start);
    const int end = splitAt(start + length);
    for (int i = first; i < end; ++i)
        m_spans[i].style = style;
    coalesce(first, end);
}

void AttributedString::addAttributes(const AttributedStyle &style)
{
    addAttributes(0, length(), style);
}

void AttributedString::addAttributes(int start, int length, const AttributedStyle &style)
{
    if (!clipRange(start, length, "addAttributes"))
        return;
    const int first = splitAt(start);
    const int end = splitAt(start + length);
    for (int i = first; i < end; ++i)
        m_spans[i].style.merge(style);
    coalesce(first, end);
}

AttributedStyle AttributedString::styleAt(int index) const
{
    if (index < 0)
        return AttributedStyle();
    int offset = 0;
    for (const Span &span : m_spans) {
        if (index < offset + span.length)
            return span.style;
        offset += span.length;
    }
    return AttributedStyle();
}

QList<AttributedString::Run> AttributedString::runs() const
{
    QList<Run> result;
    result.reserve(m_spans.size());
    int offset = 0;
    for (const Span &span : m_spans) {
        result.append(Run{offset, span.length, span.style});
        offset += span.length;
    }
    return result;
}

AttributedString AttributedString::substring(int start, int length) const
{
    AttributedString result;
    if (!clipRange(start, length, "substring"))
        return result;
    result.m_text = m_text.mid(start, length);
    int offset = 0;
    for (const Span &span : m_spans) {
        const int from = std::max(offset, start);
        const int to = std::min(offset + span.length, start + length);
        if (from < to)
            result.appendSpan(to - from, span.style);
        offset += span.length;
    }
    return result;
}

bool AttributedString::isParagraphBreak(QChar c)
{
    return c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator;
}

QList<AttributedString::ParagraphRange> AttributedString::paragraphs() const
{
    QList<ParagraphRange> result;
    int start = 0;
    const int n = length();
    for (int i = 0; i < n; ++i) {
        if (!isParagraphBreak(m_text.at(i)))
            continue;
        const int breakLength = m_text.at(i) == u'\r' && i + 1 < n && m_text.at(i + 1) == u'\n' ? 2 : 1;
        result.append(ParagraphRange{start, i - start, breakLength});
        i += breakLength - 1;
        start = i + 1;
    }
    // Text after the last break is a paragraph of its own; a break at the
    // very end does not open an empty one (it adds no line when drawn).
    if (start < n || result.isEmpty())
        result.append(ParagraphRange{start, n - start, 0});
    return result;
}

bool AttributedString::operator==(const AttributedString &other) const
{
    return m_text == other.m_text && m_spans == other.m_spans;
}

bool AttributedString::clipRange(int &start, int &length, const char *operation) const
{
    const int n = this->length();
    const qint64 end = qint64(start) + qint64(std::max(length, 0));
    const int clippedStart = std::clamp(start, 0, n);
    const int clippedEnd = int(std::clamp<qint64>(end, clippedStart, n));
    if (clippedStart != start || clippedEnd != end || length < 0)
        qCWarning(lcText, "%s: range %d+%d clipped to the text's %d characters", operation,
                  start, length, n);
    start = clippedStart;
    length = clippedEnd - clippedStart;
    return length > 0;
}

int AttributedString::splitAt(int offset)
{
    int spanStart = 0;
    for (int i = 0; i < m_spans.size(); ++i) {
        if (offset == spanStart)
            return i;
        const int spanEnd = spanStart + m_spans[i].length;
        if (offset < spanEnd) {
            Span tail{spanEnd - offset, m_spans[i].style};
            m_spans[i].length = offset - spanStart;
            m_spans.insert(i + 1, tail);
            return i + 1;
        }
        spanStart = spanEnd;
    }
    return int(m_spans.size());
}

void AttributedString::coalesce(int first, int end)
{
    // Only spans [first, end) changed: they may now equal each other or
    // their neighbours on either side.
    const int from = std::max(first, 1);
    const int to = std::min(end, int(m_spans.size()) - 1);
    for (int i = to; i >= from; --i) {
        if (m_spans[i - 1].style == m_spans[i].style) {
            m_spans[i - 1].length += m_spans[i].length;
            m_spans.removeAt(i);
        }
    }
}

void AttributedString::appendSpan(int length, const AttributedStyle &style)
{
    if (length <= 0)
        return;
    if (!m_spans.isEmpty() && m_spans.last().style == style)
        m_spans.last().length += length;
    else
        m_spans.append(Span{length, style});
}
