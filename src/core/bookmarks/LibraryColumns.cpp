#include "core/bookmarks/LibraryColumns.h"

#include "core/text/TextUtils.h"

#include <cmath>

namespace LibraryColumns {

const QStringList &identifiers()
{
    static const QStringList list{add,  share, title,    genre, style,  year,
                                  page, pages, composer, tempo, rating, pdfFile};
    return list;
}

const QSet<QString> &editableColumns()
{
    static const QSet<QString> set{title, genre, style, year, composer, tempo, rating};
    return set;
}

std::optional<qint64> roundedRating(std::optional<double> rating)
{
    const std::optional<double> finite = TextUtils::finiteRating(rating);
    if (!finite)
        return std::nullopt;
    const double rounded = std::round(*finite); // halves away from zero
    // 2^63 is the first double past the range; every double below it converts exactly.
    if (rounded >= 9223372036854775808.0 || rounded < -9223372036854775808.0)
        return std::nullopt;
    return qint64(rounded);
}

QString text(const BookmarkEntry &entry, const QString &identifier)
{
    if (identifier == title)
        return entry.title;
    if (identifier == genre)
        return entry.genre;
    if (identifier == style)
        return entry.style;
    if (identifier == year)
        return entry.firstReleaseYear ? QString::number(*entry.firstReleaseYear) : QString();
    if (identifier == page)
        return QString::number(entry.pageNumber);
    if (identifier == pages)
        return QString::number(entry.pageSpan);
    if (identifier == composer)
        return entry.composer;
    if (identifier == tempo)
        return entry.tempo;
    if (identifier == rating) {
        const std::optional<qint64> rounded = roundedRating(entry.rating);
        return rounded ? QString::number(*rounded) : QString();
    }
    if (identifier == pdfFile)
        return entry.pdfFileName;
    return {};
}

} // namespace LibraryColumns
