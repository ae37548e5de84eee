#pragma once

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QtGlobal>
#include <memory>

// How long the user has left keyboard and pointer alone. Main thread only.
class IdleSource
{
public:
    virtual ~IdleSource() = default;
    // Milliseconds since the last input; -1 when it cannot be read.
    virtual qint64 idleMs() = 0;
};

// The reading a headless run or a test sets.
class ScriptedIdleSource final : public IdleSource
{
public:
    qint64 ms = 0;
    qint64 idleMs() override { return ms; }
};

// The session's idle time over D-Bus: GNOME's idle monitor, else the
// screensaver service's session idle time (KDE and others). Which one
// answers is found at the first reading and kept; each call waits at most
// timeoutMs. With neither, every reading is -1 (logged once). A service that
// does not answer in time is left alone for quietMs (readings are -1), so a
// hung service costs one time-out, not one a frame.
class DBusIdleSource final : public IdleSource
{
public:
    static constexpr int defaultTimeoutMs = 250;
    static constexpr int quietMs = 5000;
    explicit DBusIdleSource(QDBusConnection bus, int timeoutMs = defaultTimeoutMs);
    qint64 idleMs() override;

    enum class Backend { Unprobed, IdleMonitor, ScreenSaver, None };
    Backend backend() const { return m_backend; }

private:
    struct Answer
    {
        qint64 ms = -1;
        bool timedOut = false;
    };
    Answer ask(Backend backend) const;

    QDBusConnection m_bus;
    int m_timeoutMs;
    Backend m_backend = Backend::Unprobed;
    QDeadlineTimer m_quiet{0};
};

// The X server's screensaver extension on Qt's own connection.
class XcbIdleSource final : public IdleSource
{
public:
    // Null when Qt does not run on X11 or the server lacks the extension.
    static std::unique_ptr<XcbIdleSource> create();
    qint64 idleMs() override;

private:
    XcbIdleSource() = default;
};

// The session runs under Wayland, whatever platform Qt itself runs on
// (without the Wayland plugin Qt runs on Xwayland there, which does not see
// the input of native windows).
bool isWaylandSession();

// This desktop's source: the X11 extension in an X11 session, else D-Bus.
std::shared_ptr<IdleSource> makeSystemIdleSource(QDBusConnection bus);
