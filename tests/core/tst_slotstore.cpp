#include "Fixtures.h"
#include "TestHarness.h"
#include "core/annotations/BookAnnotations.h"
#include "core/common/AppPaths.h"
#include "core/common/NotificationBus.h"
#include "core/share/ExportService.h"
#include "core/slotfiles/SlotStore.h"
#include "core/storage/FileGuard.h"
#include "core/storage/StateFile.h"
#include "pdf/import/ImagePdfImportService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>

namespace {

void writeMeta(const QByteArray &json)
{
    TestHarness::writeFile(SlotStore::metaFilePath(), json);
}

QJsonObject readJson(const QString &path)
{
    return QJsonDocument::fromJson(TestHarness::readFile(path)).object();
}

QString library()
{
    return TestHarness::home() + QStringLiteral("/Documents/PDFs");
}

QStringList failedPaths()
{
    QStringList paths;
    for (const StateFile::FailedWrite &failed : StateFile::failedWrites())
        paths.append(failed.path);
    return paths;
}

// What a viewer shows of the book's annotations once it has read them.
std::optional<PdfEditCacheFile> shownAnnotations(const QString &book)
{
    BookAnnotations annotations;
    QSignalSpy loaded(&annotations, &BookAnnotations::loaded);
    annotations.open(book);
    if (!loaded.wait(TestHarness::hangGuardMs))
        return std::nullopt;
    return annotations.document().pages();
}

} // namespace

class SlotStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::clearUserFiles(); }

    void slotNames_data()
    {
        QTest::addColumn<QByteArray>("meta"); // empty: no metadata file
        QTest::addColumn<qint64>("slot");
        QTest::addColumn<QString>("name");

        QTest::newRow("no file, slot 0") << QByteArray() << qint64(0) << "Default";
        QTest::newRow("no file, slot 4") << QByteArray() << qint64(4) << "Slot 4";
        const QByteArray meta = R"({"activeSlot":2,"slotNames":{"0":"Home","2":"  Rehearsal \n","3":"   "}})";
        QTest::newRow("stored name trimmed") << meta << qint64(2) << "Rehearsal";
        QTest::newRow("blank name shows built-in") << meta << qint64(3) << "Slot 3";
        QTest::newRow("slot 0 may carry a stored name") << meta << qint64(0) << "Home";
        QTest::newRow("unknown slot") << meta << qint64(5) << "Slot 5";
        QTest::newRow("undecodable file: key not a number")
            << QByteArray(R"({"activeSlot":1,"slotNames":{"two":"X"}})") << qint64(2) << "Slot 2";
        QTest::newRow("undecodable file: key with blanks")
            << QByteArray(R"({"activeSlot":1,"slotNames":{" 2":"X"}})") << qint64(2) << "Slot 2";
        QTest::newRow("undecodable file: activeSlot missing")
            << QByteArray(R"({"slotNames":{"2":"X"}})") << qint64(2) << "Slot 2";
        QTest::newRow("undecodable file: name not a string")
            << QByteArray(R"({"activeSlot":1,"slotNames":{"2":5}})") << qint64(2) << "Slot 2";
        QTest::newRow("with the slots' counts")
            << QByteArray(R"({"activeSlot":1,"slotNames":{"2":"X"},"slotCounts":{"2":4}})") << qint64(2)
            << "X";
        QTest::newRow("undecodable file: negative count")
            << QByteArray(R"({"activeSlot":1,"slotNames":{"2":"X"},"slotCounts":{"2":-4}})") << qint64(2)
            << "Slot 2";
    }

    void slotNames()
    {
        QFETCH(QByteArray, meta);
        QFETCH(qint64, slot);
        QFETCH(QString, name);
        if (!meta.isEmpty())
            writeMeta(meta);
        QCOMPARE(SlotStore::slotName(slot), name);
    }

    void setSlotName_data()
    {
        QTest::addColumn<QByteArray>("meta");
        QTest::addColumn<qint64>("slot");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("activeAfter");
        QTest::addColumn<QString>("storedAfter"); // empty: no stored name for the slot

        QTest::newRow("no file") << QByteArray() << qint64(2) << " Gig \n" << qint64(0) << "Gig";
        QTest::newRow("built-in name removes") << QByteArray(R"({"activeSlot":3,"slotNames":{"2":"Old"}})")
                                               << qint64(2) << "Slot 2" << qint64(3) << "";
        QTest::newRow("blank removes") << QByteArray(R"({"activeSlot":3,"slotNames":{"2":"Old"}})")
                                       << qint64(2) << "   " << qint64(3) << "";
        QTest::newRow("active slot clamped")
            << QByteArray(R"({"activeSlot":9,"slotNames":{}})") << qint64(1) << "New" << qint64(5) << "New";
        QTest::newRow("built-in name of another slot is a name")
            << QByteArray() << qint64(2) << "Slot 3" << qint64(0) << "Slot 3";
    }

    void setSlotName()
    {
        QFETCH(QByteArray, meta);
        QFETCH(qint64, slot);
        QFETCH(QString, name);
        QFETCH(qint64, activeAfter);
        QFETCH(QString, storedAfter);
        if (!meta.isEmpty())
            writeMeta(meta);
        QVERIFY(SlotStore::setSlotName(slot, name));
        const auto stored = SlotStore::loadMeta();
        QVERIFY(stored);
        QCOMPARE(stored->activeSlot, activeAfter);
        QCOMPARE(stored->slotNames.value(slot), storedAfter);
        QCOMPARE(stored->slotNames.contains(slot), !storedAfter.isEmpty());
    }

    void slotZeroCannotBeRenamed()
    {
        QVERIFY(!SlotStore::setSlotName(0, QStringLiteral("Mine")));
        QVERIFY(!QFile::exists(SlotStore::metaFilePath()));
    }

    void undecodableMetaIsSetAsideNotOverwritten()
    {
        const QByteArray bad = R"({"activeSlot":"one","slotNames":{}})";
        writeMeta(bad);
        QSignalSpy spy(&NotificationBus::instance(), &NotificationBus::stateFileSetAside);
        QVERIFY(SlotStore::setSlotName(2, QStringLiteral("Gig")));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(TestHarness::readFile(spy.at(0).at(1).toString()), bad);
        QCOMPARE(SlotStore::slotName(2), QStringLiteral("Gig"));
    }

    void loadSlotRejectsIncompleteItems()
    {
        TestHarness::writeFile(SlotStore::slotFilePath(1),
                               R"({"savedAt":1,"bookmarks":[{"pdfFileName":"a.pdf","pdfFilePath":"/a.pdf",)"
                               R"("pageNumber":1,"title":"T","level":0,"totalPages":3}]})");
        QVERIFY(SlotStore::loadSlot(1).isEmpty());
        QVERIFY(SlotStore::loadSlot(4).isEmpty());
    }

    void saveAndLoadRoundTrip()
    {
        const BookmarkList library = Fixtures::realisticLibrary(300, 3);
        QVERIFY(SlotStore::saveSlot(2, library, QStringLiteral("/music")));
        QVERIFY(SlotStore::loadSlot(2) == library);
        QCOMPARE(SlotStore::selectedFolder(2), QStringLiteral("/music"));
        QCOMPARE(readJson(SlotStore::slotFilePath(2)).value(QStringLiteral("selectedFolder")).toString(),
                 QStringLiteral("/music"));
    }

    void selectedFolderIsTrimmed()
    {
        TestHarness::writeFile(SlotStore::slotFilePath(3),
                               R"({"selectedFolder":"/Books/Jazz\n","savedAt":1,"bookmarks":[]})");
        QCOMPARE(SlotStore::selectedFolder(3), QStringLiteral("/Books/Jazz"));
        QCOMPARE(SlotStore::selectedFolder(5), QString());
    }

    void customSingleBookNames_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("inLibrary"); // relative path inside the import library, or empty
        QTest::addColumn<QString>("expected");

        const QString singles = SlotStore::customSinglesBookName;
        QTest::newRow("already grouped") << singles << "" << singles;
        QTest::newRow("old single name") << "Custom Single (Custom)"
                                         << "" << singles;
        QTest::newRow("begins with Custom Single") << "Custom Single 7.pdf"
                                                   << "" << singles;
        QTest::newRow("case matters for the prefix") << "custom single.pdf"
                                                     << ""
                                                     << "custom single.pdf";
        // A book imported into the library (a bookmarked PDF, a PDF of a custom book) keeps its name.
        QTest::newRow("in library") << "Tunebook.pdf"
                                    << "Tunebook.pdf"
                                    << "Tunebook.pdf";
        QTest::newRow("in library, below a folder") << "Scan.pdf"
                                                    << "2024/Scan.pdf"
                                                    << "Scan.pdf";
        QTest::newRow("in library, marked custom") << "Book (custom).pdf"
                                                   << "Book (custom).pdf"
                                                   << "Book (custom).pdf";
        QTest::newRow("elsewhere") << "Real Book.pdf"
                                   << ""
                                   << "Real Book.pdf";
    }

    void customSingleBookNames()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, inLibrary);
        QFETCH(QString, expected);
        BookmarkEntry e = Fixtures::bookmark(inLibrary.isEmpty() ? QStringLiteral("/elsewhere/") + fileName
                                                                 : library() + QLatin1Char('/') + inLibrary,
                                             1, QStringLiteral("T"));
        e.pdfFileName = fileName;

        // On save...
        QVERIFY(SlotStore::saveSlot(1, {e}, QString()));
        const QJsonObject stored = readJson(SlotStore::slotFilePath(1))
                                       .value(QStringLiteral("bookmarks"))
                                       .toArray()
                                       .at(0)
                                       .toObject();
        QCOMPARE(stored.value(QStringLiteral("pdfFileName")).toString(), expected);

        // ...and on load of a file written by someone else.
        QJsonObject raw = stored;
        raw.insert(QStringLiteral("pdfFileName"), fileName);
        QJsonObject doc{{QStringLiteral("savedAt"), 1}, {QStringLiteral("bookmarks"), QJsonArray{raw}}};
        TestHarness::writeFile(SlotStore::slotFilePath(2), QJsonDocument(doc).toJson());
        QCOMPARE(SlotStore::loadSlot(2).value(0).pdfFileName, expected);
        QVERIFY(!QFileInfo::exists(library()));
    }

    void importLibraryMembership_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("inside");

        const QString lib = library();
        QTest::newRow("directly inside") << lib + "/a.pdf" << true;
        QTest::newRow("below a folder") << lib + "/x/y/a.pdf" << true;
        QTest::newRow("the folder itself") << lib << false;
        QTest::newRow("folder with a trailing slash") << lib + "/" << false;
        QTest::newRow("sibling with the same prefix") << lib + "2/a.pdf" << false;
        QTest::newRow("dot-dot out of it") << lib + "/../a.pdf" << false;
        QTest::newRow("dot segments inside") << lib + "/./x/../a.pdf" << true;
        QTest::newRow("tilde") << "~/Documents/PDFs/a.pdf" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("relative") << "Documents/PDFs/a.pdf" << false;
    }

    void importLibraryMembership()
    {
        QFETCH(QString, path);
        QFETCH(bool, inside);
        QCOMPARE(SlotStore::isInDefaultImportLibrary(Fixtures::bookmark(path, 1, QStringLiteral("T"))),
                 inside);
        // Asking never creates the folder.
        QVERIFY(!QFileInfo::exists(library()));
    }

    void defaultLibraryDirectoryIsCreated()
    {
        const auto dir = ImagePdfImportService::defaultLibraryDirectory();
        QVERIFY(dir.ok());
        QCOMPARE(dir.value(), library());
        QVERIFY(QFileInfo(library()).isDir());
    }

    // Behind the write under way, a newer write replaces the one waiting; an edit waiting there keeps
    // its place, reads what was asked before it and is told how it went.
    void waitingEditIsNeverReplaced()
    {
        const QString path = SlotStore::slotFilePath(2);
        QSemaphore running;
        QSemaphore release;
        StateFile::writeInBackground(path, [&]() -> std::optional<QByteArray> {
            running.release();
            release.acquire();
            return QByteArray("first");
        });
        running.acquire();
        QMutex mutex;
        QStringList told;
        QByteArray editRead;
        const auto tell = [&](const QString &what) {
            return [&, what](const QString &, bool written, const QString &) {
                const QMutexLocker lock(&mutex);
                told.append(written ? what : what + QStringLiteral(" failed"));
            };
        };
        const auto bytes = [](const char *text) {
            return [text] { return std::optional<QByteArray>(text); };
        };
        StateFile::writeInBackground(path, bytes("before"), tell("before"));
        StateFile::editInBackground(
            path,
            [&, path] {
                editRead = StateFile::read(path).bytes;
                return std::optional<QByteArray>(editRead + "+edit");
            },
            tell("edit"));
        StateFile::writeInBackground(path, bytes("replaced"), tell("replaced"));
        StateFile::writeInBackground(path, bytes("last"), tell("last"));
        release.release();
        StateFile::waitForPendingWrites(path);

        QCOMPARE(told, (QStringList{"before", "edit", "last"}));
        QCOMPARE(editRead, QByteArray("before"));
        QCOMPARE(TestHarness::readFile(path), QByteArray("last"));
    }

    // A state file that could not be written lacks what was meant for it, and Lyrafold keeps that until
    // it is written: what reads the file (the slot names, a book's viewer) sees it as meant, it is told
    // once, and the quit's retry writes it. A copy or an export, and an edit its caller reports as not
    // made, are no state file's save: nothing of them is kept, told or written later.
    void aFailedSaveIsKeptUntilItIsWritten_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("kept");
        QTest::newRow("slots_meta.json written in the background") << "meta in the background" << true;
        QTest::newRow("slots_meta.json written at once (a slot renamed)") << "meta at once" << true;
        QTest::newRow("a book's annotation file written") << "annotations written" << true;
        QTest::newRow("a book's annotation file removed") << "annotations removed" << true;
        QTest::newRow("a slot's file edited (a copy into it)") << "edit" << false;
        QTest::newRow("a CSV export") << "export" << false;
    }

    void aFailedSaveIsKeptUntilItIsWritten()
    {
        QFETCH(QString, how);
        QFETCH(bool, kept);
        writeMeta(R"({"activeSlot":1,"slotNames":{}})");
        const QString book = TestHarness::home() + QStringLiteral("/Books/Songs.pdf");
        PdfEditCacheFile drawn;
        drawn.strokesByPage.insert(2, {StrokeRecord{{{10, 20}, {30, 40}}, {1, 0, 0, 1}, 3, 1, false}});
        const QString annotationFile = *PdfEditCacheCodec::filePath(book);
        const QString csv = TestHarness::home() + QStringLiteral("/Songs.csv");
        const QString path = QFileInfo(how.startsWith("meta")          ? SlotStore::metaFilePath()
                                       : how.startsWith("annotations") ? annotationFile
                                       : how == "edit"                 ? SlotStore::slotFilePath(3)
                                                                       : csv)
                                 .absoluteFilePath();
        if (how == "annotations removed") {
            QVERIFY(PdfEditCacheCodec::save(book, drawn));
        } else if (how == "edit") {
            QVERIFY(SlotStore::saveSlot(3, {Fixtures::bookmark("/b/A.pdf", 1, "Kept")}, library()));
        }
        const QByteArray before = TestHarness::readFile(path);

        QSignalSpy told(&NotificationBus::instance(), &NotificationBus::stateFileSaveFailed);
        StateFile::setWriteCheckForTesting([path](const QString &written) -> std::optional<QString> {
            return written == path ? std::optional(QStringLiteral("the disk is full")) : std::nullopt;
        });
        const auto writable = qScopeGuard([] { StateFile::setWriteCheckForTesting({}); });
        if (how == "meta in the background") {
            SlotMeta meta;
            meta.activeSlot = 3;
            meta.slotNames.insert(2, QStringLiteral("Gig"));
            const QByteArray bytes = SlotStore::encodeMeta(meta);
            StateFile::writeInBackground(path, [bytes] { return std::optional(bytes); });
        } else if (how == "meta at once") {
            QVERIFY(!SlotStore::setSlotName(2, QStringLiteral("Gig")));
        } else if (how == "annotations written") {
            QVERIFY(PdfEditCacheCodec::saveInBackground(book, drawn));
        } else if (how == "annotations removed") {
            // A folder where the file is: the removal fails as a full disk fails a write.
            QVERIFY(QFile::remove(path) && QDir().mkpath(path + QStringLiteral("/in the way")));
            QVERIFY(PdfEditCacheCodec::saveInBackground(book, PdfEditCacheFile()));
        } else if (how == "edit") {
            StateFile::editInBackground(path, [] {
                return SlotStore::encodeSlot({Fixtures::bookmark("/b/A.pdf", 1, "Copied")}, library());
            });
        } else {
            QVERIFY(!ExportService::writeCSV(path, {Fixtures::bookmark("/b/A.pdf", 1, "Exported")}));
        }
        StateFile::waitForAllPendingWrites();
        QCOMPARE(failedPaths(), kept ? QStringList{path} : QStringList());
        QCoreApplication::processEvents();
        QCOMPARE(told.count(), kept ? 1 : 0);
        if (how.startsWith("meta")) {
            QCOMPARE(SlotStore::slotName(2), "Gig");
        } else if (how.startsWith("annotations")) {
            const PdfEditCacheFile meant = how == "annotations written" ? drawn : PdfEditCacheFile();
            QCOMPARE(shownAnnotations(book), meant);
        }

        // Room made, then the quit's retry.
        StateFile::setWriteCheckForTesting({});
        if (how == "annotations removed")
            QVERIFY(QDir(path).removeRecursively());
        FileGuard::retryFailedSavesNow();
        StateFile::waitForAllPendingWrites();
        QCOMPARE(failedPaths(), QStringList());
        if (how == "meta in the background")
            QCOMPARE(readJson(path).value("activeSlot").toInt(), 3);
        if (how.startsWith("meta"))
            QCOMPARE(readJson(path).value("slotNames").toObject().value("2").toString(), "Gig");
        else if (how == "annotations written")
            QCOMPARE(PdfEditCacheCodec::decode(TestHarness::readFile(path)).value(), drawn);
        else if (how == "annotations removed")
            QVERIFY(!QFileInfo::exists(path));
        else
            QCOMPARE(TestHarness::readFile(path), before);
    }

    void activeSlotIsClamped_data()
    {
        QTest::addColumn<QByteArray>("meta");
        QTest::addColumn<qint64>("active");
        QTest::newRow("none") << QByteArray() << qint64(0);
        QTest::newRow("stored") << QByteArray(R"({"activeSlot":4,"slotNames":{}})") << qint64(4);
        QTest::newRow("too large") << QByteArray(R"({"activeSlot":12,"slotNames":{}})") << qint64(5);
        QTest::newRow("negative") << QByteArray(R"({"activeSlot":-2,"slotNames":{}})") << qint64(0);
    }

    void activeSlotIsClamped()
    {
        QFETCH(QByteArray, meta);
        QFETCH(qint64, active);
        if (!meta.isEmpty())
            writeMeta(meta);
        QCOMPARE(SlotStore::activeSlot(), active);
    }
};

LYRAFOLD_TEST_MAIN(SlotStoreTest)
#include "tst_slotstore.moc"
