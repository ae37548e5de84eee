// Image bytes from players, downloads and broadcasters, decoded under small
// limits so that the limits themselves are what is tested. The first byte
// chooses the bound the layout asks for.

#include "FuzzSupport.h"
#include "artwork/ArtworkDecoder.h"

#include <QImage>

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ArtworkDecoder::Limits limits;
    limits.maxBytes = 256 * 1024;
    limits.maxSourceSide = 2048;
    limits.maxSourcePixels = 1'000'000;
    limits.maxDecodedSide = 512;
    const ArtworkDecoder decoder(limits);
    FuzzSupport::Reader in(data, size);
    const int bound = in.byte() * 4;
    const QImage image = decoder.decode(in.rest(), bound);
    if (image.isNull())
        return 0;
    FuzzSupport::require(image.width() <= limits.maxDecodedSide && image.height() <= limits.maxDecodedSide,
                         "decoded within maxDecodedSide");
    FuzzSupport::require(bound <= 0 || (image.width() <= bound && image.height() <= bound), "decoded within the bound");
    return 0;
}
