#include "core/autoplaylist/GeneratedPlaylist.h"

#include "core/autoplaylist/AutoPlaylistFilters.h"
#include "core/books/CustomPdfFiles.h"
#include "core/common/UiText.h"
#include "core/playlist/PlaylistRows.h"
#include "core/slotfiles/SlotStore.h"
#include "core/text/TextUtils.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QCollator>

#include <algorithm>
#include <limits>

namespace {

using CustomPdfFiles::customSinglesLabel;
using SlotStore::customSinglesBookName;

// The book file a book list name stands for, lower case.
QString lowerFileName(const QString &bookName)
{
    if (bookName.compare(customSinglesLabel, Qt::CaseInsensitive) == 0)
        return customSinglesBookName.toLower();
    return bookName.toLower();
}

QString bookListName(const QString &fileName)
{
    return fileName.compare(customSinglesBookName, Qt::CaseInsensitive) == 0 ? customSinglesLabel : fileName;
}

// The rows with every imported single file under the one book name that slots store them under, as a
// slot read from disk has them already; rows that need nothing are not copied.
LibraryRows withCustomSinglesGrouped(const LibraryRows &rows)
{
    LibraryRows grouped = rows;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const BookmarkEntry &row = rows.at(i);
        if (row.pdfFileName != customSinglesBookName && SlotStore::isCustomSingle(row))
            grouped.edit(i).pdfFileName = customSinglesBookName;
    }
    return grouped;
}

qint64 clampedProduct(qint64 a, qint64 b)
{
    a = std::max<qint64>(1, a);
    b = std::max<qint64>(1, b);
    return a > std::numeric_limits<qint64>::max() / b ? std::numeric_limits<qint64>::max() : a * b;
}

std::optional<QString> nonEmpty(const QString &text)
{
    const QString trimmed = TextUtils::trimmed(text);
    return trimmed.isEmpty() ? std::nullopt : std::optional<QString>(trimmed);
}

std::optional<qint64> lowerBound(const AutoPlaylistRequest &request)
{
    return request.lowerYear > request.minYear ? std::optional<qint64>(request.lowerYear) : std::nullopt;
}

std::optional<qint64> upperBound(const AutoPlaylistRequest &request)
{
    return request.upperYear < request.maxYear ? std::optional<qint64>(request.upperYear) : std::nullopt;
}

// The imported single file's own fields against the form, as the generator tests a title's record.
class CustomSingleFilter {
public:
    explicit CustomSingleFilter(const AutoPlaylistRequest &request)
        : m_genres(AutoPlaylistFilters::parseFilter(request.genres).value_or(QStringList())),
          m_styles(AutoPlaylistFilters::parseFilter(request.styles).value_or(QStringList())),
          m_composers(AutoPlaylistFilters::parseFilter(request.composers).value_or(QStringList())),
          m_tempo(TextUtils::trimmed(request.tempo)), m_yearMin(lowerBound(request)),
          m_yearMax(upperBound(request)),
          m_popularity(AutoPlaylistGenerator::parsePopularity(request.popularity))
    {
    }

    bool passes(const BookmarkEntry &entry) const
    {
        using AutoPlaylistFilters::matchesAny;
        if ((!m_genres.isEmpty() && !matchesAny(entry.genre, m_genres)) ||
            (!m_styles.isEmpty() && !matchesAny(entry.style, m_styles)) ||
            (!m_composers.isEmpty() && !matchesAny(entry.composer, m_composers)))
            return false;
        if (!m_tempo.isEmpty() &&
            !AutoPlaylistGenerator::tempoMatches(m_tempo, entry.tempo.isEmpty() ? std::nullopt
                                                                                : std::optional(entry.tempo)))
            return false;
        if (const auto year = entry.firstReleaseYear;
            year && ((m_yearMin && *year < *m_yearMin) || (m_yearMax && *year > *m_yearMax)))
            return false;
        const auto &[low, high] = m_popularity;
        if (!low && !high)
            return true;
        const auto rating = TextUtils::finiteRating(entry.rating);
        return rating && !(low && *rating < double(*low)) && !(high && *rating > double(*high));
    }

private:
    QStringList m_genres;
    QStringList m_styles;
    QStringList m_composers;
    QString m_tempo;
    std::optional<qint64> m_yearMin;
    std::optional<qint64> m_yearMax;
    std::pair<std::optional<qint64>, std::optional<qint64>> m_popularity;
};

} // namespace

