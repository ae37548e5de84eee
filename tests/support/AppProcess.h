#pragma once

// The built application (or another program of the build) as a child
// process of the test: run to its end, or started and watched through its
// standard error. Every wait is bounded and ends early on the awaited event.
// Header only: COVERLUME_APP_BINARY is defined for each test binary.

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include "support/TimeFactor.h"

class AppProcess
{
public:
    struct Outcome
    {
        int status = -1; // -1: crashed or did not finish in time
        QString out;
        QString err;
    };

    static QString appBinary() { return QStringLiteral(COVERLUME_APP_BINARY); }

    static QProcessEnvironment environmentWith(const QString &name, const QString &value)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(name, value);
        return environment;
    }

    static Outcome run(const QStringList &arguments,
                       const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                       const QString &program = appBinary())
    {
        AppProcess app(arguments, environment, program);
        Outcome outcome;
        if (!app.process.waitForFinished(TimeFactor::ms(60000))) {
            outcome.err = QStringLiteral("did not finish in time");
            return outcome;
        }
        outcome.status = app.normalExitCode();
        outcome.out = QString::fromUtf8(app.process.readAllStandardOutput());
        outcome.err = QString::fromUtf8(app.process.readAllStandardError());
        return outcome;
    }

    explicit AppProcess(const QStringList &arguments,
                        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                        const QString &program = appBinary())
    {
        process.setProcessEnvironment(environment);
        process.setReadChannel(QProcess::StandardError);
        process.start(program, arguments);
        process.waitForStarted(TimeFactor::ms(10000));
    }

    ~AppProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(TimeFactor::ms(5000));
        }
    }

    AppProcess(const AppProcess &) = delete;
    AppProcess &operator=(const AppProcess &) = delete;

    // Waits until standard error has shown `text` `count` times in all, or
    // the process has ended, or the time is up.
    bool waitForLog(const QByteArray &text, int count = 1, int timeoutMs = 30000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (log.count(text) < count && process.state() != QProcess::NotRunning
               && !deadline.hasExpired()) {
            process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
            log += process.readAllStandardError();
        }
        log += process.readAllStandardError();
        return log.count(text) >= count;
    }

    // SIGTERM, then waits for the end; the exit status is normalExitCode().
    bool terminate(int timeoutMs = 30000)
    {
        process.terminate();
        const bool ended = process.waitForFinished(timeoutMs);
        log += process.readAllStandardError();
        return ended;
    }

    int normalExitCode() const
    {
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QProcess process;
    QByteArray log; // standard error so far, as read by waitForLog() and terminate()
};
