#include "broadcaster/ArpTable.h"

#include "platform/Log.h"

#include <QRegularExpression>

namespace ArpTable {

bool isDottedQuad(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    for (int part = 1; part <= 4; ++part) {
        if (match.captured(part).toInt() > 255)
            return false;
    }
    return true;
}

QStringList candidateAddresses(const QString &arpText)
{
    QStringList addresses;
    const QStringList lines = arpText.split(u'\n');
    for (const QString &line : lines) {
        const qsizetype open = line.indexOf(u'(');
        const qsizetype close = line.indexOf(u')');
        if (open < 0 || close < 0 || close < open)
            continue;
        const QString address = line.mid(open + 1, close - open - 1);
        if (!isDottedQuad(address)) {
            qCInfo(lcBroadcaster, "skipping neighbour '%s': not an IPv4 address",
                   qUtf8Printable(address.left(64)));
            continue;
        }
        addresses << address;
    }
    return addresses;
}

QString fromKernelTable(const QByteArray &procNetArp)
{
    // IP address  HW type  Flags  HW address  Mask  Device
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    QString text;
    const QStringList lines = QString::fromUtf8(procNetArp).split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList columns = lines.at(i).split(spaces, Qt::SkipEmptyParts);
        if (columns.size() < 6)
            continue;
        const QString &address = columns.at(0);
        const QString &hardware = columns.at(3);
        const bool incomplete = hardware == QLatin1String("00:00:00:00:00:00");
        text += QStringLiteral("? (%1) at %2 on %3\n")
                    .arg(address,
                         incomplete ? QStringLiteral("(incomplete)") : hardware + QStringLiteral(" [ether]"),
                         columns.at(5));
    }
    return text;
}

} // namespace ArpTable
