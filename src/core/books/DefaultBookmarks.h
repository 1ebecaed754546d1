#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/common/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One song of the built-in bookmark list "DefaultBookmarks.json", as the resource holds it. The
// resource spells its keys with capitals ("PdfFileName" ... "SpotifyUrl", "YoutubeUrl"); optional
// values that are missing or null are absent here.
struct DefaultBookmarkRecord {
    QString pdfFileName;
    QString pdfFilePath;
    qint64 pageNumber = 0;
    QString title;
    qint64 level = 0;
    std::optional<qint64> pageSpan;
    std::optional<qint64> totalPages;
    std::optional<QString> genre;
    std::optional<QString> style;
    std::optional<qint64> firstReleaseYear;
    std::optional<QString> composer;
    std::optional<QString> tempo;
    std::optional<double> rating;
    std::optional<QString> spotifyURL;
    std::optional<QString> youtubeURL;
};

// Loading the built-in bookmark list against the user's PDF folder. Everything here only reads files
// and touches no shared state, so a load runs on a worker thread.
namespace DefaultBookmarks {

// "DefaultBookmarks.json" in the resource folder "Bundled", else in "LegacyAssets"; nothing when
// neither holds it.
std::optional<QString> resourcePath();

// A JSON array of records. One record with a missing required key or a value of the wrong type fails
// the whole list; unknown keys are ignored.
Result<QList<DefaultBookmarkRecord>> decode(const QByteArray &json);

// The library's form of a record: the book at bookPath when the folder holds it, else at the path the
// resource was recorded with.
BookmarkEntry toBookmarkEntry(const DefaultBookmarkRecord &record, const std::optional<QString> &bookPath);

// Every record in order, against folder: walked once, and each distinct file name looked up once
// (an empty folder matches nothing).
BookmarkList toBookmarkEntries(const QList<DefaultBookmarkRecord> &records, const QString &folder);

// Reads and decodes the resource at resourcePath and maps every record, in file order, against
// folder as toBookmarkEntries() does. The error says what went wrong.
Result<BookmarkList> load(const QString &resourcePath, const QString &folder);

} // namespace DefaultBookmarks
