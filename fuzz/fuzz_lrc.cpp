// Timed lyrics files: the bytes of an ".lrc" beside a track.

#include "FuzzSupport.h"
#include "lyrics/LrcText.h"

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString why;
    const std::optional<SyncedLines> lines = LrcText::readBytes(FuzzSupport::bytes(data, size), &why);
    if (!lines)
        return 0;
    FuzzSupport::require(!lines->isEmpty(), "a result has a timed line");
    FuzzSupport::require(lines->lines.size() == lines->timesMs.size(), "one time per line");
    FuzzSupport::require(lines->lines.size() <= LrcText::kMaxLines, "line count within its cap");
    for (qsizetype i = 0; i < lines->lines.size(); ++i) {
        FuzzSupport::require(lines->lines[i].size() <= LrcText::kMaxLineCharacters, "line within its cap");
        FuzzSupport::require(i == 0 || lines->timesMs[i - 1] <= lines->timesMs[i], "sorted by time");
    }
    return 0;
}
