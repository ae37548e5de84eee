// The head of a request to the companion, as any host on the network may
// send it, whole and cut at every point a read may end.

#include "FuzzSupport.h"
#include "broadcast-server/RequestHead.h"

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray received = FuzzSupport::bytes(data, size);
    const RequestHead whole = RequestHead::parse(received);
    FuzzSupport::require(whole.method.size() <= 16, "method within 16 bytes");
    if (whole.outcome == RequestHead::Outcome::Complete)
        FuzzSupport::require(whole.method == "GET" || whole.method == "HEAD", "only GET and HEAD complete");
    // A complete head stays complete as more bytes arrive after it.
    if (whole.outcome == RequestHead::Outcome::Complete) {
        const RequestHead more = RequestHead::parse(received + "trailing body");
        FuzzSupport::require(more.outcome == whole.outcome && more.path == whole.path,
                             "bytes after a head change nothing");
    }
    for (qsizetype cut = 1; cut < received.size() && cut < 64; ++cut)
        (void)RequestHead::parse(QByteArrayView(received).first(cut));
    return 0;
}
