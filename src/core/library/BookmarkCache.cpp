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
    // The item count is not known before the array is read: guess it from the size of the file
    // (about 450 bytes a bookmark), within reason.
    cache.bookmarks.reserve(std::clamp<qsizetype>(bytes.size() / 400, 16, 200000));
    const QString itemsPath = QStringLiteral("bookmarks");
    qsizetype index = 0;
    for (auto item : *items) {
        json::od::value value;
        if (!json::element(item, value, status, itemsPath, index))
            break;
        BookmarkEntry entry;
        SongRecordCodec::decode(value, SongRecordCodec::Required::BookmarkFields, entry, status, itemsPath,
                                index++);
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
