#pragma once

#include "core/bookmarks/LibraryRows.h"
#include "core/search/LibrarySort.h"

#include <QStringList>

#include <optional>
#include <vector>

// What the user typed into the search field: the phrases typed between double quotes and the other
// words, in search form (see LibrarySearch::searchForm). Neither list holds an empty entry; both keep
// the order typed.
struct SearchQuery {
    QStringList exactTitlePhrases;
    QStringList words;

    bool isEmpty() const { return exactTitlePhrases.isEmpty() && words.isEmpty(); }
    friend bool operator==(const SearchQuery &, const SearchQuery &) = default;
};

// The matching rules of the library search. A bookmark matches when its title holds every phrase and
// every word is found in one place: all of them starting title words (tier A), all inside the title
// or all inside the file name (tier B), or all inside the tag text (tier C). Tier A is ranked by the
// positions of the title words the query words start, tiers B and C by title; ties keep library
// order. Everything here is pure and safe on any thread.
namespace LibrarySearch {

// U+2019, U+2018, U+201B and U+2032 become the plain apostrophe; nothing else changes.
QString normalizeForSearch(const QString &text);

// The form in which texts meet the query: apostrophes made plain, composed (file names from other
// systems arrive decomposed), lower case by the locale-independent mapping.
QString searchForm(const QString &text);

// Phrases are the texts between pairs of double quotes, trimmed; a pair around blanks only gives
// nothing. The rest is split at blanks and tabs into words. A double quote without a partner is an
// ordinary character of the word it touches.
SearchQuery parseSearchQuery(const QString &text);

// The title in search form, split at white space, commas, semicolons, slashes, en and em dashes and
// hyphens, each piece trimmed of everything but letters, marks and digits; empty pieces dropped. An
// apostrophe inside a word stays: "don't" is one word.
QStringList titleWordsForSearch(const QString &title);

// Composer, genre, style and tempo joined by single blanks, in search form.
QString tagTextForSearch(const BookmarkEntry &entry);

// The matches among bookmarks[startIndex, startIndex + count), ranked. Prepares just that range: for
// the whole library, keep a LibrarySearchIndex instead.
BookmarkList runFilter(const BookmarkList &bookmarks, qsizetype startIndex, qsizetype count,
                       const SearchQuery &query);
// The same as positions in rows.
QList<qsizetype> runFilter(const LibraryRows &rows, qsizetype startIndex, qsizetype count,
                           const SearchQuery &query);

} // namespace LibrarySearch

// A range of the library prepared for searching: every distinct title with its search form, title
// words and rank, and every distinct file name and tag text in search form. Built once per library
// change, so that a keystroke costs only the comparisons. Immutable once built; share it freely
// between threads.
class LibrarySearchIndex {
public:
    // The bookmarks from startIndex on, count of them (all when negative). Stops early, unfinished,
    // when progress is cancelled: the index is then of no use.
    explicit LibrarySearchIndex(const LibraryRows &bookmarks, qsizetype startIndex = 0, qsizetype count = -1,
                                const BuildProgress *progress = nullptr);
    explicit LibrarySearchIndex(const BookmarkList &bookmarks, qsizetype startIndex = 0,
                                qsizetype count = -1);

    // The rows it indexed: fewer than asked for when its build was cancelled.
    qsizetype sizeForTesting() const { return qsizetype(m_rows.size()); }

    // The ranked matches, as LibrarySearch describes them.
    BookmarkList runFilter(const SearchQuery &query) const;
    // The same as positions in the bookmarks the index was made from.
    QList<qsizetype> runFilterPositions(const SearchQuery &query) const;

private:
    struct Title {
        QString form;
        std::vector<std::pair<int, int>> words; // start and length in form
        int rank = 0;
    };
    struct Row {
        int title = 0;
        int file = 0;
        int tags = 0;
    };

    LibraryRows m_bookmarks;
    qsizetype m_start = 0;
    std::vector<Row> m_rows;
    std::vector<Title> m_titles;
    QStringList m_files;
    QStringList m_tags;
};
