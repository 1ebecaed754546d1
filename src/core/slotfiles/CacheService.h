#pragma once

#include "core/bookmarks/BookmarkEntry.h"

#include <optional>

// The bookmark cache file: a second copy of the current slot's list, read when the slot is empty.
namespace CacheService {

struct Contents {
    BookmarkList bookmarks;
    QString selectedFolder;
};

// Nothing when the file is missing, unreadable or undecodable (an undecodable file is set aside).
std::optional<Contents> load();

// Writes the list and folder with the current time; false when nothing was written.
bool save(const BookmarkList &bookmarks, const QString &selectedFolder);
// The bytes save() writes, stamped with the time of the call. Safe on any thread.
std::optional<QByteArray> encode(const BookmarkList &bookmarks, const QString &selectedFolder);

} // namespace CacheService
