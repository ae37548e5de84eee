#include "session/NoPlayerScripts.h"

#include "platform/Log.h"

void NoPlayerScripts::tellOnce()
{
    if (m_told)
        return;
    m_told = true;
    qCInfo(lcApp, "no player backend: showing no player");
}

bool NoPlayerScripts::compile(const QString &)
{
    tellOnce();
    return true;
}

ScriptResult NoPlayerScripts::execute(const QString &, QString *error)
{
    tellOnce();
    if (error)
        *error = QStringLiteral("no player backend");
    return {};
}
