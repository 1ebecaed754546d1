// The active slot and the slot names ("slots_meta.json").

#include "FuzzSupport.h"
#include "core/slotfiles/SlotStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    checkRoundTrip(
        fuzzInput(data, size), SlotStore::decodeMeta,
        [](const SlotMeta &meta) { return std::optional(SlotStore::encodeMeta(meta)); }, std::equal_to<>());
    return 0;
}
