#include "library/BookmarkCache.h"

#include "library/SongRecordCodec.h"
#include "text/TextUtils.h"

namespace BookmarkCacheCodec {

Result<BookmarkCache> decode(const QByteArray &bytes)
{
    json::JsonDocument document;
    if (!document.parse(bytes))
        return Result<BookmarkCache>::failure(document.error());

    json::DecodeStatus status;
    json::ObjectReader in(document.root(), status);
    BookmarkCache cache;
    in.optional("selectedFolder", cache.selectedFolder);
    double savedAt = 0;
    in.required("savedAt", savedAt);
    const auto items = in.requiredArray("bookmarks");
    if (!status.ok())
        return Result<BookmarkCache>::failure(status.error());

    cache.savedAt = TextUtils::fromReferenceSeconds(savedAt);
    cache.bookmarks.reserve(qsizetype(items->size()));
    const QString itemsPath = QStringLiteral("bookmarks");
    qsizetype index = 0;
    for (simdjson::dom::element item : *items) {
        BookmarkEntry entry;
        SongRecordCodec::decode(item, SongRecordCodec::Required::BookmarkFields, entry, status, itemsPath,
                                index++);
        if (!status.ok())
            return Result<BookmarkCache>::failure(status.error());
        cache.bookmarks.append(std::move(entry));
    }
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
