#include "core/library/BookmarkImport.h"

#include "core/common/UiText.h"
#include "core/library/BookmarkCache.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"

namespace BookmarkImport {

QString invalidFileTitle()
{
    return UiText::tr("Invalid file");
}

QString invalidFileText()
{
    return UiText::tr("Could not read a Lyrafold bookmark JSON (exported slot or cache format).");
}

Result<ImportedBookmarks> readFile(const QString &path)
{
    const StateFile::ReadResult file = StateFile::read(path);
    if (file.status != StateFile::ReadStatus::Ok)
        return Result<ImportedBookmarks>::failure(invalidFileText());
    Result<BookmarkCache> cache = BookmarkCacheCodec::decode(file.bytes);
    if (!cache)
        return Result<ImportedBookmarks>::failure(invalidFileText());
    ImportedBookmarks imported{std::move(cache.value().bookmarks), std::nullopt};
    for (BookmarkEntry &entry : imported.bookmarks)
        entry.title = TextUtils::foldedTitle(entry.title);
    const std::optional<QString> &folder = cache->selectedFolder;
    if (folder && !TextUtils::trimmed(*folder).isEmpty())
        imported.selectedFolder = folder;
    return imported;
}

} // namespace BookmarkImport
