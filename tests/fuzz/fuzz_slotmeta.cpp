// The active slot and the slot names ("slots_meta.json").

#include "FuzzSupport.h"
#include "core/library/SlotStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Result<SlotMeta> first = SlotStore::decodeMeta(fuzzInput(data, size));
    if (!first)
        return 0;
    const QByteArray written = SlotStore::encodeMeta(first.value());
    const Result<SlotMeta> second = SlotStore::decodeMeta(written);
    FUZZ_CHECK(second);
    FUZZ_CHECK(second.value() == first.value());
    FUZZ_CHECK(SlotStore::encodeMeta(second.value()) == written);
    return 0;
}
