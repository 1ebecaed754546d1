// Slot files, the bookmark cache and imported bookmark lists: one reader for all three.

#include "FuzzSupport.h"
#include "core/bookmarks/BookmarkCache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The time of saving is written in its own precision; the list and folder come back as they were.
    checkRoundTrip(fuzzInput(data, size), BookmarkCacheCodec::decode, BookmarkCacheCodec::encode,
                   [](const BookmarkCache &a, const BookmarkCache &b) {
                       return a.bookmarks == b.bookmarks && a.selectedFolder == b.selectedFolder;
                   });
    return 0;
}
