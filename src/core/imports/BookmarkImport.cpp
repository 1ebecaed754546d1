#include "core/imports/BookmarkImport.h"

#include "core/bookmarks/BookmarkCache.h"
#include "core/common/InputFile.h"
#include "core/common/UiText.h"
#include "core/text/TextUtils.h"

#include <simdjson.h>

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
    // The file may come from anywhere. The largest library kept is a million rows, which the stored
    // form holds in about 300 MB; 1 KB a row leaves room for every metadata field filled.
    constexpr qint64 maxFileSize = qint64(1) << 30;
    const InputFile::Contents file = InputFile::read(path, maxFileSize, simdjson::SIMDJSON_PADDING);
    if (file.status == InputFile::Status::tooLarge)
        return Result<ImportedBookmarks>::failure(invalidFileText() + QLatin1Char(' ') +
                                                  UiText::tr("The file is too large: %1 MB, at most %2 MB.")
                                                      .arg((file.size + (1 << 20) - 1) >> 20)
                                                      .arg(maxFileSize >> 20));
    if (file.status != InputFile::Status::ok)
        return Result<ImportedBookmarks>::failure(invalidFileText());
    Result<BookmarkCache> cache = BookmarkCacheCodec::decode(file.bytes);
    if (!cache)
        return Result<ImportedBookmarks>::failure(invalidFileText());
    ImportedBookmarks imported{std::move(cache.value().bookmarks), std::nullopt};
    for (BookmarkEntry &entry : imported.bookmarks) {
        entry.title = TextUtils::foldedTitle(entry.title);
        for (QString *text : {&entry.genre, &entry.style, &entry.composer, &entry.tempo, &entry.spotifyURL,
                              &entry.youtubeURL})
            *text = TextUtils::fieldText(*text);
    }
    const std::optional<QString> &folder = cache->selectedFolder;
    if (folder && !TextUtils::trimmed(*folder).isEmpty())
        imported.selectedFolder = folder;
    return imported;
}

} // namespace BookmarkImport
