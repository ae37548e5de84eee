// The page-text clean-ups of the lyrics scrapers over any text.

#include "FuzzSupport.h"
#include "lyrics/HtmlText.h"

COVERLUME_FUZZ_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::bytes(data, size));
    const QString decoded = HtmlText::unescapeFromHtml(text);
    FuzzSupport::require(decoded.size() <= text.size(), "decoding never lengthens");
    (void)HtmlText::unescapeString(text);
    const QString stripped = HtmlText::stripATags(text);
    FuzzSupport::require(stripped.size() <= text.size(), "stripping never lengthens");
    const QString address = HtmlText::cleanForAddress(text);
    FuzzSupport::require(!address.contains(u' ') && !address.contains(u'?') && !address.contains(u'&'),
                         "no space, '?' or '&' in an address fragment");
    (void)HtmlText::containsIgnoringCase(text.split(u'\n'), text.section(u'\n', 0, 0));
    return 0;
}