void GeneratedPlaylist::setLibrary(const LibraryRows &rows, std::shared_ptr<const TitleKeyIndex> keys)
{
    m_library = std::make_shared<const Library>(withCustomSinglesGrouped(rows), std::move(keys));

    QStringList names;
    QSet<QString> seen;
    for (const QString &file : m_library->bookNames()) {
        const QString name = bookListName(file);
        if (!seen.contains(name)) {
            seen.insert(name);
            names.append(name);
        }
    }
    QStringList order;
    for (const QString &name : std::as_const(m_bookOrder)) {
        if (seen.remove(name))
            order.append(name);
    }
    names.removeIf([&](const QString &name) { return !seen.contains(name); });
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(names.begin(), names.end(),
                     [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    m_bookOrder = order + names;
}

std::optional<qsizetype> GeneratedPlaylist::moveBook(qsizetype row, int step)
{
    const qsizetype to = row + step;
    if (row < 0 || row >= m_bookOrder.size() || to < 0 || to >= m_bookOrder.size())
        return std::nullopt;
    m_bookOrder.swapItemsAt(row, to);
    return to;
}

bool GeneratedPlaylist::setBookOrder(const QStringList &order)
{
    QStringList sortedNow = m_bookOrder;
    QStringList sortedNew = order;
    sortedNow.sort();
    sortedNew.sort();
    if (sortedNow != sortedNew)
        return false;
    m_bookOrder = order;
    return true;
}

GeneratedPlaylist::Outcome GeneratedPlaylist::generate(const AutoPlaylistRequest &request,
                                                       QRandomGenerator &random)
{
    if (!m_library || m_library->bookmarks().isEmpty())
        return {UiText::tr("No bookmarks in the current slot."), false};
    m_generatedFrom = m_library;
    rememberAllowedBooks(request.selectedBooks);
    const bool onlyCustomSingles =
        !request.selectedBooks.isEmpty() &&
        std::all_of(request.selectedBooks.begin(), request.selectedBooks.end(), [](const QString &name) {
            return name.compare(customSinglesLabel, Qt::CaseInsensitive) == 0;
        });
    if (onlyCustomSingles)
        return generateCustomSingles(request, random);

    AutoPlaylistGenerator::Params params;
    params.titlesPerSet = request.titlesPerSet;
    params.setCount = request.setCount;
    params.genres = AutoPlaylistFilters::parseFilter(request.genres);
    params.styles = AutoPlaylistFilters::parseFilter(request.styles);
    params.tempo = nonEmpty(request.tempo);
    params.composers = AutoPlaylistFilters::parseFilter(request.composers);
    params.popularity = nonEmpty(request.popularity);
    params.tempoFormula = nonEmpty(request.tempoFormula);
    if (!request.selectedBooks.isEmpty()) {
        QStringList allowed;
        for (const QString &name : request.selectedBooks) {
            allowed.append(name.toLower());
            if (name.compare(customSinglesLabel, Qt::CaseInsensitive) == 0)
                allowed.append(customSinglesBookName.toLower());
        }
        params.allowedBooks = allowed;
    }
    for (const QString &name : std::as_const(m_bookOrder))
        params.bookPriority.append(lowerFileName(name));
    params.yearMin = lowerBound(request);
    params.yearMax = upperBound(request);

    Result<BookmarkList> result = AutoPlaylistGenerator::generate(*m_generatedFrom, params, random);
    if (!result) {
        m_entries.clear();
        return {result.error().message, true};
    }
    m_entries = std::move(result).value();
    return {UiText::tr("Generated %1 title(s).").arg(m_entries.size()), true};
}

GeneratedPlaylist::Outcome GeneratedPlaylist::generateCustomSingles(const AutoPlaylistRequest &request,
                                                                    QRandomGenerator &random)
{
    const CustomSingleFilter filter(request);
    const LibraryRows &rows = m_generatedFrom->bookmarks();
    QList<qsizetype> candidates;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const BookmarkEntry &row = rows.at(i);
        if (row.pdfFileName.compare(customSinglesBookName, Qt::CaseInsensitive) == 0 && filter.passes(row))
            candidates.append(i);
    }
    const qint64 wanted = clampedProduct(request.titlesPerSet, request.setCount);
    m_entries.clear();
    for (qsizetype i = 0; i < candidates.size() && i < wanted; ++i) {
        std::swap(candidates[i], candidates[i + qsizetype(random.bounded(quint32(candidates.size() - i)))]);
        m_entries.append(rows.at(candidates[i]));
    }
    if (m_entries.isEmpty())
        return {UiText::tr("No titles found in Custom Singles."), true};
    return {UiText::tr("Generated %1 Custom Singles title(s).").arg(m_entries.size()), true};
}

void GeneratedPlaylist::rememberAllowedBooks(const QStringList &selectedBooks)
{
    m_lastBookFilteredTitles.clear();
    if (selectedBooks.isEmpty()) {
        m_lastAllowedBooks.reset();
        return;
    }
    QSet<QString> allowed;
    for (const QString &name : selectedBooks)
        allowed.insert(lowerFileName(name));
    m_lastAllowedBooks = allowed;
    const Library &library = *m_generatedFrom;
    for (qsizetype title = 0; title < library.titleCount(); ++title) {
        const auto entries = library.entries(title);
        if (std::any_of(entries.begin(), entries.end(),
                        [&](qsizetype position) { return bookAllowed(library, position, allowed); }))
            m_lastBookFilteredTitles.append(title);
    }
}

bool GeneratedPlaylist::bookAllowed(const Library &library, qsizetype position,
                                    const QSet<QString> &allowed) const
{
    return allowed.contains(library.lowerCaseBookNames().at(library.bookOf(position)));
}

bool GeneratedPlaylist::remove(qsizetype row)
{
    if (row < 0 || row >= m_entries.size())
        return false;
    m_entries.removeAt(row);
    return true;
}

bool GeneratedPlaylist::swapBook(qsizetype row, const QStringList &selectedBooks)
{
    if (row < 0 || row >= m_entries.size() || !m_generatedFrom)
        return false;
    const Library &library = *m_generatedFrom;
    const qsizetype title = library.titleOf(TitleMetadataIndex::normalizedTitleKey(m_entries[row].title));
    if (title == TitleKeyIndex::noTitle || library.entries(title).size() < 2)
        return false;
    QList<qsizetype> pool(library.entries(title).begin(), library.entries(title).end());
    if (m_lastAllowedBooks) {
        if (selectedBooks.size() < 2)
            return false;
        pool.removeIf(
            [&](qsizetype position) { return !bookAllowed(library, position, *m_lastAllowedBooks); });
        QSet<QString> selected;
        for (const QString &name : selectedBooks)
            selected.insert(lowerFileName(name));
        QList<qsizetype> inSelected = pool;
        inSelected.removeIf([&](qsizetype position) { return !bookAllowed(library, position, selected); });
        if (inSelected.size() >= 2)
            pool = inSelected;
    }
    if (pool.size() < 2)
        return false;
    const auto current = std::find_if(pool.begin(), pool.end(), [&](qsizetype position) {
        return library.bookmarks().at(position) == m_entries[row];
    });
    const qsizetype at = current == pool.end() ? 0 : current - pool.begin();
    m_entries[row] = library.bookmarks().at(pool[(at + 1) % pool.size()]);
    return true;
}

GeneratedPlaylist::TitleSwap GeneratedPlaylist::swapTitle(qsizetype row, QRandomGenerator &random)
{
    if (row < 0 || row >= m_entries.size() || !m_generatedFrom)
        return TitleSwap::unchanged;
    const Library &library = *m_generatedFrom;
    QSet<qsizetype> used;
    for (const BookmarkEntry &entry : std::as_const(m_entries))
        used.insert(library.titleOf(TitleMetadataIndex::normalizedTitleKey(entry.title)));
    QList<qsizetype> candidates;
    if (m_lastAllowedBooks) {
        for (qsizetype title : std::as_const(m_lastBookFilteredTitles)) {
            if (!used.contains(title))
                candidates.append(title);
        }
    } else {
        for (qsizetype title = 0; title < library.titleCount(); ++title) {
            if (!used.contains(title))
                candidates.append(title);
        }
    }
    if (candidates.isEmpty())
        return TitleSwap::noOtherTitles;
    const auto position = pickBookForTitle(candidates[qsizetype(random.bounded(quint32(candidates.size())))]);
    if (!position)
        return TitleSwap::unchanged;
    m_entries[row] = library.bookmarks().at(*position);
    return TitleSwap::swapped;
}

std::optional<qsizetype> GeneratedPlaylist::move(qsizetype source, qsizetype dropRow)
{
    if (source < 0 || source >= m_entries.size())
        return std::nullopt;
    const qsizetype target = moveTarget(source, dropRow, m_entries.size());
    m_entries.move(source, target);
    return target;
}

qsizetype GeneratedPlaylist::moveTarget(qsizetype source, qsizetype dropRow, qsizetype count)
{
    return PlaylistRows::moveDestination(source, dropRow, count);
}

std::optional<BookmarkEntry> GeneratedPlaylist::pickBookForTitleForTesting(const QString &key) const
{
    if (!m_generatedFrom)
        return std::nullopt;
    const qsizetype title = m_generatedFrom->titleOf(key);
    if (title == TitleKeyIndex::noTitle)
        return std::nullopt;
    const auto position = pickBookForTitle(title);
    return position ? std::optional(m_generatedFrom->bookmarks().at(*position)) : std::nullopt;
}

std::optional<qsizetype> GeneratedPlaylist::pickBookForTitle(qsizetype title) const
{
    const Library &library = *m_generatedFrom;
    QList<qsizetype> entries(library.entries(title).begin(), library.entries(title).end());
    if (m_lastAllowedBooks)
        entries.removeIf(
            [&](qsizetype position) { return !bookAllowed(library, position, *m_lastAllowedBooks); });
    if (entries.isEmpty())
        return std::nullopt;
    if (entries.size() >= 2) {
        for (const QString &name : m_bookOrder) {
            const QString file = lowerFileName(name);
            if (m_lastAllowedBooks && !m_lastAllowedBooks->contains(file))
                continue;
            for (qsizetype position : std::as_const(entries)) {
                if (library.lowerCaseBookNames().at(library.bookOf(position)) == file)
                    return position;
            }
        }
    }
    return entries.first();
}
