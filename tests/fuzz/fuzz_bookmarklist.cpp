// Slot files, the bookmark cache and imported bookmark lists: one reader for all three.

#include "FuzzSupport.h"
#include "core/bookmarks/BookmarkCache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input = fuzzInput(data, size);
    // A large list is read on several threads, a small one row after row; both read any list alike.
    // Every input is read both ways here.
    BookmarkCacheCodec::setSeveralThreadsBytesForTesting(1);
    const Result<BookmarkCache> onThreads = BookmarkCacheCodec::decode(input);
    BookmarkCacheCodec::setSeveralThreadsBytesForTesting(0);
    const Result<BookmarkCache> inOrder = BookmarkCacheCodec::decode(input);
    FUZZ_CHECK(bool(onThreads) == bool(inOrder));
    if (onThreads)
        FUZZ_CHECK(onThreads.value().bookmarks == inOrder.value().bookmarks &&
                   onThreads.value().selectedFolder == inOrder.value().selectedFolder);
    else
        FUZZ_CHECK(onThreads.error().message == inOrder.error().message);
    // The time of saving is written in its own precision; the list and folder come back as they were.
    checkRoundTrip(input, BookmarkCacheCodec::decode, BookmarkCacheCodec::encode,
                   [](const BookmarkCache &a, const BookmarkCache &b) {
                       return a.bookmarks == b.bookmarks && a.selectedFolder == b.selectedFolder;
                   });
    return 0;
}
