#include "platform/ScriptService.h"

Script::Script(ScriptService &service, QString source)
    : m_service(&service), m_source(std::move(source)), m_compiled(m_service->compile(m_source))
{
}

ScriptResult Script::execute(QString *error) const
{
    // Run even when compiling failed: the service gives its own error then,
    // and the caller treats the missing result like any other.
    return m_service->execute(m_source, error);
}
