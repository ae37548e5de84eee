#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into quitRequested() on the main thread, so a run
// stopped from the terminal still writes its outputs and puts standard error
// back. A second signal of either kind ends the process the usual way, in
// case the first could not. One instance per process; main thread only.
class QuitOnSignal : public QObject
{
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject *parent = nullptr);
    ~QuitOnSignal() override; // restores the default handlers

    bool isInstalled() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void quitRequested();

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};
