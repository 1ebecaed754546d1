#pragma once

#include <QString>

#include <optional>

// The fifteen fields that a library bookmark and a playlist item share, with their identity key and
// equality. BookmarkEntry and PlaylistItem are distinct types built on it, so that one is never passed
// where the other is meant, while the conversion between them stays a plain copy.
struct SongRecord {
    QString pdfFileName;
    QString pdfFilePath;
    qint64 pageNumber = 0;
    QString title;
    qint64 level = 0;
    qint64 pageSpan = 0;
    qint64 totalPages = 0;
    QString genre;
    QString style;
    std::optional<qint64> firstReleaseYear;
    QString composer;
    QString tempo;
    std::optional<double> rating;
    QString spotifyURL;
    QString youtubeURL;

    // The song identity key: path, "|", page in decimal, "|", title folded (TextUtils::foldedTitle());
    // texts in composed (NFC) form so that a decomposed file name from another system gives the same
    // key.
    QString id() const;

    // All fifteen fields equal; texts under canonical equivalence, case-sensitive.
    bool sameFields(const SongRecord &other) const;
};

// The identity key for the given parts, as SongRecord::id() builds it.
QString songIdentityKey(const QString &pdfFilePath, qint64 pageNumber, const QString &title);
