// Neighbour tables: "arp -a" text and the kernel's table, both of which the
// discovery reads and neither of which it writes.

#include "FuzzSupport.h"
#include "broadcaster/ArpTable.h"

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = FuzzSupport::bytes(data, size);
    const QStringList fromText = ArpTable::candidateAddresses(QString::fromUtf8(bytes));
    const QString kernel = ArpTable::fromKernelTable(bytes);
    const QStringList fromKernel = ArpTable::candidateAddresses(kernel);
    for (const QStringList *list : {&fromText, &fromKernel}) {
        for (const QString &address : *list)
            FuzzSupport::require(ArpTable::isDottedQuad(address), "candidates are dotted quads");
    }
    return 0;
}
