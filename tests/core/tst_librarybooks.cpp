#include "Fixtures.h"
#include "TestHarness.h"
#include "core/books/CustomPdfFiles.h"
#include "core/books/WorkshopBooks.h"
#include "core/common/AppPaths.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"
#include "core/session/LibrarySession.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibraryFiles.h"
#include "core/slots/LibrarySlots.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString imports()
{
    return AppPaths::importLibraryPath();
}

QString books()
{
    return TestHarness::home() + QStringLiteral("/Books");
}

QString trashed(const QString &name)
{
    return AppPaths::dataHome() + QStringLiteral("/Trash/files/") + name;
}

BookmarkEntry row(const QString &name, const QString &path, const QString &title, qint64 page = 1)
{
    BookmarkEntry entry = Fixtures::bookmark(path, page, title);
    entry.pdfFileName = name;
    return entry;
}

BookmarkEntry pages(const QString &name, qint64 page, qint64 span, qint64 total)
{
    BookmarkEntry entry = row(name, QString(), QStringLiteral("Song %1").arg(page), page);
    entry.pageSpan = span;
    entry.totalPages = total;
    return entry;
}

QStringList sortedTitles(const BookmarkList &rows)
{
    QStringList titles;
    for (const BookmarkEntry &entry : rows)
        titles.append(entry.title);
    titles.sort();
    return titles;
}

Playlist playlistOf(const QString &name, const BookmarkList &rows)
{
    Playlist playlist{name, {}};
    for (const BookmarkEntry &entry : rows)
        playlist.items.append(PlaylistItem::fromBookmark(entry));
    return playlist;
}

using SlotRows = QMap<qint64, BookmarkList>;

} // namespace

class LibraryBooksTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::resetLibrary(); }

    void cleanup() { LibrarySession::waitForPendingSaves(); }

    // Each group as "name|single or book|subtitle".
    void groupsImportedFiles_data()
    {
        QTest::addColumn<SlotRows>("slotRows");
        QTest::addColumn<QStringList>("groups");
        const QString a = imports() + "/a.pdf";
        const QString b = imports() + "/b.pdf";
        const QString reels = imports() + "/Reels (Custom).pdf";
        QTest::newRow("the Default slot is never looked at")
            << SlotRows{{0, {row("a.pdf", a, "Photo")}}} << QStringList();
        QTest::newRow("a book of the user's own")
            << SlotRows{{1, {row("Real.pdf", "/b/Real.pdf", "Real")}}} << QStringList();
        QTest::newRow("a single without a title")
            << SlotRows{{1, {row(SlotStore::customSinglesBookName, a, "")}}}
            << QStringList{"Custom Single|single|Custom Single • 1 title(s) • Slot 1"};
        QTest::newRow("a book over two slots, one of them named")
            << SlotRows{{2, {row("Reels (Custom).pdf", reels, "Reel 1")}},
                        {5,
                         {row("Reels (Custom).pdf", reels, "Reel 1"),
                          row("Reels (Custom).pdf", reels, "Reel 2", 2)}}}
            << QStringList{"Reels (Custom)|book|Custom Book • 3 title(s) • Gigs, Slot 5"};
        QTest::newRow("singles sharing the book name are files of their own")
            << SlotRows{{1,
                         {row(SlotStore::customSinglesBookName, a, "Misty"),
                          row(SlotStore::customSinglesBookName, b, "Blue Bossa")}}}
            << QStringList{"Blue Bossa|single|Custom Single • 1 title(s) • Slot 1",
                           "Misty|single|Custom Single • 1 title(s) • Slot 1"};
        QTest::newRow("a book known by its name only")
            << SlotRows{{3, {row("Mine (Custom).pdf", "", "One"), row("mine (custom).PDF", "", "Two", 2)}}}
            << QStringList{"Mine (Custom)|book|Custom Book • 2 title(s) • Slot 3"};
        QTest::newRow("ordered ignoring case")
            << SlotRows{{1,
                         {row("Zeta (Custom).pdf", "", "z"), row("Alpha (Custom).pdf", "", "a"),
                          row("beta (Custom).pdf", "", "b")}}}
            << QStringList{"Alpha (Custom)|book|Custom Book • 1 title(s) • Slot 1",
                           "beta (Custom)|book|Custom Book • 1 title(s) • Slot 1",
                           "Zeta (Custom)|book|Custom Book • 1 title(s) • Slot 1"};
    }

    void groupsImportedFiles()
    {
        QFETCH(SlotRows, slotRows);
        QFETCH(QStringList, groups);
        QList<LibraryRows> rowsOfSlots(LibrarySession::slotCount);
        for (auto slot = slotRows.cbegin(); slot != slotRows.cend(); ++slot)
            rowsOfSlots[slot.key()] = LibraryRows(slot.value());
        const QStringList names{"Default", "Slot 1", "Gigs", "Slot 3", "Slot 4", "Slot 5"};
        QStringList described;
        for (const CustomFileGroup &group : CustomPdfFiles::customFileGroups(rowsOfSlots, names))
            described.append(group.displayName + (group.isCustomSingle ? "|single|" : "|book|") +
                             group.subtitle);
        QCOMPARE(described, groups);
    }

    // A deletion over every user slot: the rows of the chosen files go from slots 1-5, their songs from
    // the playlists, and a file goes to the trash only when no row of any slot and no playlist item
    // uses it any more.
    void deletesImportedFilesEverywhere_data()
    {
        QTest::addColumn<qint64>("current");
        QTest::addColumn<QString>("deleted");  // the display name of the group
        QTest::addColumn<QString>("otherUse"); // "", "slot0", "playlist", "samePathWrittenOtherwise"
        QTest::addColumn<QStringList>("trashedFiles");
        QTest::addColumn<QStringList>("rowsLeft");
        QTest::addColumn<QStringList>("itemsLeft");
        const QStringList othersLeft{"Mine 1", "Mine 2", "Photo B", "Real"};
        QTest::newRow("a single, from the current slot and another")
            << qint64(1) << "Photo A"
            << "" << QStringList{"a.pdf"} << othersLeft << QStringList{"Mine 1", "Photo B"};
        QTest::newRow("a single while the Default slot is current")
            << qint64(0) << "Photo A"
            << "" << QStringList{"a.pdf"} << othersLeft << QStringList{"Mine 1", "Photo B"};
        QTest::newRow("a file the Default slot still uses")
            << qint64(1) << "Photo A"
            << "slot0" << QStringList() << othersLeft + QStringList{"Old photo"}
            << QStringList{"Mine 1", "Photo B"};
        QTest::newRow("a file another song's playlist item uses")
            << qint64(1) << "Photo A"
            << "playlist" << QStringList() << othersLeft << QStringList{"Another song", "Mine 1", "Photo B"};
        QTest::newRow("a file a remaining row names otherwise")
            << qint64(1) << "Photo A"
            << "samePathWrittenOtherwise" << QStringList() << othersLeft + QStringList{"Photo A again"}
            << QStringList{"Mine 1", "Photo B"};
        QTest::newRow("a book over two slots")
            << qint64(3) << "Mine (Custom)"
            << "" << QStringList{"Mine (Custom).pdf"} << QStringList{"Photo A", "Photo A", "Photo B", "Real"}
            << QStringList{"Photo A", "Photo B"};
    }

    void deletesImportedFilesEverywhere()
    {
        QFETCH(qint64, current);
        QFETCH(QString, deleted);
        QFETCH(QString, otherUse);
        QFETCH(QStringList, trashedFiles);
        QFETCH(QStringList, rowsLeft);
        QFETCH(QStringList, itemsLeft);
        const QString a = imports() + "/a.pdf";
        const QString b = imports() + "/b.pdf";
        const QString book = imports() + "/Mine (Custom).pdf";
        for (const QString &file : {a, b, book})
            TestHarness::writeFile(file, "%PDF-1.4");
        const BookmarkEntry photoA = row(SlotStore::customSinglesBookName, a, "Photo A");
        const BookmarkEntry photoB = row(SlotStore::customSinglesBookName, b, "Photo B");
        const BookmarkEntry mine1 = row("Mine (Custom).pdf", book, "Mine 1");
        SlotStore::saveSlot(
            0, otherUse == "slot0" ? BookmarkList{row("a.pdf", a, "Old photo")} : BookmarkList(), QString());
        SlotStore::saveSlot(1, {row("Real.pdf", "/b/Real.pdf", "Real"), photoA, photoB, mine1}, QString());
        SlotStore::saveSlot(3, {photoA, row("Mine (Custom).pdf", book, "Mine 2", 2)}, QString());
        if (otherUse == "samePathWrittenOtherwise")
            SlotStore::saveSlot(4, {row("a.pdf", imports() + "/sub/../a.pdf", "Photo A again")}, QString());
        QList<Playlist> lists{playlistOf("Gig", {photoA, photoB, mine1})};
        if (otherUse == "playlist")
            lists.append(playlistOf("Other", {row("a.pdf", a, "Another song", 9)}));
        QVERIFY(PlaylistStore::savePlaylists(lists));
        SlotStore::saveMeta(SlotMeta{current, {}});

        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        LibraryFiles libraryFiles(librarySlots);
        session.restoreActiveSlot();
        QVERIFY(TestHarness::loadCurrentSlot(librarySlots));
        QList<CustomFileGroup> chosen;
        for (const CustomFileGroup &group : libraryFiles.customFileGroupsJob()()) {
            if (group.displayName == deleted)
                chosen.append(group);
        }
        QCOMPARE(chosen.size(), 1);
        std::optional<CustomFileDeletion> result;
        libraryFiles.deleteCustomFileGroups(chosen,
                                            [&result](const CustomFileDeletion &done) { result = done; });
        WAIT_VERIFY(result);
        QVERIFY(result->slotsNotWritten.isEmpty());
        QVERIFY(result->notTrashed.isEmpty());
        LibrarySession::waitForPendingSaves();

        BookmarkList remaining;
        for (qint64 slot = 0; slot < LibrarySession::slotCount; ++slot)
            remaining += slot == current ? session.allBookmarks().toList() : SlotStore::loadSlot(slot);
        rowsLeft.sort();
        QCOMPARE(sortedTitles(remaining), rowsLeft);
        QStringList items;
        for (const Playlist &playlist : playlists.playlists()) {
            for (const PlaylistItem &item : playlist.items)
                items.append(item.title);
        }
        items.sort();
        QCOMPARE(items, itemsLeft);
        for (const QString &path : {a, b, book}) {
            const QString name = QFileInfo(path).fileName();
            QCOMPARE(QFileInfo::exists(path), !trashedFiles.contains(name));
            QCOMPARE(QFileInfo::exists(trashed(name)), trashedFiles.contains(name));
        }
    }

    // Each book as "name|path|pages|available"; paths below the books folder are written relative.
    void listsTheBooksOfASlot_data()
    {
        QTest::addColumn<BookmarkList>("rows");
        QTest::addColumn<bool>("withFolder");
        QTest::addColumn<QStringList>("expected");
        const QString bookA = books() + "/Book A.pdf";
        QTest::newRow("one book in two spellings")
            << BookmarkList{row("Book A.pdf", bookA, "One", 1), row("book a.pdf", bookA, "Two", 5)} << false
            << QStringList{"Book A.pdf|Book A.pdf|5|yes"};
        QTest::newRow("no path and no folder")
            << BookmarkList{row("Lost.pdf", "", "One", 3)} << false << QStringList{"Lost.pdf||3|no"};
        QTest::newRow("found below the folder") << BookmarkList{row("Found.pdf", "", "One", 2)} << true
                                                << QStringList{"Found.pdf|Deep/Found.pdf|2|yes"};
        QTest::newRow("singles add up their spans")
            << BookmarkList{pages(SlotStore::customSinglesBookName, 1, 0, 0),
                            pages(SlotStore::customSinglesBookName, 1, 1, 0),
                            pages(SlotStore::customSinglesBookName, 1, 4, 0)}
            << false << QStringList{"Custom Singles||6|no"};
        QTest::newRow("a book reaches its last song's end")
            << BookmarkList{pages("B.pdf", 3, 2, 0), pages("B.pdf", 10, 1, 0)} << false
            << QStringList{"B.pdf||10|no"};
        QTest::newRow("a book knows its pages")
            << BookmarkList{pages("B.pdf", 3, 2, 0), pages("B.pdf", 10, 1, 40)} << false
            << QStringList{"B.pdf||40|no"};
        QTest::newRow("ordered ignoring case")
            << BookmarkList{row("Zeta.pdf", "", "z"), row("Alpha.pdf", "", "a"), row("beta.pdf", "", "b")}
            << false << QStringList{"Alpha.pdf||1|no", "beta.pdf||1|no", "Zeta.pdf||1|no"};
    }

    void listsTheBooksOfASlot()
    {
        QFETCH(BookmarkList, rows);
        QFETCH(bool, withFolder);
        QFETCH(QStringList, expected);
        TestHarness::writeFile(books() + "/Book A.pdf", "%PDF-1.4");
        TestHarness::writeFile(books() + "/Deep/Found.pdf", "%PDF-1.4");
        QStringList described;
        for (const WorkshopSlotBook &book :
             WorkshopBooks::slotBooks(LibraryRows(rows), withFolder ? books() : QString())) {
            const QString path = book.resolvedPath ? QDir(books()).relativeFilePath(*book.resolvedPath) : "";
            described.append(QStringLiteral("%1|%2|%3|%4")
                                 .arg(book.slotPdfFileName, path)
                                 .arg(book.pageCount)
                                 .arg(book.isAvailable ? "yes" : "no"));
            QCOMPARE(book.modified.isValid(), book.isAvailable);
        }
        QCOMPARE(described, expected);
    }

    void listsTheTitlesOfABook_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("a book by page, then title") << "Real.pdf" << QStringList{"Zed", "Alone", "blue"};
        QTest::newRow("the singles by title") << "custom singles" << QStringList{"apple", "Banana"};
    }

    void listsTheTitlesOfABook()
    {
        QFETCH(QString, book);
        QFETCH(QStringList, titles);
        const LibraryRows rows(
            BookmarkList{row("Real.pdf", "/b/Real.pdf", "Zed", 1),
                         row(SlotStore::customSinglesBookName, imports() + "/x.pdf", "Banana"),
                         row("real.PDF", "/b/Real.pdf", "blue", 4),
                         row(SlotStore::customSinglesBookName, imports() + "/y.pdf", "apple"),
                         row("Real.pdf", "/b/Real.pdf", "Alone", 4)});
        QStringList listed;
        for (const BookmarkEntry &entry : WorkshopBooks::bookTitles(rows, book))
            listed.append(entry.title);
        QCOMPARE(listed, titles);
    }

    // Relinking works on the Default slot whether it is current (the library) or not (its file).
    void relinksADefaultBook_data()
    {
        QTest::addColumn<qint64>("current");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<qsizetype>("relinked");
        QTest::newRow("the Default slot current") << qint64(0) << "Old.pdf" << qsizetype(2);
        QTest::newRow("another slot current") << qint64(2) << "Old.pdf" << qsizetype(2);
        QTest::newRow("no book of that name") << qint64(2) << "Gone.pdf" << qsizetype(0);
    }

    void relinksADefaultBook()
    {
        QFETCH(qint64, current);
        QFETCH(QString, expected);
        QFETCH(qsizetype, relinked);
        SlotStore::saveSlot(0,
                            {row("Old.pdf", "/gone/Old.pdf", "One", 1),
                             row("OLD.pdf", "/gone/OLD.pdf", "Two", 2),
                             row("Other.pdf", "/b/Other.pdf", "Three", 3)},
                            QString());
        SlotStore::saveMeta(SlotMeta{current, {}});
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        LibraryFiles libraryFiles(librarySlots);
        session.restoreActiveSlot();
        QVERIFY(TestHarness::loadCurrentSlot(librarySlots));
        std::optional<BookRelink> result;
        libraryFiles.relinkDefaultBook(expected, "/x/New.pdf",
                                       [&result](const BookRelink &done) { result = done; });
        WAIT_VERIFY(result);
        QCOMPARE(result->relinked, relinked);
        QVERIFY(result->written);
        LibrarySession::waitForPendingSaves();
        QStringList paths;
        for (const BookmarkEntry &entry : SlotStore::loadSlot(0))
            paths.append(entry.pdfFileName + "@" + entry.pdfFilePath);
        if (relinked > 0)
            QCOMPARE(paths,
                     QStringList({"New.pdf@/x/New.pdf", "New.pdf@/x/New.pdf", "Other.pdf@/b/Other.pdf"}));
        else
            QCOMPARE(paths, QStringList({"Old.pdf@/gone/Old.pdf", "OLD.pdf@/gone/OLD.pdf",
                                         "Other.pdf@/b/Other.pdf"}));
    }
};

LYRAFOLD_TEST_MAIN(LibraryBooksTest)
#include "tst_librarybooks.moc"
