#include "Fixtures.h"
#include "TestHarness.h"
#include "core/playlist/PlaylistBookPaths.h"
#include "core/playlist/PlaylistRows.h"
#include "core/slotfiles/SlotStore.h"

namespace {

PlaylistItem item(const QString &path, qint64 page, const QString &title)
{
    PlaylistItem made(Fixtures::bookmark(path, page, title));
    made.pdfFileName = QFileInfo(path).fileName();
    return made;
}

Playlist named(const QString &name)
{
    return Playlist{name, {}};
}

} // namespace

// What the playlists window's lists show and do, worked out without widgets.
class PlaylistRowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void subtitle_data()
    {
        QTest::addColumn<PlaylistItem>("song");
        QTest::addColumn<QString>("subtitle");
        PlaylistItem plain = item(QStringLiteral("/b/Book.pdf"), 7, QStringLiteral("Blue Moon"));
        QTest::newRow("no tags, no page span") << plain << "Book.pdf · p.7 · 1 page(s)";
        PlaylistItem full = plain;
        full.pageSpan = 3;
        full.genre = QStringLiteral("Jazz");
        full.style = QStringLiteral("Swing");
        full.firstReleaseYear = 1938;
        full.composer = QStringLiteral("Vandermeer");
        full.tempo = QStringLiteral("Fast");
        full.rating = 4.5;
        full.spotifyURL = QStringLiteral("x");
        full.youtubeURL = QStringLiteral("y");
        QTest::newRow("every tag") << full
                                   << "Book.pdf · p.7 · 3 page(s) — Jazz · Swing · 1938 · Vandermeer · Fast "
                                      "· ★5 · Spotify · YouTube";
        const auto rated = [&plain](double rating) {
            PlaylistItem song = plain;
            song.rating = rating;
            return song;
        };
        QTest::newRow("4.4 rounds down") << rated(4.4) << "Book.pdf · p.7 · 1 page(s) — ★4";
        QTest::newRow("2.5 rounds away from zero") << rated(2.5) << "Book.pdf · p.7 · 1 page(s) — ★3";
        QTest::newRow("not a number: no star") << rated(std::nan("")) << "Book.pdf · p.7 · 1 page(s)";
        PlaylistItem marked = item(QStringLiteral("/b/Hits 100%1%2.pdf"), 12, QStringLiteral("Blue Moon"));
        marked.pageSpan = 2;
        QTest::newRow("%1 and %2 in a file name stay text")
            << marked << "Hits 100%1%2.pdf · p.12 · 2 page(s)";
    }

    void subtitle()
    {
        QFETCH(PlaylistItem, song);
        QFETCH(QString, subtitle);
        QCOMPARE(PlaylistRows::subtitle(song), subtitle);
    }

    // A stored link opens only as a web page; anything else searches the title.
    void linkAddress_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("spotify");
        QTest::addColumn<QString>("youtube");
        QTest::newRow("https link") << "https://open.spotify.com/track/1"
                                    << "Blue Moon"
                                    << "https://open.spotify.com/track/1"
                                    << "https://open.spotify.com/track/1";
        QTest::newRow("http link") << "HTTP://example.com/a"
                                   << "Blue Moon"
                                   << "http://example.com/a"
                                   << "http://example.com/a";
        QTest::newRow("script") << "javascript:alert(1)"
                                << "Blue Moon"
                                << "https://open.spotify.com/search/Blue%20Moon"
                                << "https://www.youtube.com/results?search_query=Blue%20Moon";
        QTest::newRow("file") << "file:///etc/passwd"
                              << "AC/DC"
                              << "https://open.spotify.com/search/AC%2FDC"
                              << "https://www.youtube.com/results?search_query=AC%2FDC";
        QTest::newRow("not a URL") << "spotify track"
                                   << "Blue Moon"
                                   << "https://open.spotify.com/search/Blue%20Moon"
                                   << "https://www.youtube.com/results?search_query=Blue%20Moon";
        QTest::newRow("line break inside") << "https://a.example/\nx"
                                           << "Blue Moon"
                                           << "https://open.spotify.com/search/Blue%20Moon"
                                           << "https://www.youtube.com/results?search_query=Blue%20Moon";
        QTest::newRow("nothing to search") << ""
                                           << "  "
                                           << ""
                                           << "";
    }

    void linkAddress()
    {
        QFETCH(QString, stored);
        QFETCH(QString, title);
        QFETCH(QString, spotify);
        QFETCH(QString, youtube);
        PlaylistItem song = item(QStringLiteral("/b/Book.pdf"), 1, title);
        song.spotifyURL = song.youtubeURL = stored;
        QCOMPARE(PlaylistRows::linkAddress(song, PlaylistRows::Link::spotify).toString(QUrl::FullyEncoded),
                 spotify);
        QCOMPARE(PlaylistRows::linkAddress(song, PlaylistRows::Link::youtube).toString(QUrl::FullyEncoded),
                 youtube);
    }

    void rowPayload_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<qsizetype>("row"); // -1: refused
        QTest::newRow("as written") << PlaylistRows::rowPayload(12) << qsizetype(12);
        QTest::newRow("plus sign") << QByteArray("+3") << qsizetype(3);
        QTest::newRow("minus sign") << QByteArray("-2") << qsizetype(-2);
        QTest::newRow("empty") << QByteArray() << qsizetype(-1);
        QTest::newRow("blank around") << QByteArray(" 3") << qsizetype(-1);
        QTest::newRow("not a number") << QByteArray("three") << qsizetype(-1);
        QTest::newRow("not UTF-8") << QByteArray("\xff\xfe") << qsizetype(-1);
    }

    void rowPayload()
    {
        QFETCH(QByteArray, payload);
        QFETCH(qsizetype, row);
        const std::optional<qsizetype> parsed = PlaylistRows::rowFromPayload(payload);
        QCOMPARE(parsed.value_or(-1), row);
        QCOMPARE(parsed.has_value(), row != -1);
    }

    void moveDestination_data()
    {
        QTest::addColumn<qsizetype>("from");
        QTest::addColumn<qsizetype>("dropRow");
        QTest::addColumn<qsizetype>("destination");
        QTest::newRow("down above row 3") << qsizetype(1) << qsizetype(3) << qsizetype(2);
        QTest::newRow("up above row 1") << qsizetype(3) << qsizetype(1) << qsizetype(1);
        QTest::newRow("last below the last") << qsizetype(4) << qsizetype(5) << qsizetype(4);
        QTest::newRow("first below the last") << qsizetype(0) << qsizetype(5) << qsizetype(4);
        QTest::newRow("onto itself") << qsizetype(2) << qsizetype(2) << qsizetype(2);
        QTest::newRow("past the end") << qsizetype(0) << qsizetype(9) << qsizetype(4);
    }

    void moveDestination()
    {
        QFETCH(qsizetype, from);
        QFETCH(qsizetype, dropRow);
        QFETCH(qsizetype, destination);
        QCOMPARE(PlaylistRows::moveDestination(from, dropRow, 5), destination);
    }

    // The selected playlist across changes made anywhere: "B" of A, B, b, C at position 1.
    void selectionAfterChange_data()
    {
        using K = PlaylistChange::Kind;
        QTest::addColumn<PlaylistChange>("change");
        QTest::addColumn<QStringList>("now");
        QTest::addColumn<qsizetype>("selected");
        QTest::newRow("one before removed")
            << PlaylistChange{K::removed, {0}} << QStringList{"B", "b", "C"} << qsizetype(0);
        QTest::newRow("itself removed")
            << PlaylistChange{K::removed, {1}} << QStringList{"A", "b", "C"} << qsizetype(-1);
        QTest::newRow("one after removed")
            << PlaylistChange{K::removed, {2}} << QStringList{"A", "B", "C"} << qsizetype(1);
        QTest::newRow("added") << PlaylistChange{K::added, {4}} << QStringList{"A", "B", "b", "C", "D"}
                               << qsizetype(1);
        QTest::newRow("titles changed")
            << PlaylistChange{K::itemsChanged, {1}} << QStringList{"A", "B", "b", "C"} << qsizetype(1);
        QTest::newRow("read again, moved")
            << PlaylistChange{K::reloaded, {}} << QStringList{"b", "C", "B"} << qsizetype(2);
        QTest::newRow("read again, gone but its case twin")
            << PlaylistChange{K::reloaded, {}} << QStringList{"A", "b"} << qsizetype(-1);
        QTest::newRow("fewer than the position")
            << PlaylistChange{K::itemsChanged, {0}} << QStringList{"A"} << qsizetype(-1);
    }

    void selectionAfterChange()
    {
        QFETCH(PlaylistChange, change);
        QFETCH(QStringList, now);
        QFETCH(qsizetype, selected);
        QList<Playlist> playlists;
        for (const QString &name : now)
            playlists.append(named(name));
        QCOMPARE(PlaylistRows::selectionAfterChange(1, QStringLiteral("B"), change, playlists), selected);
        QCOMPARE(PlaylistRows::selectionAfterChange(-1, QString(), change, playlists), qsizetype(-1));
    }

    void bookKey_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("key");
        QTest::newRow("PDFDrive suffix") << "/any/where/My Book (PDFDrive).pdf"
                                         << "mybook";
        QTest::newRow("plain name") << "My Book.pdf"
                                    << "mybook";
        QTest::newRow("accents and case") << "Canções Ñ.PDF"
                                          << "cancoesn";
        QTest::newRow("pdf inside the name") << "Real Book pdf 2.pdf"
                                             << "realbook2";
        QTest::newRow("only punctuation") << "(--).pdf"
                                          << "";
    }

    void bookKey()
    {
        QFETCH(QString, path);
        QFETCH(QString, key);
        QCOMPARE(PlaylistBookPaths::bookKeyForTesting(path), key);
    }

    // A title whose book moved opens from the Default library's book of the same key, found by its
    // file name first, then by its stored path's last part; nothing when neither exists.
    void resolve_data()
    {
        QTest::addColumn<QString>("storedPath");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("resolved");
        const QString books = TestHarness::home() + QStringLiteral("/Books/");
        QTest::newRow("stored path exists") << books + "Other.pdf"
                                            << "Other.pdf" << books + "Other.pdf";
        QTest::newRow("by file name") << "/gone/x.pdf"
                                      << "My Book.pdf" << books + "My Book (PDFDrive).pdf";
        QTest::newRow("by the path's last part") << "/gone/my_book.pdf"
                                                 << "" << books + "My Book (PDFDrive).pdf";
        QTest::newRow("book not in the library") << "/gone/Unknown.pdf"
                                                 << "Unknown.pdf"
                                                 << "";
        QTest::newRow("library book gone too") << "/gone/Vanished.pdf"
                                               << "Vanished.pdf"
                                               << "";
    }

    void resolve()
    {
        QFETCH(QString, storedPath);
        QFETCH(QString, fileName);
        QFETCH(QString, resolved);
        const QString books = TestHarness::home() + QStringLiteral("/Books/");
        TestHarness::writeFile(books + "My Book (PDFDrive).pdf", "%PDF");
        TestHarness::writeFile(books + "Other.pdf", "%PDF");
        QVERIFY(SlotStore::saveSlot(0,
                                    {Fixtures::bookmark(books + "My Book (PDFDrive).pdf", 1, "A"),
                                     Fixtures::bookmark(books + "Vanished.pdf", 1, "B")},
                                    books));
        DefaultBookPaths paths;
        PlaylistItem song = item(storedPath, 3, QStringLiteral("Song"));
        song.pdfFileName = fileName;
        const QList<PlaylistItem> items = paths.get().resolvedForTesting({song});
        QCOMPARE(items.at(0).pdfFilePath, resolved.isEmpty() ? storedPath : resolved);
        QCOMPARE(items.at(0).pageNumber, 3);
    }

    // A received title whose book is neither at the sender's path nor in the Default library is found
    // among the current slot's books, then in the slot's folder.
    void resolveInTheLibrary_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("resolved");   // under the home folder
        QTest::addColumn<bool>("putThereLater"); // the book is written after a first look found nothing
        QTest::newRow("Default library first") << "Shared.pdf"
                                               << "/Default/Shared.pdf" << false;
        QTest::newRow("a book of the current slot") << "Slot Book.pdf"
                                                    << "/Mine/Slot Book.pdf" << false;
        QTest::newRow("a PDF in the slot's folder") << "Loose.pdf"
                                                    << "/Mine/deep/Loose.pdf" << false;
        QTest::newRow("a PDF put into the slot's folder since the last look")
            << "Later.pdf"
            << "/Mine/deep/Later.pdf" << true;
        QTest::newRow("a book of the current slot that is back since the last look")
            << "Back.pdf"
            << "/Elsewhere/Back.pdf" << true;
        QTest::newRow("nowhere") << "Unknown.pdf"
                                 << "" << false;
    }

    void resolveInTheLibrary()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, resolved);
        QFETCH(bool, putThereLater);
        const QString home = TestHarness::home();
        for (const char *file :
             {"/Default/Shared.pdf", "/Mine/Shared.pdf", "/Mine/Slot Book.pdf", "/Mine/deep/Loose.pdf"})
            TestHarness::writeFile(home + QLatin1String(file), "%PDF");
        const PlaylistBookPaths defaults = PlaylistBookPaths::fromRows(
            BookmarkList{Fixtures::bookmark(home + "/Default/Shared.pdf", 1, "A")});
        // Back.pdf is a book of the slot outside its folder (a drive plugged in later).
        const LibraryRows slot(BookmarkList{Fixtures::bookmark(home + "/Mine/Shared.pdf", 1, "A"),
                                            Fixtures::bookmark(home + "/Mine/Slot Book.pdf", 1, "B"),
                                            Fixtures::bookmark(home + "/Elsewhere/Back.pdf", 1, "C")});
        PlaylistItem song = item(QStringLiteral("/sender/") + fileName, 2, QStringLiteral("Song"));
        SlotBookPaths slotBooks;
        const auto resolve = [&] {
            return PlaylistBookPaths::resolvedInLibrary(defaults, {song}, slot,
                                                        home + QStringLiteral("/Mine"), slotBooks);
        };
        if (putThereLater) {
            QCOMPARE(resolve().at(0).pdfFilePath, song.pdfFilePath);
            TestHarness::writeFile(home + resolved, "%PDF");
        }
        const QList<PlaylistItem> items = resolve();
        QCOMPARE(items.at(0).pdfFilePath, resolved.isEmpty() ? song.pdfFilePath : home + resolved);
    }

    // The current slot's books are looked up once for the same rows, and again once a row changed.
    void slotBooksAreKeptWhileTheRowsStay_data()
    {
        QTest::addColumn<bool>("rowEdited");
        QTest::newRow("the same rows") << false;
        QTest::newRow("a row edited") << true;
    }

    void slotBooksAreKeptWhileTheRowsStay()
    {
        QFETCH(bool, rowEdited);
        LibraryRows rows(BookmarkList{Fixtures::bookmark(QStringLiteral("/books/One.pdf"), 1, "A"),
                                      Fixtures::bookmark(QStringLiteral("/books/Two.pdf"), 1, "B")});
        SlotBookPaths slotBooks;
        const std::shared_ptr<const PlaylistBookPaths> first = slotBooks.ofRows(rows);
        if (rowEdited)
            rows.edit(1).pdfFilePath = QStringLiteral("/books/Three.pdf");
        QCOMPARE(slotBooks.ofRows(rows) == first, !rowEdited);
    }
};

LYRAFOLD_TEST_MAIN(PlaylistRowsTest)
#include "tst_playlistrows.moc"
