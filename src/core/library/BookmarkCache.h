#pragma once

#include "core/common/Result.h"
#include "core/library/BookmarkEntry.h"

#include <QByteArray>
#include <QDateTime>

#include <optional>

// The stored form of a bookmark list: slot files, the bookmark cache and imported bookmark lists.
struct BookmarkCache {
    std::optional<QString> selectedFolder;
    QDateTime savedAt;
    BookmarkList bookmarks;
};

namespace BookmarkCacheCodec {

// Strict: a missing required key or a value of the wrong type rejects the whole document.
Result<BookmarkCache> decode(const QByteArray &json);

// Compact UTF-8 JSON; "selectedFolder" only when present. Nothing when the list cannot be encoded.
std::optional<QByteArray> encode(const BookmarkCache &cache);

} // namespace BookmarkCacheCodec
