#pragma once

#include "broadcaster/ArpSource.h"

#include <QString>

// The kernel's neighbour table (/proc/net/arp), or the file named by
// COVERLUME_ARP_FIXTURE when that is set, which then replaces the table
// entirely (a missing fixture reads as an empty table, never as the real
// one). Read directly, with no child process and no name look-ups. Only
// the application installs it. Main thread.
class SystemArpSource final : public ArpSource
{
public:
    static constexpr qint64 maxTableBytes = 1024 * 1024;

    SystemArpSource();
    QString readTable() override;
    const QString &path() const { return m_path; }

private:
    QString m_path;
};
