#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The neighbour table in text form. Pure functions; any thread.
namespace ArpTable {

// The candidates of an "arp -a" text: for every line whose first ")"
// follows its first "(", the text between them, when it is a dotted-quad
// IPv4 address. Anything else between the parentheses is logged and
// skipped. In table order, duplicates kept.
QStringList candidateAddresses(const QString &arpText);

// Linux's /proc/net/arp written as "arp -a" would print it, one
// "? (ADDRESS) at HWADDRESS [ether] on DEVICE" line per entry
// ("at (incomplete)" for an entry without a hardware address). The header
// and malformed lines are dropped.
QString fromKernelTable(const QByteArray &procNetArp);

// True for four decimal parts of 0 to 255 separated by dots, and nothing else.
bool isDottedQuad(const QString &text);

} // namespace ArpTable
