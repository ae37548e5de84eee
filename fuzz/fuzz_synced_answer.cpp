// The synced-lyrics service's answers (one track, or a search), read with a
// duration taken from the input's first byte.

#include "FuzzSupport.h"
#include "lyrics/SyncedLyrics.h"

COVERLUME_FUZZ_APPLICATION

namespace {
void check(const std::optional<SyncedLyrics::Answer> &answer)
{
    if (!answer)
        return;
    FuzzSupport::require(answer->synced.lines.size() == answer->synced.timesMs.size(), "one time per line");
    FuzzSupport::require(answer->synced.lines.size() <= LrcText::kMaxLines, "line count within its cap");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Reader reader(data, size);
    const qint64 duration = reader.byte();
    const QByteArray body = reader.rest();
    QString why;
    check(SyncedLyrics::readGet(body, &why));
    check(SyncedLyrics::readSearch(body, duration, &why));
    return 0;
}
