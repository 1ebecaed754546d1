#include "core/bookmarks/BookmarkMetadataField.h"

#include "core/bookmarks/LibraryColumns.h"
#include "core/common/UiText.h"
#include "core/text/TextUtils.h"

#include <QLocale>

#include <cmath>

namespace BookmarkMetadata {

std::optional<BookmarkMetadataField> fieldForColumn(const QString &column)
{
    using F = BookmarkMetadataField;
    if (column == LibraryColumns::title)
        return F::title;
    if (column == LibraryColumns::genre)
        return F::genre;
    if (column == LibraryColumns::style)
        return F::style;
    if (column == LibraryColumns::year)
        return F::year;
    if (column == LibraryColumns::composer)
        return F::composer;
    if (column == LibraryColumns::tempo)
        return F::tempo;
    if (column == LibraryColumns::rating)
        return F::rating;
    return std::nullopt;
}

bool isMetadataColumn(const QString &column)
{
    const std::optional<BookmarkMetadataField> field = fieldForColumn(column);
    return field && *field != BookmarkMetadataField::title;
}

std::optional<qint64> yearFromText(const QString &text)
{
    return TextUtils::wholeNumber(text);
}

Result<std::optional<double>> ratingFromText(const QString &text)
{
    const std::optional<double> rating = TextUtils::realNumber(text);
    if (rating && !std::isfinite(*rating))
        return Result<std::optional<double>>::failure(UiText::tr("A rating must be a finite number."));
    return rating;
}

QString ratingText(std::optional<double> rating)
{
    const std::optional<double> finite = TextUtils::finiteRating(rating);
    if (!finite)
        return {};
    // The shortest text that reads back as the same number, in C notation.
    return QLocale::c().toString(*finite, 'g', QLocale::FloatingPointShortest);
}

} // namespace BookmarkMetadata
