#pragma once

#include "platform/ScriptService.h"

#include <QSet>
#include <QStringList>

// Counts and records what reaches the stand-ins: scripts created (compiled)
// and run; everything is passed on.
class CountingService : public ScriptService
{
public:
    explicit CountingService(ScriptService &inner) : m_inner(inner) {}
    bool compile(const QString &source) override
    {
        ++compiles;
        compiled << source;
        return m_inner.compile(source);
    }
    ScriptResult execute(const QString &source, QString *error) override
    {
        ++executions;
        return m_inner.execute(source, error);
    }
    int compiles = 0;
    int executions = 0;
    QSet<QString> compiled;

private:
    ScriptService &m_inner;
};

// Captures the log lines written while it lives.
class LogCapture
{
public:
    LogCapture() { s_lines.clear(); m_previous = qInstallMessageHandler(handler); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    static bool has(const QString &line) { return s_lines.contains(line); }
    static const QStringList &lines() { return s_lines; }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message) { s_lines << message; }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};
