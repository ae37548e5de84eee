// Scenario files: a simulated world any user may hand the display with
// --players. Images are looked for in a folder holding one, "cover.png".

#include "FuzzSupport.h"
#include "players/Scenario.h"

#include <QImage>
#include <QTemporaryDir>

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QTemporaryDir folder;
    static const bool withCover = QImage(4, 4, QImage::Format_RGB32).save(folder.filePath(QStringLiteral("cover.png")));
    FuzzSupport::require(withCover, "the cover for the scenarios is written");
    QString error;
    const std::optional<Scenario> scenario =
        Scenario::parse(FuzzSupport::bytes(data, size), folder.filePath(QStringLiteral("fuzz.json")), &error);
    FuzzSupport::require(scenario.has_value() != !error.isEmpty(), "a refusal says why, a success does not");
    FuzzSupport::require(!error.contains(u'\n'), "a refusal is one line");
    return 0;
}
