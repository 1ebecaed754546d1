#include "core/books/DefaultBookmarks.h"

#include "core/books/FolderFileIndex.h"
#include "core/common/UiText.h"
#include "core/json/JsonReader.h"
#include "core/resources/BundledResources.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"

#include <QHash>

#include <algorithm>

namespace {

const QString resourceName = QStringLiteral("DefaultBookmarks");
const QString resourceExtension = QStringLiteral("json");

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

void decodeRecord(json::od::value element, DefaultBookmarkRecord &r, json::DecodeStatus &status,
                  qsizetype index)
{
    json::ObjectReader in(element, status, QStringLiteral("records"), index);
    in.required("PdfFileName", r.pdfFileName);
    in.required("PdfFilePath", r.pdfFilePath);
    in.required("PageNumber", r.pageNumber);
    in.required("Title", r.title);
    in.required("Level", r.level);
    in.optional("PageSpan", r.pageSpan);
    in.optional("TotalPages", r.totalPages);
    in.optional("Genre", r.genre);
    in.optional("Style", r.style);
    in.optional("FirstReleaseYear", r.firstReleaseYear);
    in.optional("Composer", r.composer);
    in.optional("Tempo", r.tempo);
    in.optional("Rating", r.rating);
    in.optional("SpotifyUrl", r.spotifyURL);
    in.optional("YoutubeUrl", r.youtubeURL);
}

} // namespace

namespace DefaultBookmarks {

std::optional<QString> resourcePath()
{
    for (const QString &folder : {QStringLiteral("Bundled"), QStringLiteral("LegacyAssets")}) {
        if (auto path = BundledResources::find(folder, resourceName, resourceExtension))
            return path;
    }
    return std::nullopt;
}

Result<QList<DefaultBookmarkRecord>> decode(const QByteArray &bytes)
{
    using Records = QList<DefaultBookmarkRecord>;
    json::DecodeStatus status;
    json::JsonDocument document;
    json::od::array items;
    if (!document.open(bytes, status) || !document.rootArray(items, status))
        return Result<Records>::failure(status.error());

    Records records;
    // About 300 bytes a record with metadata and links.
    records.reserve(std::clamp<qsizetype>(bytes.size() / 300, 16, 200000));
    const QString path = QStringLiteral("records");
    qsizetype index = 0;
    for (auto item : items) {
        json::od::value value;
        if (!json::element(item, value, status, path, index))
            break;
        DefaultBookmarkRecord record;
        decodeRecord(value, record, status, index++);
        if (!status.ok())
            break;
        records.append(std::move(record));
    }
    if (!document.finish(status))
        return Result<Records>::failure(status.error());
    return records;
}

BookmarkEntry toBookmarkEntry(const DefaultBookmarkRecord &r, const std::optional<QString> &bookPath)
{
    BookmarkEntry e;
    e.pdfFileName = r.pdfFileName;
    e.pdfFilePath = bookPath.value_or(r.pdfFilePath);
    e.pageNumber = r.pageNumber;
    e.title = TextUtils::foldedTitle(r.title);
    e.level = r.level;
    e.pageSpan = r.pageSpan && *r.pageSpan > 1 ? *r.pageSpan : 1;
    e.totalPages = r.totalPages && *r.totalPages >= 0 ? *r.totalPages : 0;
    e.genre = r.genre.value_or(QString());
    e.style = r.style.value_or(QString());
    e.firstReleaseYear = r.firstReleaseYear;
    e.composer = r.composer.value_or(QString());
    e.tempo = r.tempo.value_or(QString());
    e.rating = TextUtils::finiteRating(r.rating);
    e.spotifyURL = r.spotifyURL.value_or(QString());
    e.youtubeURL = r.youtubeURL.value_or(QString());
    return e;
}

BookmarkList toBookmarkEntries(const QList<DefaultBookmarkRecord> &records, const QString &folder)
{
    const FolderFileIndex books(folder);
    // A book holds many songs: look each name up once.
    QHash<QString, std::optional<QString>> found;
    BookmarkList entries;
    entries.reserve(records.size());
    for (const DefaultBookmarkRecord &record : records) {
        auto known = found.constFind(record.pdfFileName);
        if (known == found.cend())
            known = found.insert(record.pdfFileName, books.resolve(record.pdfFileName));
        entries.append(toBookmarkEntry(record, *known));
    }
    return entries;
}

Result<BookmarkList> load(const QString &resourcePath, const QString &folder)
{
    const QString name = fileNameOf(resourcePath);
    const StateFile::ReadResult file = StateFile::read(resourcePath);
    if (file.status == StateFile::ReadStatus::Missing)
        return Result<BookmarkList>::failure(UiText::tr("The file %1 does not exist.").arg(name));
    if (file.status != StateFile::ReadStatus::Ok)
        return Result<BookmarkList>::failure(UiText::tr("The file %1 could not be read.").arg(name));

    const auto records = decode(file.bytes);
    if (!records)
        return Result<BookmarkList>::failure(
            UiText::tr("The file %1 is not a valid bookmark list: %2").arg(name, records.error().message));

    // Only a good list is worth walking the folder for.
    return toBookmarkEntries(records.value(), folder);
}

} // namespace DefaultBookmarks
