#include "Fixtures.h"
#include "LoopbackHttpServer.h"
#include "ManualClock.h"
#include "TestHarness.h"
#include "core/metadata/AutoTagRun.h"
#include "core/metadata/BundledMetadata.h"
#include "core/metadata/DiscogsAuth.h"
#include "core/metadata/MetadataEnrichmentService.h"
#include "core/metadata/MetadataWebClient.h"
#include "core/metadata/NetworkThrottle.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"
#include "core/resources/BundledResources.h"
#include "core/session/LibrarySession.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibrarySlots.h"
#include "core/slots/SlotMetadataJob.h"
#include "core/titles/TitleKeyIndex.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QSignalSpy>

using namespace std::chrono_literals;
using Rule = BundledMetadata::Rule;

Q_DECLARE_METATYPE(SlotMetadataJob::Outcome)

namespace {

BookmarkEntry song(const QString &book, qint64 page, const QString &title)
{
    return Fixtures::bookmark(QStringLiteral("/b/") + book, page, title);
}

// One song in three books (one spelling with an article), two others in one book each.
BookmarkList library()
{
    return {song("A.pdf", 1, "Blue Bossa"), song("A.pdf", 2, "Solar"), song("B.pdf", 3, "blue bossa"),
            song("B.pdf", 4, "Nardis"), song("C.pdf", 5, "The Blue Bossa")};
}

TitleMetadataRecord blueBossa()
{
    TitleMetadataRecord record;
    record.title = QStringLiteral("Blue Bossa");
    record.genres = QStringList{QStringLiteral("Latin"), QStringLiteral("Jazz")};
    record.styles = QStringList();
    record.firstReleaseYear = 1963;
    record.composer = QStringLiteral("Kenny Dorham");
    record.tempo = QStringLiteral("Medium");
    record.rating = 4.5;
    return record;
}

TitleMetadataIndex::RecordMap blueBossaMap()
{
    return {{QStringLiteral("blue bossa"), blueBossa()}};
}

SlotMetadataJob::Edit overwriteEdit()
{
    return [](LibraryRows &rows, const TitleKeyIndex &titles) {
        return BundledMetadata::applyToRows(rows, titles, blueBossaMap(), Rule::overwrite);
    };
}

QStringList genres(const BookmarkList &rows)
{
    QStringList list;
    for (const BookmarkEntry &row : rows)
        list.append(row.genre);
    return list;
}

// Answers every lookup from the event loop with the genre "Tagged <title>", and lets the test act when
// a title is asked.
struct FakeEnricher {
    QStringList asked;
    std::function<bool(const QString &title)> onAsk;            // false: never answers that lookup
    std::function<LookupOutcome(const QString &title)> outcome; // found when not set

    AutoTagRun::Enricher enricher()
    {
        return [this](const BookmarkEntry &entry, const std::optional<SongDataImportOptions> &,
                      QObject *context, AutoTagRun::Done done) {
            asked.append(entry.title);
            if (onAsk && !onAsk(entry.title))
                return;
            LookupOutcome told = outcome ? outcome(entry.title) : LookupOutcome{LookupOutcome::Kind::found};
            BookmarkEntry enriched = entry;
            if (told.kind == LookupOutcome::Kind::found) {
                enriched.genre = QStringLiteral("Tagged ") + entry.title;
                told.filled = true;
            }
            MetadataWebClient::deliverLater(context, [done, enriched, told] { done(enriched, told); });
        };
    }
};

// The titles that the test's built-in index has a record for (genre Swing).
QString indexedTitle(qsizetype i)
{
    return QStringLiteral("Standard %1").arg(i);
}

std::optional<AutoTagRun::Ending> runToEnd(AutoTagRun &run)
{
    QSignalSpy finished(&run, &AutoTagRun::finished);
    run.start();
    if (!finished.wait(TestHarness::hangGuardMs))
        return std::nullopt;
    return finished.first().first().value<AutoTagRun::Ending>();
}

// As runToEnd, with the throttle on clock: each turn it holds a lookup for is given as soon as it is
// waited for.
std::optional<AutoTagRun::Ending> runToEndOnClock(AutoTagRun &run, ManualClock &clock)
{
    QSignalSpy finished(&run, &AutoTagRun::finished);
    run.start();
    while (finished.isEmpty()) {
        if (!TestHarness::waitFor([&] { return !finished.isEmpty() || clock.pending() > 0; },
                                  TestHarness::hangGuard))
            return std::nullopt;
        clock.advanceToNext();
    }
    return finished.first().first().value<AutoTagRun::Ending>();
}

QList<qsizetype> allPositions(const LibrarySession &session)
{
    QList<qsizetype> positions;
    for (qsizetype i = 0; i < session.allBookmarks().size(); ++i)
        positions.append(i);
    return positions;
}

} // namespace

