#include "Fixtures.h"
#include "TestHarness.h"
#include "core/bookmarks/BookmarkCache.h"
#include "core/bookmarks/LibraryColumns.h"
#include "core/books/CustomPdfFiles.h"
#include "core/common/AppPaths.h"
#include "core/imports/BookmarkImport.h"
#include "core/metadata/MetadataImport.h"
#include "core/playlist/LyfPlaylistCodec.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"
#include "core/session/SongOpening.h"
#include "core/share/ExportService.h"
#include "core/slotfiles/SlotStore.h"
#include "core/text/TextUtils.h"
#include "core/titles/TitleKeyIndex.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <cmath>

namespace {

QString books()
{
    return TestHarness::home() + QStringLiteral("/Books");
}

QString imports()
{
    return AppPaths::importLibraryPath();
}

QString trashed(const QString &name)
{
    return AppPaths::dataHome() + QStringLiteral("/Trash/files/") + name;
}

// "Autumn Leaves" in two books and, with a leading article, in a third: one title key. "Blue Moon"
// stands apart.
BookmarkList autumnLibrary()
{
    BookmarkList rows{Fixtures::bookmark("/b/A.pdf", 10, "Autumn Leaves"),
                      Fixtures::bookmark("/b/B.pdf", 4, "Blue Moon"),
                      Fixtures::bookmark("/b/B.pdf", 20, "autumn leaves"),
                      Fixtures::bookmark("/b/C.pdf", 7, "The Autumn Leaves")};
    rows[0].tempo = QStringLiteral("Ballad");
    rows[2].tempo = QStringLiteral("Medium");
    return rows;
}

Playlist playlistOf(const QString &name, const BookmarkList &rows)
{
    Playlist playlist{name, {}};
    for (const BookmarkEntry &row : rows)
        playlist.items.append(PlaylistItem::fromBookmark(row));
    return playlist;
}

QStringList titles(const BookmarkList &rows)
{
    QStringList list;
    for (const BookmarkEntry &row : rows)
        list.append(row.title);
    return list;
}

// The plan as the window gets it, the other slots read on a worker.
DeletionPlan plannedDeletion(const LibrarySession &session, const QList<qsizetype> &positions)
{
    std::optional<DeletionPlan> plan;
    QObject context;
    RowDeletion::planInBackground(session, positions, &context,
                                  [&plan](DeletionPlan made) { plan = std::move(made); });
    if (!TestHarness::waitFor([&plan] { return plan.has_value(); }, TestHarness::hangGuard))
        return {}; // never arrived: the comparisons that follow fail
    return *plan;
}

} // namespace

class LibraryEditsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::resetLibrary(); }

    void cleanup() { LibrarySession::waitForPendingSaves(); }

    void setsAFieldOnEveryRowOfTheTitle_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("changed");    // -1: refused
        QTest::addColumn<QString>("stored"); // the column's cell text afterwards
        using F = BookmarkMetadataField;
        QTest::newRow("genre") << int(F::genre) << "Bebop" << 3 << "Bebop";
        QTest::newRow("year") << int(F::year) << "1959" << 3 << "1959";
        QTest::newRow("unreadable year clears") << int(F::year) << "59a" << 3 << "";
        QTest::newRow("rating kept as typed") << int(F::rating) << "4.5" << 3 << "5";
        QTest::newRow("rating not clamped") << int(F::rating) << "7" << 3 << "7";
        QTest::newRow("infinite rating refused") << int(F::rating) << "inf" << -1 << "";
        QTest::newRow("blank title refused") << int(F::title) << " \t" << -1 << "Autumn Leaves";
    }

    void setsAFieldOnEveryRowOfTheTitle()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(int, changed);
        QFETCH(QString, stored);
        const auto metadataField = BookmarkMetadataField(field);
        // The fields in their order, by the column that edits each.
        const QString column =
            QStringList{LibraryColumns::title, LibraryColumns::genre,    LibraryColumns::style,
                        LibraryColumns::year,  LibraryColumns::composer, LibraryColumns::tempo,
                        LibraryColumns::rating}
                .at(field);
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibraryShownRows shown(session);
        const BookmarkList before = autumnLibrary();
        Fixtures::setRows(session, before);
        // Shown by page: Blue Moon, then The Autumn Leaves.
        QVERIFY(shown.sortFilteredByColumn(LibraryColumns::page));
        const quint64 version = session.libraryVersion();

        const Result<qsizetype> result = session.setMetadataField(metadataField, value, before.at(0));
        QCOMPARE(result ? int(result.value()) : -1, changed);
        if (changed < 0) {
            QCOMPARE(session.allBookmarks().toList(), before);
            QCOMPARE(session.libraryVersion(), version);
            return;
        }
        for (qsizetype i : {0, 2, 3})
            QCOMPARE(LibraryColumns::text(session.allBookmarks().at(i), column), stored);
        QCOMPARE(session.allBookmarks().at(1), before.at(1));
        QCOMPARE(Fixtures::shownRows(shown).at(0), before.at(1));
        QCOMPARE(LibraryColumns::text(Fixtures::shownRows(shown).at(1), column), stored);
        QVERIFY(session.libraryVersion() > version);
        if (metadataField == BookmarkMetadataField::rating && value == "4.5")
            QCOMPARE(session.allBookmarks().at(2).rating, std::optional(4.5));
    }

    // A new title renames the playlist items of the song; a metadata change reaches the items of the
    // title's songs, and only those.
    void editsReachPlaylists()
    {
        const BookmarkList before = autumnLibrary();
        QVERIFY(PlaylistStore::savePlaylists(
            {playlistOf("Gig", {before.at(0), before.at(1)}), playlistOf("Practice", {before.at(3)})}));
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        Fixtures::setRows(session, before);

        QCOMPARE(session.setMetadataField(BookmarkMetadataField::title, "Autumn Leaves (Live)", before.at(2))
                     .value(),
                 3);
        QCOMPARE(session.setMetadataField(BookmarkMetadataField::genre, "Jazz", session.allBookmarks().at(0))
                     .value(),
                 3);
        LibrarySession::waitForPendingSaves();
        const QList<Playlist> stored = PlaylistStore::loadPlaylists();
        QCOMPARE(stored, playlists.playlists());
        QCOMPARE(stored.at(0).items.at(0).title, "Autumn Leaves (Live)");
        QCOMPARE(stored.at(0).items.at(0).genre, "Jazz");
        QCOMPARE(stored.at(0).items.at(1).title, "Blue Moon");
        QCOMPARE(stored.at(1).items.at(0).title, "Autumn Leaves (Live)");
        QCOMPARE(stored.at(1).items.at(0).pdfFilePath, "/b/C.pdf");
        QCOMPARE(stored.at(1).items.at(0).genre, "Jazz");
    }

    // Every mutation carries out its side effects itself: what it tells (kind and title keys), whether
    // it saves the slot, and whether the playlists follow.
    void mutationSideEffects_data()
    {
        QTest::addColumn<QString>("mutation");
        QTest::addColumn<int>("kind"); // -1: nothing changes, nothing is told
        QTest::addColumn<QStringList>("titleKeys");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("itemGenre"); // of the Gig playlist's first item afterwards
        using K = LibrarySession::ChangeKind;
        QTest::newRow("genre") << "genre" << int(K::edited) << QStringList{"autumn leaves"} << true
                               << "Bebop";
        QTest::newRow("refused title") << "blank title" << -1 << QStringList() << false << "";
        QTest::newRow("title") << "title" << int(K::edited) << QStringList{"autumn leaves", "fall"} << true
                               << "";
        QTest::newRow("dialog values")
            << "dialog" << int(K::edited) << QStringList{"autumn leaves"} << true << "Swing";
        QTest::newRow("append") << "append" << int(K::added) << QStringList{"new song"} << true << "";
        QTest::newRow("delete") << "delete" << int(K::removed) << QStringList{"blue moon"} << true << "";
        QTest::newRow("built-in list") << "adopt" << int(K::replaced) << QStringList() << true << "Latin";
        QTest::newRow("replaced unsaved") << "replace" << int(K::replaced) << QStringList() << false << "";
    }

    void mutationSideEffects()
    {
        QFETCH(QString, mutation);
        QFETCH(int, kind);
        QFETCH(QStringList, titleKeys);
        QFETCH(bool, saved);
        QFETCH(QString, itemGenre);
        const BookmarkList rows = autumnLibrary();
        QVERIFY(PlaylistStore::savePlaylists({playlistOf("Gig", {rows.at(0), rows.at(1)})}));
        TestHarness::writeFile(SlotStore::metaFilePath(), R"({"activeSlot":2,"slotNames":{}})");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        session.restoreActiveSlot();
        Fixtures::setRows(session, rows);
        QSignalSpy changes(&session, &LibrarySession::libraryChanged);

        BookmarkList adopted = rows;
        adopted[0].genre = QStringLiteral("Latin");
        const QHash<QString, std::function<void()>> mutations{
            {"genre", [&] { session.setMetadataField(BookmarkMetadataField::genre, "Bebop", rows.at(2)); }},
            {"blank title", [&] { session.setMetadataField(BookmarkMetadataField::title, " ", rows.at(2)); }},
            {"title", [&] { session.setMetadataField(BookmarkMetadataField::title, "Fall", rows.at(2)); }},
            {"dialog",
             [&] {
                 session.applyMetadataValues(rows.at(3), {"Swing", "", {}, "", "", {}});
             }},
            {"append",
             [&] { Fixtures::appendRows(session, {Fixtures::bookmark("/b/D.pdf", 1, "New Song")}); }},
            {"delete", [&] { session.deleteBookmarks(RowDeletion::plan(session, {1}, std::nullopt)); }},
            {"adopt", [&] { session.adoptDefaultBookmarks(adopted, QString()); }},
            {"replace", [&] { Fixtures::setRows(session, adopted); }},
        };
        mutations.value(mutation)();
        LibrarySession::waitForPendingSaves();

        QCOMPARE(changes.count(), kind < 0 ? 0 : 1);
        if (kind >= 0) {
            QCOMPARE(int(changes.at(0).at(0).value<LibrarySession::ChangeKind>()), kind);
            QStringList told = changes.at(0).at(1).value<QSet<QString>>().values();
            told.sort();
            QCOMPARE(told, titleKeys);
        }
        QCOMPARE(QFileInfo::exists(SlotStore::slotFilePath(session.currentSlotId())), saved);
        QCOMPARE(PlaylistStore::loadPlaylists(), playlists.playlists());
        QCOMPARE(playlists.playlists().at(0).items.at(0).genre, itemGenre);
        if (mutation == "title")
            QCOMPARE(playlists.playlists().at(0).items.at(0).title, "Fall");
    }

    // A batch saves, syncs and tells once at its commit; one that skips the sync leaves the playlists.
    void batches_data()
    {
        QTest::addColumn<bool>("sync");
        QTest::newRow("sync") << true;
        QTest::newRow("skip the sync") << false;
    }

    void batches()
    {
        QFETCH(bool, sync);
        const BookmarkList rows = autumnLibrary();
        QVERIFY(PlaylistStore::savePlaylists({playlistOf("Gig", {rows.at(0), rows.at(1)})}));
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        Fixtures::setRows(session, rows);
        QSignalSpy changes(&session, &LibrarySession::libraryChanged);
        QSignalSpy playlistChanges(&playlists, &PlaylistLibrary::playlistsChanged);
        {
            LibrarySession::BatchScope batch(session, sync ? LibrarySession::PlaylistSync::sync
                                                           : LibrarySession::PlaylistSync::skip);
            session.setMetadataField(BookmarkMetadataField::genre, "Jazz", rows.at(0));
            session.setMetadataField(BookmarkMetadataField::composer, "Kosma", rows.at(0));
            session.setMetadataField(BookmarkMetadataField::genre, "Pop", rows.at(1));
            QCOMPARE(changes.count(), 0);
            QVERIFY(!QFileInfo::exists(SlotStore::slotFilePath(0)));
        }
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(1).value<QSet<QString>>(), (QSet<QString>{"autumn leaves", "blue moon"}));
        QCOMPARE(playlistChanges.count(), sync ? 1 : 0);
        const QList<PlaylistItem> &items = playlists.playlists().at(0).items;
        QCOMPARE(items.at(0).genre, sync ? "Jazz" : "");
        QCOMPARE(items.at(0).composer, sync ? "Kosma" : "");
        QCOMPARE(items.at(1).genre, sync ? "Pop" : "");
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlot(0).at(1).genre, "Pop");
    }

    // The playlists follow only the songs a change touched; a song deleted while a bookmark of the same
    // song remains takes that bookmark's fields.
    void deletedSongWithADuplicateLeft()
    {
        BookmarkList rows = autumnLibrary();
        BookmarkEntry duplicate = rows.at(1);
        duplicate.genre = QStringLiteral("Ballads");
        rows.append(duplicate);
        QVERIFY(PlaylistStore::savePlaylists({playlistOf("Gig", {rows.at(1)})}));
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        Fixtures::setRows(session, rows);
        QVERIFY(session.deleteBookmarks(RowDeletion::plan(session, {1}, std::nullopt)));
        QCOMPARE(playlists.playlists().at(0).items.at(0).genre, "Ballads");
        QCOMPARE(session.firstPositionOf(duplicate.id()), std::optional<qsizetype>(3));
    }

    // The title keys and the first position of each song, kept in step with every change, are what a
    // fresh look at the rows gives.
    void indexesFollowChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("retitle to a new title") << "retitle new";
        QTest::newRow("retitle onto another song") << "retitle onto";
        QTest::newRow("move a book") << "path";
        QTest::newRow("delete") << "delete";
        QTest::newRow("append") << "append";
    }

    void indexesFollowChanges()
    {
        QFETCH(QString, change);
        BookmarkList rows = autumnLibrary();
        rows.append(rows.at(1)); // a second bookmark of Blue Moon
        rows.append(Fixtures::bookmark("/b/C.pdf", 7, "Autumn Leaves"));
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        Fixtures::setRows(session, rows);
        session.titleKeyIndex();
        session.firstPositionOf(QString());
        if (change == "retitle new")
            session.setMetadataField(BookmarkMetadataField::title, "Fall", rows.at(0));
        else if (change == "retitle onto")
            session.setMetadataField(BookmarkMetadataField::title, "Autumn Leaves", rows.at(3));
        else if (change == "path")
            session.editBookmarks({1},
                                  [](BookmarkEntry &row) { row.pdfFilePath = QStringLiteral("/new/B.pdf"); });
        else if (change == "delete")
            session.deleteBookmarks(RowDeletion::plan(session, {4, 1}, std::nullopt));
        else
            Fixtures::appendRows(session,
                                 {rows.at(1), Fixtures::bookmark("/b/E.pdf", 1, "The Autumn Leaves")});

        const LibraryRows &now = session.allBookmarks();
        const TitleKeyIndex fresh(now);
        const std::shared_ptr<const TitleKeyIndex> kept = session.titleKeyIndex();
        QCOMPARE(kept->titleCount(), fresh.titleCount());
        for (qsizetype t = 0; t < fresh.titleCount(); ++t) {
            QCOMPARE(kept->key(t), fresh.key(t));
            QCOMPARE(QList<qsizetype>(kept->rows(t).begin(), kept->rows(t).end()),
                     QList<qsizetype>(fresh.rows(t).begin(), fresh.rows(t).end()));
        }
        for (qsizetype position = 0; position < now.size(); ++position) {
            qsizetype first = 0;
            while (now.at(first).id() != now.at(position).id())
                ++first;
            QCOMPARE(session.firstPositionOf(now.at(position).id()), std::optional(first));
        }
    }

    // The dialog harmonises all six fields; an enrichment changes only what it found different, a
    // removed year included, and each row keeps its own value elsewhere.
    void dialogAndEnrichmentValues()
    {
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        Fixtures::setRows(session, autumnLibrary());
        const MetadataValues values{"Jazz", "Ballad", 1945, "Kosma", "Slow", 4.5};
        QCOMPARE(session.applyMetadataValues(session.allBookmarks().at(0), values), 3);
        for (qsizetype i : {0, 2, 3}) {
            const BookmarkEntry &row = session.allBookmarks().at(i);
            QCOMPARE((MetadataValues{row.genre, row.style, row.firstReleaseYear, row.composer, row.tempo,
                                     row.rating}),
                     values);
        }
        QCOMPARE(session.allBookmarks().at(3).title, "The Autumn Leaves");

        BookmarkList rows = autumnLibrary();
        Fixtures::setRows(session, rows);
        BookmarkEntry base = rows.at(0);
        base.firstReleaseYear = 1945;
        BookmarkEntry enriched = base;
        enriched.firstReleaseYear.reset();
        enriched.genre = QStringLiteral("Jazz");
        enriched.spotifyURL = QStringLiteral("https://open.spotify.com/track/x");
        rows[2].firstReleaseYear = 1950;
        Fixtures::setRows(session, rows);
        QCOMPARE(session.applyEnrichedMetadata(enriched, base), 3);
        QCOMPARE(session.allBookmarks().at(2).firstReleaseYear, std::nullopt);
        QCOMPARE(session.allBookmarks().at(2).genre, "Jazz");
        QCOMPARE(session.allBookmarks().at(2).spotifyURL, "https://open.spotify.com/track/x");
        QCOMPARE(session.allBookmarks().at(2).tempo, "Medium"); // not changed by the enrichment
        QCOMPARE(session.allBookmarks().at(0).tempo, "Ballad");
        QCOMPARE(session.allBookmarks().at(1).genre, "");
    }

    // A metadata text loses its NUL, DEL and C0 controls but tab, and is cut far beyond any real field,
    // whichever way it comes in, with nothing trimmed; a stored row loads as it was, and the export
    // writes what the library would keep.
    void metadataTextsAreCleanedWhereTheyComeIn_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("cleaned");
        for (const char *way : {"cell", "metadata dialog", "web answer", "metadata JSON file",
                                "metadata CSV file", "bookmark file", "playlist file book", "CSV export"})
            QTest::newRow(way) << way << true;
        QTest::newRow("stored slot") << "stored slot" << false;
    }

    void metadataTextsAreCleanedWhereTheyComeIn()
    {
        QFETCH(QString, way);
        QFETCH(bool, cleaned);
        const QString longTail(5000, QLatin1Char('x'));
        const QString raw = QStringLiteral("  Bill") + QChar(0) +
                            QStringLiteral(" Ev\x1b[31mans\n\tTrio\x7f") + QChar(0x1f) + longTail;
        const QString kept = QStringLiteral("  Bill Ev[31mans\tTrio");
        const QString expected =
            cleaned ? kept + longTail.left(TextUtils::maxFieldLength - kept.size()) : raw;
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        Fixtures::setRows(session, autumnLibrary());
        const BookmarkEntry row = session.allBookmarks().at(0);
        const auto quoted = [](QString text) {
            return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                   QLatin1Char('"');
        };
        QString stored;
        if (way == QLatin1String("cell")) {
            QVERIFY(session.setMetadataField(BookmarkMetadataField::composer, raw, row));
            stored = session.allBookmarks().at(0).composer;
        } else if (way == QLatin1String("metadata dialog")) {
            QCOMPARE(session.applyMetadataValues(row, {{}, {}, {}, raw, {}, {}}), 3);
            stored = session.allBookmarks().at(0).composer;
        } else if (way == QLatin1String("web answer")) {
            BookmarkEntry enriched = row;
            enriched.composer = raw;
            QCOMPARE(session.applyEnrichedMetadata(enriched, row), 3);
            stored = session.allBookmarks().at(0).composer;
        } else if (way.startsWith(QLatin1String("metadata"))) {
            const QByteArray file =
                way.contains(QLatin1String("JSON"))
                    ? QJsonDocument(QJsonArray{QJsonObject{{"title", row.title}, {"composer", raw}}}).toJson()
                    : (QStringLiteral("Title,Composer\n") + row.title + QLatin1Char(',') + quoted(raw))
                          .toUtf8();
            const Result<QList<MetadataRecord>> records = way.contains(QLatin1String("JSON"))
                                                              ? MetadataImport::parseJSON(file)
                                                              : MetadataImport::parseCSV(file);
            QVERIFY(records);
            BookmarkList rows{row};
            QCOMPARE(MetadataImport::applyRecords(records.value(), rows), 1);
            stored = rows.at(0).composer;
        } else if (way == QLatin1String("bookmark file")) {
            BookmarkEntry imported = row;
            imported.composer = raw;
            const QString path = TestHarness::home() + QStringLiteral("/bookmarks.json");
            TestHarness::writeFile(path,
                                   *BookmarkCacheCodec::encode({std::nullopt, QDateTime(), {imported}}));
            const Result<BookmarkImport::ImportedBookmarks> read = BookmarkImport::readFile(path);
            QVERIFY(read);
            stored = read->bookmarks.at(0).composer;
        } else if (way == QLatin1String("playlist file book")) {
            const QJsonObject item{{"title", row.title}, {"bookOrList", raw}, {"page", "1"}};
            const QJsonObject bundle{
                {"lyrafoldFile", "lyrafold_playlist_bundle"},
                {"version", 1},
                {"playlists", QJsonArray{QJsonObject{{"name", "Set"}, {"items", QJsonArray{item}}}}}};
            const Result<QList<Playlist>> read =
                LyfPlaylistCodec::decodeBundle(QJsonDocument(bundle).toJson(), QStringLiteral("set.lyf"));
            QVERIFY2(read, qPrintable(read ? QString() : read.error().message));
            stored = read->at(0).items.at(0).pdfFileName;
        } else if (way == QLatin1String("CSV export")) {
            BookmarkEntry exported = row;
            exported.composer = raw;
            const std::optional<QList<QStringList>> cells =
                MetadataImport::csvRows(QString::fromUtf8(ExportService::csvText({exported})));
            QVERIFY(cells && cells->size() == 2);
            stored = cells->at(1).at(8);
        } else {
            BookmarkEntry saved = row;
            saved.composer = raw;
            QVERIFY(SlotStore::saveSlot(1, {saved}, QString()));
            stored = SlotStore::loadSlot(1).at(0).composer;
        }
        QCOMPARE(stored, expected);
    }

    void labelsAndRecognisesImportedBooks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("inImportLibrary");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("custom");
        QTest::newRow("singles book") << "Custom Singles (Custom).pdf" << false << "Custom Singles" << true;
        QTest::newRow("imported book") << "Scans (custom).PDF" << false << "Scans (custom).PDF" << true;
        QTest::newRow("book in the import library keeps its name")
            << "Tunebook.pdf" << true << "Tunebook.pdf" << true;
        QTest::newRow("ordinary book") << "Real Book.pdf" << false << "Real Book.pdf" << false;
    }

    void labelsAndRecognisesImportedBooks()
    {
        QFETCH(QString, name);
        QFETCH(bool, inImportLibrary);
        QFETCH(QString, label);
        QFETCH(bool, custom);
        BookmarkEntry e = Fixtures::bookmark((inImportLibrary ? imports() : books()) + "/" + name, 1, "T");
        QCOMPARE(CustomPdfFiles::bookNameLabel(e), label);
        QCOMPARE(CustomPdfFiles::isCustomBookmark(e), custom);
    }

    // Deleting rows of imported PDFs: the files that nothing uses any more go to the trash; one that a
    // row of any slot, the Default slot included, or a playlist item of another song still uses stays.
    void deletesRowsAndUnusedImportedFiles_data()
    {
        QTest::addColumn<QList<qsizetype>>("positions");
        QTest::addColumn<QString>("otherUse"); // "", "slot0", "slot3", "slot3 after plan", "playlist"
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<int>("playlistItemsLeft");
        QTest::newRow("ordinary book row") << QList<qsizetype>{0} << "" << QStringList() << 3;
        QTest::newRow("last row of an imported single")
            << QList<qsizetype>{1} << "" << QStringList{"single.pdf"} << 2;
        QTest::newRow("one of two rows of an imported book")
            << QList<qsizetype>{2} << "" << QStringList() << 2;
        QTest::newRow("both rows of an imported book")
            << QList<qsizetype>{3, 2} << "" << QStringList{"Mine (Custom).pdf"} << 2;
        QTest::newRow("single still in the Default slot")
            << QList<qsizetype>{1} << "slot0" << QStringList() << 2;
        QTest::newRow("single still in another user slot")
            << QList<qsizetype>{1} << "slot3" << QStringList() << 2;
        // Named in the question, but kept: the other slot's file is read again at the deletion.
        QTest::newRow("single saved to another slot after the plan")
            << QList<qsizetype>{1} << "slot3 after plan" << QStringList{"single.pdf"} << 2;
        QTest::newRow("single in another song's playlist item")
            << QList<qsizetype>{1} << "playlist" << QStringList() << 3;
    }

    void deletesRowsAndUnusedImportedFiles()
    {
        QFETCH(QList<qsizetype>, positions);
        QFETCH(QString, otherUse);
        QFETCH(QStringList, removed);
        QFETCH(int, playlistItemsLeft);
        const QString single = imports() + "/single.pdf";
        const QString book = imports() + "/Mine (Custom).pdf";
        TestHarness::writeFile(single, "%PDF-1.4");
        TestHarness::writeFile(book, "%PDF-1.4");
        const BookmarkList rows{Fixtures::bookmark("/b/Real.pdf", 3, "Real"),
                                Fixtures::bookmark(single, 1, "Photo"), Fixtures::bookmark(book, 1, "Mine 1"),
                                Fixtures::bookmark(book, 2, "Mine 2")};
        QList<Playlist> lists{playlistOf("Gig", {rows.at(0), rows.at(1), rows.at(2)})};
        const BookmarkList otherPhoto{Fixtures::bookmark(single, 1, "Old photo")};
        if (otherUse == "slot0" || otherUse == "slot3")
            QVERIFY(SlotStore::saveSlot(otherUse == "slot0" ? 0 : 3, otherPhoto, QString()));
        if (otherUse == "playlist")
            lists.append(playlistOf("Other", {Fixtures::bookmark(single, 1, "Another song")}));
        QVERIFY(PlaylistStore::savePlaylists(lists));
        TestHarness::writeFile(SlotStore::metaFilePath(), R"({"activeSlot":2,"slotNames":{}})");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibraryShownRows shown(session);
        session.restoreActiveSlot();
        Fixtures::setRows(session, rows);

        const DeletionPlan plan = plannedDeletion(session, positions);
        QStringList planned;
        for (const QString &file : plan.filesToRemove)
            planned.append(QFileInfo(file).fileName());
        QCOMPARE(planned, removed);
        QVERIFY(QFileInfo::exists(single) && QFileInfo::exists(book)); // planning changes nothing
        if (otherUse == "slot3 after plan") {
            QVERIFY(SlotStore::saveSlot(3, otherPhoto, QString()));
            removed.clear();
        }

        const std::optional<DeletionResult> result = session.deleteBookmarks(plan);
        QVERIFY(result);
        QCOMPARE(result->deleted, positions.size());
        QCOMPARE(session.allBookmarks().size(), rows.size() - positions.size());
        QCOMPARE(Fixtures::shownRows(shown), session.allBookmarks().toList());
        for (const QString &path : {single, book}) {
            const QString name = QFileInfo(path).fileName();
            QCOMPARE(QFileInfo::exists(path), !removed.contains(name));
            QCOMPARE(QFileInfo::exists(trashed(name)), removed.contains(name));
        }
        qsizetype items = 0;
        LibrarySession::waitForPendingSaves();
        for (const Playlist &playlist : PlaylistStore::loadPlaylists())
            items += playlist.items.size();
        QCOMPARE(items, playlistItemsLeft);
        QCOMPARE(SlotStore::loadSlot(2).size(), session.allBookmarks().size());
        // A plan made before another change of the library is not carried out.
        const DeletionPlan stale = plannedDeletion(session, {0});
        Fixtures::setRows(session, rows);
        QVERIFY(!session.deleteBookmarks(stale));
    }

    // A book moved into a subfolder of the library folder is found by name (case ignored), and the
    // opened row, only that one, keeps the new path. The book's bookmarks come by page and title.
    void opensAMovedBook()
    {
        TestHarness::writeFile(books() + "/old/Other.pdf", "%PDF-1.4");
        TestHarness::writeFile(books() + "/moved/deep/Book.PDF", "%PDF-1.4");
        const QString moved = books() + "/moved/deep/Book.PDF";
        BookmarkList rows{
            Fixtures::bookmark("/gone/book.pdf", 12, "Twelve"),
            Fixtures::bookmark("/gone/book.pdf", 3, "Three"), Fixtures::bookmark(moved, 5, "b five"),
            Fixtures::bookmark(moved.toLower(), 5, "A five"), Fixtures::bookmark(moved, 2, "Two")};
        TestHarness::writeFile(SlotStore::metaFilePath(), R"({"activeSlot":1,"slotNames":{}})");
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        session.restoreActiveSlot();
        Fixtures::setRows(session, rows);
        session.setSelectedFolder(books());
        const quint64 version = session.libraryVersion();

        const OpenSongPlan plan = SongOpening::planOpenPdf(session, rows.at(0));
        QVERIFY(plan.request);
        QVERIFY(plan.libraryChanged);
        QVERIFY(session.libraryVersion() > version);
        QCOMPARE(plan.request->pdfPath, moved);
        QCOMPARE(plan.request->pageNumber, 12);
        QCOMPARE(plan.request->bookmarkEntry, rows.at(0));
        QVERIFY(!plan.request->playlistItems);
        QCOMPARE(titles(plan.request->sourcePdfBookmarks),
                 (QStringList{"Two", "A five", "b five", "Twelve"}));
        QCOMPARE(plan.request->statusText, "Opened: book.pdf at page 12");
        QCOMPARE(session.allBookmarks().at(0).pdfFilePath, moved);
        QCOMPARE(session.allBookmarks().at(1).pdfFilePath, "/gone/book.pdf");
        QCOMPARE(SlotStore::loadSlot(1).at(0).pdfFilePath, moved);

        // Found, but no library row has the song: it opens, nothing is stored.
        const OpenSongPlan stranger =
            SongOpening::planOpenPdf(session, Fixtures::bookmark("/gone/book.pdf", 40, "Not here"));
        QVERIFY(stranger.request && !stranger.libraryChanged);

        session.setSelectedFolder(QString());
        const OpenSongPlan missing = SongOpening::planOpenPdf(session, rows.at(1));
        QVERIFY(!missing.request);
        QCOMPARE(missing.missingPath, "/gone/book.pdf");
    }

    void opensWithAContext()
    {
        TestHarness::writeFile(books() + "/Book.pdf", "%PDF-1.4");
        const QString path = books() + "/Book.pdf";
        const BookmarkList context{Fixtures::bookmark("/x/Other.pdf", 1, "Elsewhere"),
                                   Fixtures::bookmark("/gone/Book.pdf", 9, "Nine"),
                                   Fixtures::bookmark(path, 4, "Four"),
                                   Fixtures::bookmark("/gone/Book.pdf", 9, "Nine")};
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        Fixtures::setRows(session, context);
        session.setSelectedFolder(books());

        const OpenSongPlan plan = SongOpening::planOpenPdfWithContext(session, context.at(1), context);
        QVERIFY(plan.request && !plan.libraryChanged);
        QCOMPARE(plan.request->pdfPath, path);
        QCOMPARE(plan.request->playlistItems->size(), 4);
        QCOMPARE(plan.request->playlistCurrentIndex, 1);
        QCOMPARE(titles(plan.request->sourcePdfBookmarks), QStringList{"Four"});
        QCOMPARE(plan.request->statusText, "Opened: Book.pdf");
        QCOMPARE(session.allBookmarks().at(1).pdfFilePath, "/gone/Book.pdf");

        const OpenSongPlan alone = SongOpening::planOpenPdfWithContext(session, context.at(2), {});
        QCOMPARE(alone.request->playlistItems, QList<PlaylistItem>());
        QCOMPARE(alone.request->playlistCurrentIndex, 0);

        TestHarness::writeFile(imports() + "/snap.pdf", "%PDF-1.4");
        BookmarkEntry snap = Fixtures::bookmark(imports() + "/snap.pdf", 1, "Snap");
        snap.pdfFileName = SlotStore::customSinglesBookName;
        const OpenSongPlan single = SongOpening::planOpenPdfWithContext(session, snap, {});
        QCOMPARE(single.request->statusText, "Opened: Custom Singles");
    }
};

LYRAFOLD_TEST_MAIN(LibraryEditsTest)
#include "tst_libraryedits.moc"
