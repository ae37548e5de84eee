#pragma once

// Every message logged in this process while it lives, in order, for tests
// that count or look for log lines. One at a time; main thread only.

#include <QStringList>
#include <QtGlobal>

class LogCapture
{
public:
    LogCapture() : m_previous(qInstallMessageHandler(&LogCapture::handle)) { s_lines.clear(); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    static QStringList lines() { return s_lines; }
    static bool has(const QString &line) { return s_lines.contains(line); }
    static void clear() { s_lines.clear(); }

private:
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message) { s_lines << message; }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};
