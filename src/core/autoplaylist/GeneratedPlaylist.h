#pragma once

#include "core/autoplaylist/AutoPlaylistGenerator.h"

#include <QSet>

#include <memory>
#include <optional>

// The auto playlist's form as Generate reads it: the counts, the filter fields as typed, the tempo
// formula, the year slider and the books selected in the book list.
struct AutoPlaylistRequest {
    qint64 titlesPerSet = 10;
    qint64 setCount = 1;
    QString genres;
    QString styles;
    QString tempo;
    QString composers;
    QString popularity;
    QString tempoFormula;
    // The years the slider's handles stand on and the ends of its track. A bound filters only once its
    // handle has left its end, so that a slider left alone keeps the titles without a built-in record.
    qint64 lowerYear = 0;
    qint64 upperYear = 0;
    qint64 minYear = 0;
    qint64 maxYear = 0;
    // Names of the selected book list rows, in row order; none selected: every book.
    QStringList selectedBooks;
};

// The list the auto playlist window builds: drawn from the library by generate(), then edited by hand.
// It keeps the library that the last generate() drew from, with the books that Generate was limited
// to, so that the swaps draw from the same titles whatever changed in the library since.
//
// Books are named as the book list shows them: by PDF file name, the imported single files together
// as CustomPdfFiles::customSinglesLabel. That name stands for their book file wherever books are compared: in
// the books allowed, in the priority order and in the swaps.
class GeneratedPlaylist {
public:
    enum class TitleSwap { swapped, noOtherTitles, unchanged };
    struct Outcome {
        QString status;
        bool listChanged = false;
    };

    // The library the next generate() draws from: the rows and their title keys
    // (LibrarySession::titleKeyIndex()). Imported single files are taken as one book. The book order
    // keeps the books it held in their order and adds new ones after them, sorted ignoring case.
    void setLibrary(const LibraryRows &rows, std::shared_ptr<const TitleKeyIndex> keys);

    // The book list, first book first: the priority for titles found in several books.
    const QStringList &bookOrder() const { return m_bookOrder; }
    // Moves the book at row by step places (-1 up, 1 down); the row it went to, or nothing when it
    // cannot move.
    std::optional<qsizetype> moveBook(qsizetype row, int step);
    // The same books in a new order (a drag in the book list); any other list is refused.
    bool setBookOrder(const QStringList &order);

    // Replaces the list from the library by the request: the generator, or, when only "Custom
    // Singles" is selected, a random draw of the imported single files filtered by their own fields.
    // An empty library leaves the list as it was.
    Outcome generate(const AutoPlaylistRequest &request, QRandomGenerator &random);

    const BookmarkList &entries() const { return m_entries; }

    bool remove(qsizetype row);
    // The entry at row from the next book (in library order) that holds its title, within the books of
    // the last Generate and, when two or more of them are still selected, the selected ones.
    bool swapBook(qsizetype row, const QStringList &selectedBooks);
    // Another title of the last Generate's books, not in the list yet, drawn at random.
    TitleSwap swapTitle(qsizetype row, QRandomGenerator &random);
    // Moves the entry at source to where a drop before dropRow puts it; the row it went to, or nothing
    // for a source outside the list.
    std::optional<qsizetype> move(qsizetype source, qsizetype dropRow);
    // The row a title moved from source lands on when dropped before dropRow in a list of count: the
    // playlists' rule (PlaylistRows::moveDestination).
    static qsizetype moveTarget(qsizetype source, qsizetype dropRow, qsizetype count);

    // The entry that stands for a title (normalised key) in the books of the last Generate: among
    // them, the one from the book first in the book order, else the first in library order. For the
    // tests of the choice, which name the title by its key.
    std::optional<BookmarkEntry> pickBookForTitleForTesting(const QString &key) const;

private:
    using Library = AutoPlaylistGenerator::TitleIndex;

    void rememberAllowedBooks(const QStringList &selectedBooks);
    Outcome generateCustomSingles(const AutoPlaylistRequest &request, QRandomGenerator &random);
    std::optional<qsizetype> pickBookForTitle(qsizetype title) const;
    bool bookAllowed(const Library &library, qsizetype position, const QSet<QString> &allowed) const;

    std::shared_ptr<const Library> m_library;
    std::shared_ptr<const Library> m_generatedFrom;
    QStringList m_bookOrder;
    // The books (lower-case file names) the last Generate was limited to; none: every book.
    std::optional<QSet<QString>> m_lastAllowedBooks;
    // The titles those books hold.
    QList<qsizetype> m_lastBookFilteredTitles;
    BookmarkList m_entries;
};
