#pragma once

// The script text a receiver understands for an operation, looked up in the
// vocabulary (whose texts are checked against the display's own script sets
// elsewhere), so that tests name scripts by what they ask rather than by
// literal text. Header only.

#include "players/ScriptVocabulary.h"

#include <QString>
#include <QStringList>

inline QString scriptText(const QString &receiver, ScriptVocabulary::Operation operation, int argument = 0)
{
    const auto &all = ScriptVocabulary::all();
    QStringList found;
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        if (it->receiver == receiver && it->operation == operation && it->argument == argument)
            found << it.key();
    }
    if (found.size() != 1)
        qFatal("%lld scripts ask %s for operation %d (%d)", qlonglong(found.size()), qPrintable(receiver),
               int(operation), argument);
    return found.first();
}
