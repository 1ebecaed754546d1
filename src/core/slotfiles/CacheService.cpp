#include "core/slotfiles/CacheService.h"

#include "core/bookmarks/BookmarkCache.h"
#include "core/common/AppPaths.h"
#include "core/storage/StateFile.h"

namespace CacheService {

std::optional<Contents> load()
{
    auto cache = StateFile::load<BookmarkCache>(AppPaths::bookmarkCachePath(), BookmarkCacheCodec::decode);
    if (!cache)
        return std::nullopt;
    return Contents{std::move(cache->bookmarks), cache->selectedFolder.value_or(QString())};
}

bool save(const BookmarkList &bookmarks, const QString &selectedFolder)
{
    const auto bytes = encode(bookmarks, selectedFolder);
    return bytes && StateFile::write(AppPaths::bookmarkCachePath(), *bytes);
}

std::optional<QByteArray> encode(const BookmarkList &bookmarks, const QString &selectedFolder)
{
    return BookmarkCacheCodec::encode(
        BookmarkCache{selectedFolder, QDateTime::currentDateTimeUtc(), bookmarks});
}

} // namespace CacheService
