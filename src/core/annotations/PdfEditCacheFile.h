#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

// The pen strokes, highlighter strokes and text notes that the user draws on the pages of one PDF,
// kept beside the PDF in a small JSON file of their own (the PDF itself is never changed). The viewer
// edits them; the single-title export draws them into the exported pages. Both read and write the
// file only through PdfEditCacheCodec, so the two can never disagree about the format.
//
// Coordinates are in the page's own space: PDF units, origin at the lower left of the page's user
// space, unrotated.

struct PointRecord {
    double x = 0;
    double y = 0;
    friend bool operator==(const PointRecord &, const PointRecord &) = default;
};

// Components from 0 to 1; values outside are kept as stored.
struct ColorRecord {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    friend bool operator==(const ColorRecord &, const ColorRecord &) = default;
};

struct StrokeRecord {
    QList<PointRecord> points;
    ColorRecord color;
    double thickness = 1; // line width in points
    double opacity = 1;   // drawn in place of the colour's own alpha
    bool isHighlighter = false;
    friend bool operator==(const StrokeRecord &, const StrokeRecord &) = default;
};

struct TextRecord {
    PointRecord position; // lower-left corner of the note's frame
    QString text;
    ColorRecord color;
    double opacity = 1;
    double fontSize = 12;
    friend bool operator==(const TextRecord &, const TextRecord &) = default;
};

// Per 0-based page index, in drawing order (later on top). A page may hold an empty list: an undo
// can leave one, and it is kept and written like any other.
struct PdfEditCacheFile {
    QMap<qint64, QList<StrokeRecord>> strokesByPage;
    QMap<qint64, QList<TextRecord>> textsByPage;

    // Whether any page holds at least one stroke or note.
    bool hasAnnotations() const;

    friend bool operator==(const PdfEditCacheFile &, const PdfEditCacheFile &) = default;
};

namespace PdfEditCacheCodec {

// Strict, as for every state file: text that is not JSON, a missing key at any level or a value of
// the wrong type (a string for a number, 0 or 1 for a truth value) rejects the whole file. Page keys
// that are not decimal integers are skipped with their lists; when two keys name the same page, the
// later one in the file wins.
Result<PdfEditCacheFile> decode(const QByteArray &json);

// Compact UTF-8 JSON, pages as decimal keys. Nothing when a value cannot be written (a number that
// is not finite).
std::optional<QByteArray> encode(const PdfEditCacheFile &file);

// A page key read as a page index: an optional sign and ASCII digits, nothing else, within 64 bits.
std::optional<qint64> pageFromKey(QStringView key);

// The file's name for a PDF path: the path's UTF-8 bytes (as given: not normalised, links not
// resolved) in URL-safe Base64 without padding, then ".json". Past 225 bytes, which leave no room for
// the longer names a save and a set-aside give beside it in the 255 bytes the file systems here take,
// the name is the path's SHA-256 in hexadecimal instead, then ".json" (filePath() keeps a longer Base64
// name an earlier version wrote); it cannot meet a Base64 name, since those of absolute paths begin
// with "L".
QString fileName(const QString &pdfPath);

// The file's path in AppPaths::annotationCacheDir(); nothing for an empty PDF path or when there is
// no data folder. Creates nothing.
std::optional<QString> filePath(const QString &pdfPath);

// The PDF whose annotations the file at path holds, for the books read or written in this run of the
// program (a long path's file is named by a hash, which does not give it back); nothing for any other
// file.
std::optional<QString> bookOf(const QString &path);

enum class LoadStatus { Loaded, Missing, Unreadable, Undecodable };

struct LoadResult {
    PdfEditCacheFile file; // empty unless Loaded
    LoadStatus status = LoadStatus::Missing;
};

// Reads the annotations of the PDF at pdfPath. A file that cannot be read or does not decode is left
// where it is, for the caller to set aside before it saves (setAside()). While the file's last write
// failed, what that write was to leave there is read in its place (StateFile::unwritten()): the book
// shows its annotations as they were drawn, and its next write carries them.
LoadResult load(const QString &pdfPath);

// Moves the PDF's annotation file aside as an unreadable state file (StateFile::setAside); the new
// path, or nothing when it could not be moved.
std::optional<QString> setAside(const QString &pdfPath);

// Writes the annotations of the PDF at pdfPath atomically, creating the folder, or removes the file
// when no page holds anything. False when nothing was written or removed (an empty path, no data
// folder, a value that cannot be encoded, a failed write); the previous file then stays as it was.
bool save(const QString &pdfPath, const PdfEditCacheFile &file);

// What save() does, on the worker of the file's background writes (StateFile::writeInBackground and
// removeInBackground), so that writes and removals keep their order. done, on that worker, tells
// whether it worked. False, with nothing queued, without a file path.
bool saveInBackground(const QString &pdfPath, const PdfEditCacheFile &file,
                      std::function<void(bool saved, const QString &error)> done = {});

} // namespace PdfEditCacheCodec
