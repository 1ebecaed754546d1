// The viewer's annotation files, one per PDF.

#include "FuzzSupport.h"
#include "core/annotations/PdfEditCacheFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    checkRoundTrip(fuzzInput(data, size), PdfEditCacheCodec::decode, PdfEditCacheCodec::encode,
                   std::equal_to<>());
    return 0;
}
