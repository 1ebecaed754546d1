#pragma once

#include "core/common/Result.h"
#include "core/titles/TitleKeyIndex.h"

#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <span>
#include <utility>

// Draws a playlist from the library: up to titlesPerSet * setCount titles, each once, each represented
// by one of its books, filtered by the built-in metadata and optionally ordered by a tempo formula.
namespace AutoPlaylistGenerator {

struct Params {
    qint64 titlesPerSet = 1; // below 1 counts as 1
    qint64 setCount = 1;     // below 1 counts as 1
    std::optional<QStringList> genres;
    std::optional<QStringList> styles;
    std::optional<QString> tempo;
    std::optional<QStringList> composers;
    std::optional<QString> popularity;   // as parsePopularity() reads it
    std::optional<QString> tempoFormula; // tempo symbols joined by "-", e.g. "M-MU-F-B-M-MU-MB"
    std::optional<QStringList> allowedBooks;
    QStringList bookPriority;
    std::optional<qint64> yearMin;
    std::optional<qint64> yearMax;
};

inline constexpr int noMatchingTitlesError = 1;
inline constexpr int noItemsError = 2;

// The library grouped by normalised title key, with its books numbered. The caller builds it once per
// library change and hands it to every generate() call.
class TitleIndex {
public:
    TitleIndex() = default;
    // Normalises every title of bookmarks.
    explicit TitleIndex(const BookmarkList &bookmarks);
    // Takes the keys of the library's version (LibrarySession::titleKeyIndex()) instead of normalising
    // every title again; keys must have been made from rows (null: made here).
    TitleIndex(const LibraryRows &rows, std::shared_ptr<const TitleKeyIndex> keys);

    const LibraryRows &bookmarks() const { return m_bookmarks; }
    // Titles in the order in which the library first names them; bookmarks whose key is empty are
    // left out.
    qsizetype titleCount() const { return m_keys->titleCount(); }
    const QString &key(qsizetype title) const { return m_keys->key(title); }
    // The positions in bookmarks() of one title's entries, in library order.
    std::span<const qsizetype> entries(qsizetype title) const { return m_keys->rows(title); }
    // Books are numbered in the order the library first names them.
    qsizetype bookOf(qsizetype position) const { return m_bookOfEntry[position]; }
    const QStringList &lowerCaseBookNames() const { return m_lowerBookNames; }
    // The book file names as the library spells them, in the same order.
    const QStringList &bookNames() const { return m_bookNames; }
    // The title with that normalised key, or TitleKeyIndex::noTitle.
    qsizetype titleOf(const QString &key) const { return m_keys->titleOf(key); }

private:
    LibraryRows m_bookmarks;
    std::shared_ptr<const TitleKeyIndex> m_keys = std::make_shared<const TitleKeyIndex>();
    QList<qsizetype> m_bookOfEntry;
    QStringList m_lowerBookNames;
    QStringList m_bookNames;
};

// Generates the playlist. All shuffles draw from random, so a seeded generator repeats a result.
// Fails with noMatchingTitlesError when no title passes the book and metadata filters.
Result<BookmarkList> generate(const TitleIndex &library, const Params &params, QRandomGenerator &random);

// The tempo symbols of formulas, fastest first, and the symbol of no tempo.
inline const QStringList tempoSymbols = {QStringLiteral("F"),  QStringLiteral("MU"), QStringLiteral("M"),
                                         QStringLiteral("MB"), QStringLiteral("B"),  QString()};

// The symbol a tempo text falls under: "F", "MU", "MB", "B", "M" tested in that order, else none.
QString tempoToSymbol(const std::optional<QString> &tempo);

// Whether a tempo answers a tempo filter term. A term that is a tempo symbol in any case ("MU", "mb")
// stands for the tempos of that symbol, so that "M" does not take every "Medium-Up" and "MB" finds the
// "Medium-Ballad" titles; any other term is looked for in the tempo text, ignoring case. A blank term
// asks nothing; a missing tempo answers no other.
bool tempoMatches(const QString &term, const std::optional<QString> &tempo);

// Popularity bounds from "3-5", "5 – 3", "4+" (up to 5) or "4"; no bounds from a blank or unreadable
// text.
std::pair<std::optional<qint64>, std::optional<qint64>> parsePopularity(const std::optional<QString> &text);

} // namespace AutoPlaylistGenerator
