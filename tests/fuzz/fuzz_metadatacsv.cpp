// Metadata files in CSV, applied to a small library.

#include "FuzzSupport.h"
#include "MetadataLibrary.h"
#include "core/metadata/MetadataImport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = fuzzInput(data, size);
    const Result<QList<MetadataRecord>> records = MetadataImport::parseCSV(bytes);
    if (!records) {
        FUZZ_CHECK(!records.error().message.isEmpty());
        return 0;
    }
    // Valid UTF-8 with every quote closed: the rows can be read.
    FUZZ_CHECK(MetadataImport::csvRows(QString::fromUtf8(bytes)));
    checkApplied(records.value());
    return 0;
}
