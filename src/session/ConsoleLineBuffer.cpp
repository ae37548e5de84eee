#include "session/ConsoleLineBuffer.h"

bool ConsoleLineBuffer::isShown(const QString &line)
{
    // Lines carrying this marker are known noise; the console leaves them out.
    return !line.contains(QLatin1String("extractOptions:"));
}

void ConsoleLineBuffer::take(QString line, QStringList &out) const
{
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    if (isShown(line))
        out.append(line);
}

QStringList ConsoleLineBuffer::feed(const QByteArray &bytes)
{
    QStringList lines;
    m_partial += m_decoder.decode(bytes);

    qsizetype start = 0;
    for (qsizetype end = m_partial.indexOf(QLatin1Char('\n')); end >= 0;
         end = m_partial.indexOf(QLatin1Char('\n'), start)) {
        take(m_partial.mid(start, end - start), lines);
        start = end + 1;
    }
    m_partial.remove(0, start);

    while (m_partial.size() > maxLineChars) {
        // Never cut between the two halves of a surrogate pair.
        const qsizetype cut = m_partial.at(maxLineChars - 1).isHighSurrogate()
            ? maxLineChars - 1 : maxLineChars;
        take(m_partial.left(cut), lines);
        m_partial.remove(0, cut);
    }
    return lines;
}

QStringList ConsoleLineBuffer::flush()
{
    QStringList lines;
    if (!m_partial.isEmpty())
        take(m_partial, lines);
    m_partial.clear();
    // An unfinished character at the very end can never complete.
    m_decoder.resetState();
    return lines;
}
