#include "broadcaster/BroadcasterDiscovery.h"

#include "broadcaster/ArpSource.h"
#include "broadcaster/ArpTable.h"
#include "broadcaster/BroadcastProtocol.h"
#include "broadcaster/CoverlumeBroadcasterHelperURL.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"

#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>

namespace {

const QString kKnownBroadcastersKey = QStringLiteral("knownBroadcasters");

} // namespace

BroadcasterDiscovery::BroadcasterDiscovery(BroadcasterHelperDelegate &delegate, QObject &context)
    : m_delegate(delegate)
    , m_context(context)
{
}

BroadcasterDiscovery::~BroadcasterDiscovery() = default;

void BroadcasterDiscovery::setArpSource(std::unique_ptr<ArpSource> source)
{
    m_arp = std::move(source);
}

void BroadcasterDiscovery::setDefaults(DefaultsStore *defaults)
{
    m_defaults = defaults;
}

QString BroadcasterDiscovery::baseAddress(const QString &ipv4)
{
    if (!ArpTable::isDottedQuad(ipv4))
        return {};
    return QStringLiteral("http://%1:%2").arg(ipv4).arg(BroadcastProtocol::port);
}

bool BroadcasterDiscovery::isBaseAddress(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^http://([0-9.]+):45055$"));
    const QRegularExpressionMatch match = form.match(text);
    return match.hasMatch() && ArpTable::isDottedQuad(match.captured(1));
}

bool BroadcasterDiscovery::addKnownBroadcaster(DefaultsStore &defaults, const QString &address,
                                               QString *base, QString *error)
{
    const QString text = address.trimmed();
    const QString entry = isBaseAddress(text) ? text : baseAddress(text);
    if (entry.isEmpty()) {
        if (error)
            *error = QStringLiteral("'%1' is not an IPv4 address like 192.168.1.7").arg(address);
        return false;
    }
    if (base)
        *base = entry;
    // Added to the list the file holds now, under the writer lock: other
    // processes add theirs at the same time. Success is what reads back.
    defaults.update(kKnownBroadcastersKey, [&entry](const QVariant &stored) {
        QVariantList entries = stored.toList();
        if (!entries.contains(QVariant(entry)))
            entries << entry;
        return QVariant(entries);
    });
    defaults.synchronize();
    if (!defaults.arrayValue(kKnownBroadcastersKey).contains(QVariant(entry))) {
        if (error)
            *error = QStringLiteral("cannot save the settings in '%1'").arg(defaults.filePath());
        return false;
    }
    return true;
}

void BroadcasterDiscovery::findBroadcastService()
{
    // The table is read directly and at once: nothing runs in between, so
    // its text completes the discovery right here.
    readCompleted(m_arp ? m_arp->readTable() : QString());
}

QStringList BroadcasterDiscovery::savedBroadcasters()
{
    QStringList saved;
    if (!m_defaults)
        return saved;
    const QVariantList stored = m_defaults->arrayValue(kKnownBroadcastersKey);
    for (const QVariant &entry : stored) {
        const QString text = entry.toString();
        if (isBaseAddress(text)) {
            saved << text;
        } else if (!m_reportedSkips.contains(text)) {
            m_reportedSkips.insert(text);
            qCWarning(lcBroadcaster, "skipping saved broadcaster '%s': not http://ADDRESS:45055",
                      qUtf8Printable(text.left(80)));
        }
    }
    return saved;
}

void BroadcasterDiscovery::readCompleted(const QString &arpText)
{
    auto add = [this](const QString &address) {
        if (!address.isEmpty() && !m_knownBroadcasters.contains(address))
            m_knownBroadcasters << address;
    };
    for (const QString &saved : savedBroadcasters())
        add(saved);
    for (const QString &neighbour : ArpTable::candidateAddresses(arpText))
        add(baseAddress(neighbour));

    for (const QString &address : std::as_const(m_knownBroadcasters)) {
        // Start runs every frame cycle while nothing plays; a probe still
        // waiting for its answer is not sent again.
        if (m_inFlight.value(address) > 0)
            continue;
        qCInfo(lcBroadcaster, "sending request to %s", qUtf8Printable(address));
        probe(address);
    }
    saveBroadcasters();
}

void BroadcasterDiscovery::saveBroadcasters()
{
    if (!m_defaults)
        return;
    // Only the addresses the file lacks are added, to the file's own list:
    // one added by hand or by another process meanwhile stays.
    const auto missingFrom = [this](const QVariantList &entries) {
        QStringList missing;
        for (const QString &address : std::as_const(m_knownBroadcasters)) {
            if (!entries.contains(QVariant(address)))
                missing << address;
        }
        return missing;
    };
    if (missingFrom(m_defaults->arrayValue(kKnownBroadcastersKey)).isEmpty())
        return;
    // Entries that are no broadcaster's address are not written back.
    m_defaults->update(kKnownBroadcastersKey, [&missingFrom](const QVariant &stored) {
        QVariantList entries;
        for (const QVariant &entry : stored.toList()) {
            if (isBaseAddress(entry.toString()))
                entries << entry;
        }
        for (const QString &address : missingFrom(entries))
            entries << address;
        return QVariant(entries);
    });
}

QNetworkAccessManager &BroadcasterDiscovery::manager()
{
    if (!m_manager) {
        m_manager = new QNetworkAccessManager(&m_context);
        m_manager->setProxy(QNetworkProxy::NoProxy); // broadcasters are on the LAN
        QObject::connect(m_manager, &QNetworkAccessManager::authenticationRequired,
                         [](QNetworkReply *, QAuthenticator *challenge) {
                             // No credential is offered: the refusal ends the exchange.
                             qCInfo(lcBroadcaster,
                                    "received authentication challenge, error:%s, proposedCredential user:%s",
                                    "(null)", qUtf8Printable(challenge->user()));
                         });
    }
    return *m_manager;
}

void BroadcasterDiscovery::probe(const QString &address)
{
    auto *exchange = new CoverlumeBroadcasterHelperURL(&m_delegate, manager(), &m_context);
    ++m_inFlight[address];
    ++m_probesSent;
    QObject::connect(exchange, &CoverlumeBroadcasterHelperURL::ended, &m_context,
                     [this](const QString &ended) {
                         if (--m_inFlight[ended] <= 0)
                             m_inFlight.remove(ended);
                     });
    exchange->sendGetRequestTo(address);
}
