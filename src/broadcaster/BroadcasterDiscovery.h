#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

class ArpSource;
class BroadcasterHelperDelegate;
class DefaultsStore;
class QNetworkAccessManager;
class QObject;

// Finds broadcasters: reads the neighbour table and the saved
// "knownBroadcasters", probes every candidate (never one whose probe is
// still out), and saves the candidates for the next start. Answers go to
// the delegate. Exchanges live in the given context, which must outlive
// them (its owner deletes it, and them with it). The ARP source is owned;
// the settings store is not. Main thread.
class BroadcasterDiscovery
{
public:
    BroadcasterDiscovery(BroadcasterHelperDelegate &delegate, QObject &context);
    ~BroadcasterDiscovery();

    void setArpSource(std::unique_ptr<ArpSource> source); // null: none
    void setDefaults(DefaultsStore *defaults);            // null: none; not owned
    DefaultsStore *defaults() const { return m_defaults; }

    // Reads the table and probes every candidate.
    void findBroadcastService();
    // One exchange with the address; the answer goes to the delegate.
    void probe(const QString &address);

    QStringList knownBroadcasters() const { return m_knownBroadcasters; }
    int probesSent() const { return m_probesSent; }
    bool isWaitingFor(const QString &address) const { return m_inFlight.value(address) > 0; }

    // "http://ADDRESS:45055" for a dotted-quad address; empty for anything else.
    static QString baseAddress(const QString &ipv4);
    static bool isBaseAddress(const QString &text);
    static bool addKnownBroadcaster(DefaultsStore &defaults, const QString &address,
                                    QString *base, QString *error);

private:
    void readCompleted(const QString &arpText);
    QStringList savedBroadcasters();
    void saveBroadcasters();
    QNetworkAccessManager &manager();

    BroadcasterHelperDelegate &m_delegate;
    QObject &m_context;
    std::unique_ptr<ArpSource> m_arp;
    DefaultsStore *m_defaults = nullptr;
    QNetworkAccessManager *m_manager = nullptr; // a child of the context

    QStringList m_knownBroadcasters; // in the order first seen
    QHash<QString, int> m_inFlight;  // exchanges running, per address
    QSet<QString> m_reportedSkips;
    int m_probesSent = 0;
};
