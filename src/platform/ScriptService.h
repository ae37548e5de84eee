#pragma once

#include "platform/ScriptResult.h"

#include <QString>

// What a backend knows of one player beyond what its scripts answer. A
// backend that knows nothing of a field leaves it at its default.
struct PlayerFacts
{
    QString identity;       // the player's own name ("mpv"); empty: unknown
    QString location;       // the current track's file URL or address; empty: none
    qint64 positionMs = -1; // the current track's position; -1: unknown
    int seeks = 0;          // seeks seen so far in the current track
    QString noPlayerReason; // one line, when the backend sees no player at all
};

// The inter-application script service: script texts in, result values out.
// Backends are drivers: the simulated players (tests, demos) and the bridge
// to the real players. Main thread only; execute() blocks the caller until
// the answer is in (a backend bounds its own waits).
class ScriptService
{
public:
    virtual ~ScriptService() = default;

    // Checks that a text is a script at all; compile errors are not reported
    // to the user, so this only returns whether it compiled.
    virtual bool compile(const QString &source) = 0;

    // Runs a script. A text the backend does not understand, or whose
    // receiver is not running, gives no result and an error message.
    virtual ScriptResult execute(const QString &source, QString *error = nullptr) = 0;

    // What the backend knows beyond the scripts of the player the scripts
    // call `application` ("Music", "Spotify", …). Default: nothing.
    virtual PlayerFacts playerFacts(const QString &application) const
    {
        Q_UNUSED(application);
        return {};
    }
};

// A script object as the display keeps it in its slots: its text, compiled
// once when created, executed any number of times. The service is not owned
// and must outlive the script. An empty slot is simply a null Script pointer.
class Script
{
public:
    Script(ScriptService &service, QString source);

    const QString &source() const { return m_source; }
    bool isCompiled() const { return m_compiled; }
    ScriptResult execute(QString *error = nullptr) const;

private:
    ScriptService *m_service;
    QString m_source;
    bool m_compiled;
};
