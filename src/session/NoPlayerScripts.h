#pragma once

#include "platform/ScriptService.h"

// The script service of a run with no player backend: every script compiles
// and none gets an answer, so the display shows that nothing plays. Says so
// in the log once, the first time it is used. Main thread only.
class NoPlayerScripts final : public ScriptService
{
public:
    bool compile(const QString &source) override;
    ScriptResult execute(const QString &source, QString *error = nullptr) override;

private:
    void tellOnce();

    bool m_told = false;
};
