// Scenario files: a simulated world any user may hand the display with
// --players. Images named by the file are looked for in an empty folder.

#include "FuzzSupport.h"
#include "players/Scenario.h"

#include <QTemporaryDir>

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QTemporaryDir folder;
    QString error;
    const std::optional<Scenario> scenario =
        Scenario::parse(FuzzSupport::bytes(data, size), folder.filePath(QStringLiteral("fuzz.json")), &error);
    FuzzSupport::require(scenario.has_value() != !error.isEmpty(), "a refusal says why, a success does not");
    FuzzSupport::require(!error.contains(u'\n'), "a refusal is one line");
    return 0;
}