class SongDataTest : public QObject {
    Q_OBJECT

    LoopbackHttpServer m_server;

private Q_SLOTS:
    void initTestCase()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QVERIFY(m_server.listen());
        const QString root = TestHarness::home() + QStringLiteral("/resources");
        QJsonArray records{
            QJsonObject{{"Title", "Blue Bossa"}, {"Genres", QJsonArray{"Latin"}}, {"Tempo", "Medium"}}};
        for (int i = 0; i < 40; ++i)
            records.append(QJsonObject{{"Title", indexedTitle(i)}, {"Genres", QJsonArray{"Swing"}}});
        TestHarness::writeFile(root + QStringLiteral("/Bundled/default_metadata.json"),
                               QJsonDocument(records).toJson());
        BundledResources::setRootForTesting(root);
        TitleMetadataIndex::resetForTesting();
    }

    void init()
    {
        LibrarySession::waitForPendingSaves();
        TestHarness::clearUserFiles();
    }

    void cleanup() { LibrarySession::waitForPendingSaves(); }

    void bundledRules_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<bool>("filledRow"); // the row has every field set beforehand
        QTest::addColumn<QString>("genre");
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("composer");
        QTest::addColumn<QVariant>("year");
        QTest::addColumn<QString>("tempo");
        // The record has genres, no styles (an empty list), a composer, a year, a tempo and a rating.
        QTest::newRow("overwrite an empty row: the composer stays empty")
            << int(Rule::overwrite) << false << "Latin, Jazz"
            << ""
            << "" << QVariant(1963LL) << "Medium";
        QTest::newRow("overwrite a filled row: the style emptied, the composer kept")
            << int(Rule::overwrite) << true << "Latin, Jazz"
            << ""
            << "Mine" << QVariant(1963LL) << "Medium";
        QTest::newRow("fill an empty row: the composer filled, no empty style written")
            << int(Rule::fillEmpty) << false << "Latin, Jazz"
            << ""
            << "Kenny Dorham" << QVariant(1963LL) << "Medium";
        QTest::newRow("fill a filled row: nothing changes") << int(Rule::fillEmpty) << true << "Swing"
                                                            << "Bop"
                                                            << "Mine" << QVariant(1950LL) << "Fast";
    }

    void bundledRules()
    {
        QFETCH(int, rule);
        QFETCH(bool, filledRow);
        BookmarkEntry row = song("A.pdf", 1, "Blue Bossa");
        if (filledRow) {
            row.genre = QStringLiteral("Swing");
            row.style = QStringLiteral("Bop");
            row.composer = QStringLiteral("Mine");
            row.firstReleaseYear = 1950;
            row.tempo = QStringLiteral("Fast");
            row.rating = 2;
        }
        const BookmarkEntry before = row;
        const bool changed = BundledMetadata::apply(blueBossa(), Rule(rule), row);
        QTEST(row.genre, "genre");
        QTEST(row.style, "style");
        QTEST(row.composer, "composer");
        QTEST(QVariant::fromValue(row.firstReleaseYear.value_or(0)), "year");
        QTEST(row.tempo, "tempo");
        QCOMPARE(changed, !(row == before));
    }

    void recordWithoutValuesEmptiesUnderOverwrite()
    {
        TitleMetadataRecord bare;
        bare.title = QStringLiteral("Blue Bossa");
        BookmarkEntry row = song("A.pdf", 1, "Blue Bossa");
        row.genre = QStringLiteral("Swing");
        row.firstReleaseYear = 1950;
        row.rating = 3;
        BookmarkEntry kept = row;
        QVERIFY(BundledMetadata::apply(bare, Rule::overwrite, row));
        QCOMPARE(row.genre, QString());
        QVERIFY(!row.firstReleaseYear && !row.rating);
        QVERIFY(!BundledMetadata::apply(bare, Rule::fillEmpty, kept));
    }

    void metadataFile_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no file
        QTest::addColumn<QString>("outcome");  // the genre of "blue bossa", or the failure's start
        QTest::newRow("first record of a key wins")
            << QByteArray(
                   R"([{"Title":"Blue Bossa","Genres":["Latin"]},{"Title":"The blue bossa","Genres":["X"]}])")
            << "Latin";
        QTest::newRow("missing") << QByteArray() << "Failed to load metadata: ";
        QTest::newRow("undecodable") << QByteArray(R"([{"Title":3}])") << "Failed to parse metadata";
    }

    void metadataFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, outcome);
        const QString path = TestHarness::home() + QStringLiteral("/metadata.json");
        QFile::remove(path);
        if (!bytes.isNull())
            TestHarness::writeFile(path, bytes);
        const auto records = BundledMetadata::loadFile(path);
        if (records)
            QCOMPARE(records->value(QStringLiteral("blue bossa")).genres.value_or(QStringList()).join(","),
                     outcome);
        else
            QVERIFY2(records.error().message.startsWith(outcome), qPrintable(records.error().message));
    }

    // A change worked out on a worker lands in the slot it was started for, whatever happens before its
    // result is back; the playlists follow it in the current slot, a title added to one meanwhile too.
    void jobBelongsToItsSlot_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("slot1Genres"); // of slot 1, in memory or stored
        using Kind = SlotMetadataJob::Outcome::Kind;
        const QString latin = QStringLiteral("Latin, Jazz");
        QTest::newRow("nothing") << "" << int(Kind::applied) << QStringList{latin, "", latin, "", latin};
        QTest::newRow("a cell edit") << "edit" << int(Kind::applied)
                                     << QStringList{latin, "Edited", latin, "", latin};
        QTest::newRow("a title added to a playlist")
            << "playlist" << int(Kind::applied) << QStringList{latin, "", latin, "", latin};
        QTest::newRow("another slot")
            << "switch" << int(Kind::appliedToStored) << QStringList{latin, "", latin, "", latin};
        QTest::newRow("another slot before it starts")
            << "left" << int(Kind::appliedToStored) << QStringList{latin, "", latin, "", latin};
        QTest::newRow("away and back")
            << "switch back" << int(Kind::applied) << QStringList{latin, "", latin, "", latin};
    }

    void jobBelongsToItsSlot()
    {
        QFETCH(QString, meanwhile);
        QFETCH(int, kind);
        QFETCH(QStringList, slot1Genres);
        SlotStore::saveSlot(2, {song("D.pdf", 1, "Blue Bossa")}, QString());
        PlaylistStore::savePlaylists(
            {{QStringLiteral("Gig"), {PlaylistItem::fromBookmark(library().at(0))}}});
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        session.restoreActiveSlot();
        TestHarness::switchSlot(librarySlots, 1);
        Fixtures::appendRows(session, library());
        // Replaced, so that nothing is made yet of the rows: the job works out what it needs itself.
        Fixtures::setSavedRows(session, library());

        auto *job = new SlotMetadataJob(librarySlots, 1, overwriteEdit());
        QSignalSpy finished(job, &SlotMetadataJob::finished);
        if (meanwhile == QLatin1String("left"))
            TestHarness::switchSlot(librarySlots, 2);
        job->start();
        if (meanwhile == QLatin1String("edit"))
            session.setMetadataField(BookmarkMetadataField::genre, QStringLiteral("Edited"), library().at(1));
        if (meanwhile == QLatin1String("playlist"))
            playlists.addToPlaylist(QStringLiteral("Set"), library().at(2));
        if (meanwhile.startsWith(QLatin1String("switch")))
            TestHarness::switchSlot(librarySlots, 2);
        if (meanwhile == QLatin1String("switch back"))
            TestHarness::switchSlot(librarySlots, 1);
        WAIT_COMPARE(finished.count(), 1);
        const auto outcome = finished.first().first().value<SlotMetadataJob::Outcome>();
        // Whether a result lands in the library or in the stored rows of its slot depends on when it
        // comes back during the switches: a result back while a switch still loads lands in slot 1's
        // rows, which the switch then saves; one back while slot 2 is shown goes to slot 1's file.
        using Kind = SlotMetadataJob::Outcome::Kind;
        const bool eitherWay = meanwhile.startsWith(QLatin1String("switch")) &&
                               (outcome.kind == Kind::applied || outcome.kind == Kind::appliedToStored);
        if (!eitherWay)
            QCOMPARE(int(outcome.kind), kind);
        QCOMPARE(outcome.matched, 3);
        LibrarySession::waitForPendingSaves();
        QCOMPARE(genres(SlotStore::loadSlot(1)), slot1Genres);
        if (session.currentSlotId() == 1)
            QCOMPARE(genres(session.allBookmarks().toList()), slot1Genres);
        else
            QCOMPARE(genres(session.allBookmarks().toList()), QStringList{QString()}); // slot 2 untouched
        // The playlists follow the change wherever it landed.
        for (const Playlist &playlist : playlists.playlists())
            QCOMPARE(playlist.items.value(0).genre, slot1Genres.at(playlist.name == "Gig" ? 0 : 2));
    }

    void storedSlotEditsQueueBehindEachOther()
    {
        SlotStore::saveSlot(1, library(), QString());
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        int done = 0;
        const auto setGenre = [](qsizetype position, QString genre) {
            return [position, genre](BookmarkList &rows) -> qsizetype {
                rows[position].genre = genre;
                return 1;
            };
        };
        for (int i = 0; i < 3; ++i)
            QVERIFY(librarySlots.editStoredSlot(
                1, setGenre(i, QString::number(i)),
                [&](const LibrarySlots::StoredSlotEdit &edit) { done += edit.read && edit.written; }));
        QVERIFY(!librarySlots.editStoredSlot(session.currentSlotId(), setGenre(0, "x"), {}));
        WAIT_COMPARE(done, 3);
        QCOMPARE(genres(SlotStore::loadSlot(1)).mid(0, 3), (QStringList{"0", "1", "2"}));

        // A write that fails is told, to the edit and as any failed save.
        QSignalSpy failed(&session, &LibrarySession::saveFailed);
        std::optional<LibrarySlots::StoredSlotEdit> outcome;
        {
            TestHarness::FileSizeLimit fullDisk(256);
            librarySlots.editStoredSlot(1, setGenre(3, "3"),
                                        [&](const LibrarySlots::StoredSlotEdit &edit) { outcome = edit; });
            LibrarySession::waitForPendingSaves();
        }
        WAIT_VERIFY(outcome);
        QVERIFY(outcome->read && outcome->changed == 1 && !outcome->written && !outcome->error.isEmpty());
        QCOMPARE(failed.size(), 1);
        QCOMPARE(genres(SlotStore::loadSlot(1)).at(3), QString());
    }

    void targetsArePerTitle_data()
    {
        QTest::addColumn<QList<qsizetype>>("candidates");
        QTest::addColumn<QList<qsizetype>>("targets");
        QTest::newRow("one song in three books is one target")
            << QList<qsizetype>{0, 1, 2, 3, 4} << QList<qsizetype>{0, 1, 3};
        QTest::newRow("candidate order, the first of a title")
            << QList<qsizetype>{4, 3, 0} << QList<qsizetype>{4, 3};
        QTest::newRow("outside the rows") << QList<qsizetype>{-1, 9, 2} << QList<qsizetype>{2};
    }

    void targetsArePerTitle()
    {
        QFETCH(QList<qsizetype>, candidates);
        const LibraryRows rows(library());
        QTEST(AutoTagRun::targetsForTesting(candidates, rows, TitleKeyIndex(rows)), "targets");
    }

    // Every row of a title takes its result; the table reloads after titles 1, 9, 17 and the last; the
    // slot is saved and the library tells its change once, at the end, and the playlists follow.
    void runAppliesEachTitleOnce()
    {
        BookmarkList rows = library();
        for (int i = 0; i < 17; ++i)
            rows.append(song("D.pdf", 10 + i, QStringLiteral("Filler %1").arg(i)));
        PlaylistStore::savePlaylists({{QStringLiteral("Gig"), {PlaylistItem::fromBookmark(rows.at(4))}}});
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        Fixtures::setRows(session, rows);
        QSignalSpy changed(&session, &LibrarySession::libraryChanged);
        FakeEnricher fake;
        AutoTagRun run(session, allPositions(session), std::nullopt, fake.enricher());
        QSignalSpy tagged(&run, &AutoTagRun::titleTagged);
        QCOMPARE(runToEnd(run), AutoTagRun::Ending::finished);

        QCOMPARE(run.total(), 20);
        QCOMPARE(fake.asked.size(), 20);
        QList<qsizetype> reloads;
        for (const auto &signal : tagged) {
            if (signal.at(3).toBool())
                reloads.append(signal.at(0).value<qsizetype>());
        }
        QCOMPARE(reloads, (QList<qsizetype>{1, 9, 17, 20}));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(genres(session.allBookmarks().toList()).mid(0, 5),
                 (QStringList{"Tagged Blue Bossa", "Tagged Solar", "Tagged Blue Bossa", "Tagged Nardis",
                              "Tagged Blue Bossa"}));
        LibrarySession::waitForPendingSaves();
        QCOMPARE(genres(SlotStore::loadSlot(0)).first(), QStringLiteral("Tagged Blue Bossa"));
        QCOMPARE(playlists.playlists().first().items.first().genre, QStringLiteral("Tagged Blue Bossa"));
    }

    // Cancel during the third title: it is still applied, no fourth lookup starts, and the slot is
    // saved. A row deleted while the run waits is skipped without a lookup.
    void runStopsBetweenTitles_data()
    {
        QTest::addColumn<QString>("during"); // what happens while "Nardis" is looked up
        QTest::addColumn<int>("ending");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QStringList>("slot1Genres");
        const QString bossa = QStringLiteral("Tagged Blue Bossa");
        QTest::newRow("cancel") << "cancel" << int(AutoTagRun::Ending::cancelled)
                                << QStringList{"Blue Bossa", "Solar", "Nardis"}
                                << QStringList{bossa, "Tagged Solar", bossa, "Tagged Nardis", bossa};
        QTest::newRow("slot switched") << "switch" << int(AutoTagRun::Ending::slotChanged)
                                       << QStringList{"Blue Bossa", "Solar", "Nardis"}
                                       << QStringList{bossa, "Tagged Solar", bossa, "", bossa};
    }

    void runStopsBetweenTitles()
    {
        QFETCH(QString, during);
        QFETCH(int, ending);
        QFETCH(QStringList, slot1Genres);
        BookmarkList rows = library();
        rows.append(song("E.pdf", 1, "Last Song"));
        SlotStore::saveSlot(1, rows, QString());
        SlotStore::saveSlot(2, {song("F.pdf", 1, "Other")}, QString());
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        LibrarySlots librarySlots(session);
        TestHarness::switchSlot(librarySlots, 1);
        FakeEnricher fake;
        AutoTagRun run(session, allPositions(session), std::nullopt, fake.enricher());
        fake.onAsk = [&](const QString &title) {
            if (title != QLatin1String("Nardis"))
                return true;
            if (during == QLatin1String("cancel")) {
                run.cancel();
                return true;
            }
            QMetaObject::invokeMethod(
                &session, [&] { librarySlots.switchToSlot(2); }, Qt::QueuedConnection);
            return false;
        };
        QCOMPARE(int(runToEnd(run).value()), ending);
        QTEST(fake.asked, "asked");
        LibrarySession::waitForPendingSaves();
        QCOMPARE(genres(SlotStore::loadSlot(1)).mid(0, 5), slot1Genres);
        QCOMPARE(genres(SlotStore::loadSlot(2)), QStringList{QString()});
    }

    // The run counts tagged, not found and failed titles and says so at its end.
    void runCountsItsTitles_data()
    {
        QTest::addColumn<QString>("outcomes"); // per title: f found, n nothing found, b bad answer
        QTest::addColumn<AutoTagRun::Ending>("ending");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QString>("text");
        QTest::newRow("all found") << "ff" << AutoTagRun::Ending::finished << 2
                                   << "Auto-tag finished (2 bookmarks).";
        QTest::newRow("some not found or failed")
            << "fnbb" << AutoTagRun::Ending::finished << 4
            << "Auto-tag finished (4 bookmarks). Tagged: 1, nothing found: 1, lookups failed: 2.";
    }

    void runCountsItsTitles()
    {
        QFETCH(QString, outcomes);
        QFETCH(AutoTagRun::Ending, ending);
        QFETCH(int, asked);
        QFETCH(QString, text);
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        BookmarkList rows;
        for (qsizetype i = 0; i < outcomes.size(); ++i)
            rows.append(song("A.pdf", int(i + 1), QStringLiteral("Title %1").arg(i)));
        Fixtures::setRows(session, rows);
        FakeEnricher fake;
        fake.outcome = [&](const QString &title) {
            using K = LookupOutcome::Kind;
            switch (outcomes.at(title.mid(6).toInt()).toLatin1()) {
            case 'n':
                return LookupOutcome{K::nothingFound};
            case 'b': // a web service answered 404: reached, but failed
                return LookupOutcome{K::failed};
            default:
                return LookupOutcome{K::found};
            }
        };
        AutoTagRun run(session, allPositions(session), std::nullopt, fake.enricher());
        QCOMPARE(runToEnd(run), ending);
        QCOMPARE(fake.asked.size(), asked);
        QCOMPARE(run.endText(ending), text);
        // What was applied before the stop stays.
        QCOMPARE(session.allBookmarks().at(0).genre.startsWith(QStringLiteral("Tagged")),
                 outcomes.at(0) == u'f');
    }

    // Against the web services: a title whose lookups fail counts as failed and still gets what the
    // built-in index has; after three titles in a row that could not reach the services the run asks
    // the web no more (nor waits for the throttle), and its end says so, for a run of one title too.
    void unreachableServicesLeaveTheBuiltInRecords_data()
    {
        // Per title: x the connection is dropped, b the server is busy (503, asked twice), n it answers
        // with nothing; in capitals a title with a built-in record, a title whose rows hold what its
        // record gives when followed by "=".
        QTest::addColumn<QString>("answers");
        QTest::addColumn<int>("titlesAsked");
        QTest::addColumn<QString>("text");
        const QString down =
            QStringLiteral(" MusicBrainz and Discogs could not be reached; only the built-in "
                           "records were used (filled: %1, not found: %2).");
        QTest::newRow("one row offline")
            << "x" << 1 << "Auto-tag finished (1 bookmarks)." + down.arg(0).arg(1);
        QTest::newRow("40 titles with records offline")
            << QString(40, 'X') << 3 << "Auto-tag finished (40 bookmarks)." + down.arg(40).arg(0);
        QTest::newRow("a busy server for two titles")
            << "Bb" << 2 << "Auto-tag finished (2 bookmarks)." + down.arg(1).arg(1);
        QTest::newRow("an answer in between keeps the lookups going")
            << "XXNXX" << 5
            << "Auto-tag finished (5 bookmarks). Tagged: 1, nothing found: 0, lookups failed: 4." +
                   down.arg(4).arg(0);
        QTest::newRow("a second run over tagged titles")
            << "X=X=X=xX" << 3
            << "Auto-tag finished (5 bookmarks). MusicBrainz and Discogs could not be reached; only the "
               "built-in records were used (filled: 1, already complete: 3, not found: 1).";
        QTest::newRow("reached again at the end")
            << "XXN" << 3
            << "Auto-tag finished (3 bookmarks). Tagged: 1, nothing found: 0, lookups failed: 2.";
    }

    void unreachableServicesLeaveTheBuiltInRecords()
    {
        QFETCH(QString, answers);
        QFETCH(int, titlesAsked);
        MetadataEnrichmentService::setEndpoints({m_server.baseUrl(), m_server.baseUrl(), 5s});
        // The throttle keeps its usual gap, on a clock that counts the turns taken.
        ManualClock clock;
        NetworkThrottle::resetForTesting();
        NetworkThrottle::setClockForTesting(&clock);
        const auto systemClock = qScopeGuard([] { NetworkThrottle::resetForTesting(); });
        MetadataWebClient::setRetryDelayCapForTesting(0ms);
        DiscogsAuth::setUserToken(std::nullopt);
        BookmarkList rows;
        QHash<QString, QChar> answerOf;
        for (qsizetype i = 0; i < answers.size(); ++i) {
            const QChar answer = answers.at(i);
            if (answer == u'=') {
                rows.last().genre = QStringLiteral("Swing");
                continue;
            }
            const QString title = answer.isUpper() ? indexedTitle(i) : QStringLiteral("Unknown %1").arg(i);
            answerOf.insert(title, answer.toLower());
            rows.append(song("A.pdf", rows.size() + 1, title));
        }
        QSet<QString> asked;
        m_server.clearRequests();
        m_server.setHandler([&](const LoopbackHttpServer::Request &request) {
            const QString title = request.queryValue(QStringLiteral("query")).section(QLatin1Char('"'), 1, 1);
            asked.insert(title);
            LoopbackHttpServer::Response response = LoopbackHttpServer::json(R"({"recordings":[]})");
            if (answerOf.value(title) == u'x')
                response.hangUp = true;
            else if (answerOf.value(title) == u'b')
                response.status = 503;
            return response;
        });
        PlaylistLibrary playlists;
        LibrarySession session(playlists);
        Fixtures::setRows(session, rows);
        AutoTagRun run(session, allPositions(session), std::nullopt);
        QCOMPARE(runToEndOnClock(run, clock), AutoTagRun::Ending::finished);
        QCOMPARE(asked.size(), titlesAsked);
        // Every lookup but the first waited for its turn (a busy server's second one as well), and
        // nothing else did. The server may count a lookup twice: the network layer sends a request once
        // more on a connection that was closed unanswered.
        qsizetype lookups = 0;
        for (const QString &title : std::as_const(asked))
            lookups += answerOf.value(title) == u'b' ? 2 : 1;
        QCOMPARE(clock.ran(), lookups - 1);
        QTEST(run.endText(AutoTagRun::Ending::finished), "text");
        for (const BookmarkEntry &row : session.allBookmarks())
            QCOMPARE(row.genre, QString(row.title.startsWith(QLatin1String("Standard")) ? "Swing" : ""));
    }
};

LYRAFOLD_TEST_MAIN(SongDataTest)
#include "tst_songdata.moc"
