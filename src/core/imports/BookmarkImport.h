#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/common/Result.h"

#include <QString>

#include <optional>

// Reading a bookmark list that replaces a slot's bookmarks: a slot file or the bookmark cache file, both
// in the stored bookmark list form. Safe on any thread.
namespace BookmarkImport {

struct ImportedBookmarks {
    BookmarkList bookmarks;
    // The file's PDF folder, only when it is there and not blank; taken untrimmed.
    std::optional<QString> selectedFolder;
};

// The alert for a file that cannot be read or decoded.
QString invalidFileTitle();
QString invalidFileText();

// The bookmarks in file order, or an error whose message is invalidFileText() (followed by the bound,
// for a file too large to read).
Result<ImportedBookmarks> readFile(const QString &path);

} // namespace BookmarkImport
