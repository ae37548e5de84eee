#pragma once

#include "platform/ScriptService.h"
#include "support/LogCapture.h"

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
