// A broadcaster's now-playing body, as any host on the network may send it:
// split into fields, every value read as a number and a flag, and every
// field written back as the companion would and read again.

#include "FuzzSupport.h"
#include "broadcaster/BroadcastText.h"

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QHash<QString, QString> fields = BroadcastText::parseBody(FuzzSupport::bytes(data, size));
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        (void)BroadcastText::integerValue(it.value());
        (void)BroadcastText::booleanValue(it.value());
        const QString cleaned = BroadcastText::cleanValue(it.value());
        FuzzSupport::require(cleaned.size() <= BroadcastText::maxValueLength, "cleaned value within its cap");
        // What the companion writes is read back as one field, unchanged.
        const QHash<QString, QString> again =
            BroadcastText::parseBody(BroadcastText::fieldLine(QStringLiteral("value"), it.value()).toUtf8());
        FuzzSupport::require(again.size() == 1 && again.value(QStringLiteral("value")) == cleaned,
                             "a written field reads back as itself");
    }
    return 0;
}
