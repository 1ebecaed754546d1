// The viewer's annotation files, one per PDF.

#include "FuzzSupport.h"
#include "core/annotations/PdfEditCacheFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Result<PdfEditCacheFile> first = PdfEditCacheCodec::decode(fuzzInput(data, size));
    if (!first)
        return 0;
    const std::optional<QByteArray> written = PdfEditCacheCodec::encode(first.value());
    FUZZ_CHECK(written);
    const Result<PdfEditCacheFile> second = PdfEditCacheCodec::decode(*written);
    FUZZ_CHECK(second);
    FUZZ_CHECK(second.value() == first.value());
    FUZZ_CHECK(PdfEditCacheCodec::encode(second.value()) == written);
    return 0;
}
