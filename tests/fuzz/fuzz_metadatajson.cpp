// Metadata files in JSON, applied to a small library.

#include "FuzzSupport.h"
#include "MetadataLibrary.h"
#include "core/metadata/MetadataImport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Result<QList<MetadataRecord>> records = MetadataImport::parseJSON(fuzzInput(data, size));
    if (!records) {
        FUZZ_CHECK(!records.error().message.isEmpty());
        return 0;
    }
    checkApplied(records.value());
    return 0;
}
