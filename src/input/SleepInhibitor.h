#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// Keeps the display from sleeping and the screensaver from starting. Holding
// may be answered later; the handler hears the outcome. Main thread only.
class SleepInhibitor
{
public:
    enum class Change {
        Held,    // the hold asked for is in force
        Refused, // it could not be had; ask again later
        Lost     // a hold in force ended without being released
    };

    virtual ~SleepInhibitor() = default;
    // Asks for the hold; at most one is asked for or held at a time.
    virtual void hold() = 0;
    // Ends the hold, or the request for it: an answer still to come is
    // released when it arrives and is not reported.
    virtual void release() = 0;

    void setHandler(std::function<void(Change)> handler) { m_handler = std::move(handler); }

protected:
    void report(Change change)
    {
        if (m_handler)
            m_handler(change);
    }

private:
    std::function<void(Change)> m_handler;
};

// Holds at once and never loses it: headless runs, which have no display
// to keep awake, and tests (which can make it refuse).
class ScriptedInhibitor final : public SleepInhibitor
{
public:
    bool refuse = false;
    bool held = false;
    int holds = 0; // holds granted
    void hold() override;
    void release() override { held = false; }
    // The hold ends by itself (the service went away).
    void lose();
};

// The screensaver service of the session bus (org.freedesktop.ScreenSaver):
// Inhibit, whose cookie UnInhibit later gives back on the same connection.
// Asked without waiting, since starting the service can take long. A
// service that leaves the bus takes its holds with it: reported as lost.
class ScreenSaverInhibitor final : public QObject, public SleepInhibitor
{
public:
    static const QString service;
    static const QString path;

    explicit ScreenSaverInhibitor(QDBusConnection bus);
    ~ScreenSaverInhibitor() override; // releases

    void hold() override;
    void release() override;

    // The service is on the bus, or can be started by it.
    static bool available(QDBusConnection bus);

private:
    struct Ticket; // one hold asked for; shared with its pending answer
    void ownerChanged(const QString &oldOwner);

    QDBusConnection m_bus;
    std::shared_ptr<Ticket> m_ticket;
};

// The X server's screensaver extension, suspended: on a window manager
// without a screensaver service it also holds off display power saving.
class XcbSuspendInhibitor final : public SleepInhibitor
{
public:
    static std::unique_ptr<XcbSuspendInhibitor> create(); // null off X11
    ~XcbSuspendInhibitor() override;
    void hold() override;
    void release() override;

private:
    XcbSuspendInhibitor() = default;
    void suspend(bool on);
    bool m_suspended = false;
};

// No way to keep the display awake here: every hold is refused, and that is
// said once.
class NoInhibitor final : public SleepInhibitor
{
public:
    void hold() override;
    void release() override {}

private:
    bool m_said = false;
};

// This desktop's inhibitor: the screensaver service, else (X11 only) the
// extension, else none.
std::unique_ptr<SleepInhibitor> makeSleepInhibitor(QDBusConnection bus);
