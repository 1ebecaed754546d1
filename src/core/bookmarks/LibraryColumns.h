#pragma once

#include "core/bookmarks/BookmarkEntry.h"

#include <QSet>
#include <QStringList>

#include <optional>

// The columns of the library table. Each identifier is also its English header text; translations
// are the window's business, the identifiers stay English.
namespace LibraryColumns {

inline const QString add = QStringLiteral("Add");
inline const QString share = QStringLiteral("Share");
inline const QString title = QStringLiteral("Bookmark Title");
inline const QString genre = QStringLiteral("Genre");
inline const QString style = QStringLiteral("Style (rhythm/feel)");
inline const QString year = QStringLiteral("Year");
inline const QString page = QStringLiteral("Page");
inline const QString pages = QStringLiteral("Pages");
inline const QString composer = QStringLiteral("Composer");
inline const QString tempo = QStringLiteral("Tempo");
inline const QString rating = QStringLiteral("Rating");
inline const QString pdfFile = QStringLiteral("PDF File");

// The twelve identifiers in table order.
const QStringList &identifiers();

// The seven metadata columns whose cells column edit mode opens for editing.
const QSet<QString> &editableColumns();

// The rating rounded half away from zero; nothing for no rating, one that is not a finite number,
// or one whose rounded value does not fit in 64 bits.
std::optional<qint64> roundedRating(std::optional<double> rating);

// What a cell of the column shows for the entry, which is also the entry's sort value for the
// column: the text fields as stored, numbers in decimal, an absent year or rating as empty text.
// Empty for the button columns and any unknown identifier.
QString text(const BookmarkEntry &entry, const QString &identifier);

} // namespace LibraryColumns
