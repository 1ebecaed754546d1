#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/common/Result.h"

#include <QByteArray>
#include <QDateTime>

#include <optional>

// The stored form of a bookmark list: slot files, the bookmark cache and imported bookmark lists.
struct BookmarkCache {
    std::optional<QString> selectedFolder;
    QDateTime savedAt;
    BookmarkList bookmarks;
};

// A stored list read in blocks (BookmarkCacheCodec::decodeInBlocks()).
struct BookmarkCacheBlocks {
    BookmarkCache head;
    QList<BookmarkList> blocks;
};

namespace BookmarkCacheCodec {

// Strict: a missing required key or a value of the wrong type rejects the whole document. The rows of a
// large document are read on several threads.
Result<BookmarkCache> decode(const QByteArray &json);

// As decode(), with the rows handed over in blocks of blockRows each (the last may hold fewer), and
// head.bookmarks empty: a large list is read straight into them, rather than into one list whose rows
// would then be moved into blocks one by one.
Result<BookmarkCacheBlocks> decodeInBlocks(const QByteArray &json, qsizetype blockRows);

// Compact UTF-8 JSON; "selectedFolder" only when present. Nothing when the list cannot be encoded.
std::optional<QByteArray> encode(const BookmarkCache &cache);

// Tests read lists smaller than a real library's on several threads; 0 restores the size the
// application reads that way from.
void setSeveralThreadsBytesForTesting(qsizetype bytes);

} // namespace BookmarkCacheCodec
