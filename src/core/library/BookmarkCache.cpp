#include "core/library/BookmarkCache.h"

#include "core/library/SongRecordCodec.h"
#include "core/text/TextUtils.h"

#include <algorithm>

namespace BookmarkCacheCodec {

Result<BookmarkCache> decode(const QByteArray &bytes)
{
    json::DecodeStatus status;
    json::JsonDocument document;
    json::od::object root;
    if (!document.open(bytes, status) || !document.rootObject(root, status))
        return Result<BookmarkCache>::failure(status.error());

    json::ObjectReader in(root, status);
    BookmarkCache cache;
    in.optional("selectedFolder", cache.selectedFolder);
    double savedAt = 0;
    in.required("savedAt", savedAt);
    auto items = in.requiredArray("bookmarks");
    if (!status.ok())
        return Result<BookmarkCache>::failure(status.error());

    cache.savedAt = TextUtils::fromReferenceSeconds(savedAt);
    // Room for every row at once: a list grown by doubling would hold two copies of a large library
    // while it moves. The count is the parser's (one walk over the array); no row takes fewer than
    // minimumRowBytes of the file, so a file cannot make it reserve more than its size allows. A
    // malformed array fails the walk, and the document with it: the parser would then give no rows at
    // all, and a damaged file would read as an empty list.
    constexpr qsizetype minimumRowBytes = 96;
    size_t count = 0;
    if (const auto code = items->count_elements().get(count); code != simdjson::SUCCESS) {
        status.fail(QStringLiteral("bookmarks"), code);
        return Result<BookmarkCache>::failure(status.error());
    }
    cache.bookmarks.reserve(std::min(qsizetype(count), bytes.size() / minimumRowBytes + 1));
    json::TextPool pool;
    const QString itemsPath = QStringLiteral("bookmarks");
    qsizetype index = 0;
    for (auto item : *items) {
        json::od::value value;
        if (!json::element(item, value, status, itemsPath, index))
            break;
        BookmarkEntry entry;
        SongRecordCodec::decode(value, SongRecordCodec::Required::BookmarkFields, entry, status, itemsPath,
                                index++, pool);
        if (!status.ok())
            break;
        cache.bookmarks.append(std::move(entry));
    }
    if (!document.finish(status))
        return Result<BookmarkCache>::failure(status.error());
    return cache;
}

std::optional<QByteArray> encode(const BookmarkCache &cache)
{
    // About 450 bytes a bookmark with realistic paths and links.
    json::JsonWriter w(cache.bookmarks.size() * 512 + 256);
    w.beginObject();
    if (cache.selectedFolder) {
        w.key("selectedFolder");
        w.value(*cache.selectedFolder);
    }
    w.key("savedAt");
    w.value(TextUtils::toReferenceSeconds(cache.savedAt));
    w.key("bookmarks");
    w.beginArray();
    for (const BookmarkEntry &entry : cache.bookmarks)
        SongRecordCodec::encode(w, entry);
    w.endArray();
    w.endObject();
    QByteArray bytes = w.take();
    if (bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

} // namespace BookmarkCacheCodec
