#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

// Turns the raw bytes of the program's log output into the lines the
// console shows. Bytes arrive in chunks cut anywhere, so the UTF-8 decoder
// keeps its state across chunks (a character split between two reads comes
// out whole) and a line is only given out once its line feed has come.
// Invalid bytes read as U+FFFD. A line containing "extractOptions:" is
// never given out. A line that grows past maxLineChars without a line feed
// is given out in pieces of that length, so one runaway writer cannot hold
// the console's memory.
//
// Value type; one thread at a time.
class ConsoleLineBuffer
{
public:
    static constexpr qsizetype maxLineChars = 16384;

    // The lines completed by these bytes, without their line ends.
    QStringList feed(const QByteArray &bytes);
    // The unfinished line, if any (for the end of the output).
    QStringList flush();

    const QString &pendingLine() const { return m_partial; }
    static bool isShown(const QString &line);

private:
    void take(QString line, QStringList &out) const;

    QStringDecoder m_decoder{QStringDecoder::Utf8};
    QString m_partial;
};
