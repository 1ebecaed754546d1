#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/bookmarks/LibraryRows.h"
#include "core/common/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One record of a metadata file: the keys that find its bookmark, and the fields it sets there. An
// absent field leaves the bookmark's value alone; a present one replaces it, an empty text included.
struct MetadataRecord {
    std::optional<QString> title;
    std::optional<QString> pdfFileName;
    // Only from a CSV file with a "Page Number" column, as the library's own CSV export writes it.
    std::optional<qint64> pageNumber;
    std::optional<QString> genre;
    std::optional<QString> style;
    std::optional<qint64> firstReleaseYear;
    std::optional<QString> composer;
    std::optional<QString> tempo;
    std::optional<double> rating;
    std::optional<QString> spotifyURL;
    std::optional<QString> youtubeURL;

    friend bool operator==(const MetadataRecord &, const MetadataRecord &) = default;
};

// A metadata file read whole and found decodable, its records not yet decoded: they are decoded one at
// a time as they are applied, so that a large file is held once, not again as records.
struct MetadataFile {
    enum class Format { csv, json };
    Format format = Format::csv;
    QByteArray bytes;
};

// Merging metadata from a JSON or CSV file into the bookmarks of a library. Files that cannot be read
// or decoded are errors with a message to show, never an import of nothing. Safe on any thread; the
// bookmark list is the caller's.
//
// A record finds the first bookmark, in library order, that has its title and book file name (and its
// page, when the record has one and a bookmark of that title and book has it); when no bookmark has
// both, or the record names only one of them, it finds the first bookmark with the title or with the
// book file name. Titles and file names are compared without regard to case or Unicode composition,
// with white space at both ends of either side dropped.
namespace MetadataImport {

// Larger files are refused before they are read. The library's own CSV export of a million bookmarks
// takes about 180 MB; this leaves room for longer texts, and for the same metadata as JSON, whose
// keys make each record longer.
constexpr qint64 maxFileSize = qint64(512) << 20;
// A record (a line of CSV, an object of JSON) longer than this many bytes refuses the file: a record of
// ten short fields is far shorter, and what one record costs stays small whatever the file holds.
constexpr qsizetype maxRecordBytes = 64 * 1024;

// A JSON array of objects with the MetadataRecord field names as keys ("pageNumber" is not read). A
// missing or null key leaves the field absent; a value of the wrong type, a rating beyond the range of
// a double, or an object longer than maxRecordBytes rejects the whole file.
Result<QList<MetadataRecord>> parseJSON(const QByteArray &bytes);

// UTF-8 text; the first non-empty line is the header, whose cells are trimmed and compared in lower
// case. A field in quotes may hold commas, quotes (doubled) and line breaks, as the CSV export writes
// them. Text cells are taken as they stand; a year or rating cell that does not read as a number, or a
// rating that is not finite, leaves that field absent. Invalid UTF-8, a quote that is never closed or
// a record longer than maxRecordBytes rejects the file.
Result<QList<MetadataRecord>> parseCSV(const QByteArray &bytes);

// The cells of each non-empty record of CSV text, in order; nothing when a quote is never closed.
std::optional<QList<QStringList>> csvRows(QStringView text);

// Applies each record, in order, to the bookmark it finds; returns how many records found one. The
// positions of the bookmarks found are added to positions, when given.
int applyRecords(const QList<MetadataRecord> &records, BookmarkList &bookmarks,
                 QList<qsizetype> *positions = nullptr);

// Applies the records of a file, in order, to rows, as applyRecords() does; positions gets the rows
// changed each once, in ascending order.
int applyFile(const MetadataFile &file, LibraryRows &rows, QList<qsizetype> *positions = nullptr);

// A file read and checked: JSON when its extension is "json" in any case, CSV otherwise; or why it
// cannot be used (not a regular file, larger than maxFileSize, not decodable).
Result<MetadataFile> readFile(const QString &path);

// Reads the file and applies it; the number of records that found a bookmark, or why the file could
// not be used.
Result<int> importFile(const QString &path, BookmarkList &bookmarks);

} // namespace MetadataImport
