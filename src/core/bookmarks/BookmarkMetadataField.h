#pragma once

#include "core/common/Result.h"

#include <QString>

#include <optional>

// The fields of a title that the user edits, in the order the editors show them.
enum class BookmarkMetadataField { title, genre, style, year, composer, tempo, rating };

// The metadata of a title as the edit dialog writes it to every bookmark of the title.
struct MetadataValues {
    QString genre;
    QString style;
    std::optional<qint64> firstReleaseYear;
    QString composer;
    QString tempo;
    std::optional<double> rating;

    friend bool operator==(const MetadataValues &, const MetadataValues &) = default;
};

// How typed texts become stored values.
namespace BookmarkMetadata {

// The field a table column edits: "Bookmark Title", "Genre", "Style (rhythm/feel)", "Year",
// "Composer", "Tempo", "Rating"; nothing for the other columns.
std::optional<BookmarkMetadataField> fieldForColumn(const QString &column);

// The six editable columns other than the title: editing one of them puts the library into custom
// mode.
bool isMetadataColumn(const QString &column);

// A whole decimal number with an optional sign; anything else, the empty text included, is no year.
std::optional<qint64> yearFromText(const QString &text);

// A real number in C notation that uses up the whole text, stored as read (not clamped); an empty or
// unreadable text is no rating. "inf" and "nan" are refused: such a rating could be neither shown nor
// sorted.
Result<std::optional<double>> ratingFromText(const QString &text);

// A stored rating as the editors show it: exactly as stored, 4.5 as "4.5" (never rounded, so that
// saving the dialog unchanged writes back what it showed); empty for none or a non-finite one.
QString ratingText(std::optional<double> rating);

} // namespace BookmarkMetadata
