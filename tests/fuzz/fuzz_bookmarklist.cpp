// Slot files, the bookmark cache and imported bookmark lists: one reader for all three.

#include "FuzzSupport.h"
#include "core/library/BookmarkCache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Result<BookmarkCache> first = BookmarkCacheCodec::decode(fuzzInput(data, size));
    if (!first)
        return 0;
    // What was read is written and read back unchanged, and writing that again gives the same bytes.
    const std::optional<QByteArray> written = BookmarkCacheCodec::encode(first.value());
    FUZZ_CHECK(written);
    const Result<BookmarkCache> second = BookmarkCacheCodec::decode(*written);
    FUZZ_CHECK(second);
    FUZZ_CHECK(second->bookmarks == first->bookmarks);
    FUZZ_CHECK(second->selectedFolder == first->selectedFolder);
    FUZZ_CHECK(BookmarkCacheCodec::encode(second.value()) == written);
    return 0;
}
