#include "Fixtures.h"
#include "MainWindowParts.h"
#include "ModalAnswer.h"
#include "OpenWindow.h"
#include "OpenWindows.h"
#include "TestHarnessGui.h"
#include "ViewerParts.h"
#include "core/common/AppPaths.h"
#include "core/common/AppSettings.h"
#include "core/playlist/PlaylistStore.h"
#include "core/slotfiles/SlotStore.h"
#include "ui/app/AppContext.h"
#include "ui/common/CoverThumbnailLoader.h"
#include "ui/common/StatusLine.h"
#include "ui/customfiles/CustomFilesWindowController.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/playlists/PlaylistCardView.h"
#include "ui/playlists/PlaylistsWindowController.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfViewerWindowController.h"
#include "ui/workshop/WorkshopGridItemDelegate.h"
#include "ui/workshop/WorkshopGridModel.h"
#include "ui/workshop/WorkshopWindowController.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>

#include <memory>

Q_DECLARE_METATYPE(LyrafoldLanguage)

namespace {

using namespace MainWindowParts;

const QString realBook = TestHarness::testData(QStringLiteral("books/joplin-pineapple-rag.pdf"));
const QString otherBook = TestHarness::testData(QStringLiteral("books/dusty-strings-tunebook.pdf"));

BookmarkEntry song(const QString &path, const QString &title, qint64 page = 1)
{
    return Fixtures::bookmark(path, page, title);
}

QStringList shownBooks(const QWidget &workshop)
{
    const auto *grid = child<QListView>(workshop, QStringLiteral("workshopGrid"));
    QStringList names;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        names.append(grid->model()->index(row, 0).data().toString());
    return names;
}

WorkshopSlotBook available(const QString &path)
{
    return WorkshopSlotBook{QFileInfo(path).fileName(), path, 4, true, QFileInfo(path).lastModified()};
}

WorkshopSlotBook missing(const QString &name)
{
    return WorkshopSlotBook{name, std::nullopt, 0, false, {}};
}

QPoint centreOf(const QListView &grid, int row)
{
    return grid.visualRect(grid.model()->index(row, 0)).center();
}

} // namespace

class WorkshopWindowTest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("rowsOverParts", "tabAndSlotStayInStep")

private Q_SLOTS:
    void init()
    {
        LibrarySession::waitForPendingSaves();
        TestHarness::clearUserFiles();
    }

    void cleanup()
    {
        qDeleteAll(topLevelWindows<WorkshopWindowController>());
        qDeleteAll(topLevelWindows<CustomFilesWindowController>());
        LibrarySession::waitForPendingSaves();
    }

    // The tab shown is the slot the main window's actions change, whichever side switched it (the
    // main window, an import, a tab), and the grid follows every change of the library.
    void tabAndSlotStayInStep_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<qint64>("slot");
        QTest::addColumn<QStringList>("books");
        TestHarness::partRow("the main window switches") << "switch" << qint64(3) << QStringList{"Three.pdf"};
        TestHarness::partRow("the built-in list is adopted")
            << "defaults" << qint64(0) << QStringList{"Zero.pdf"};
        TestHarness::partRow("a tab press") << "tab" << qint64(4) << QStringList{"Four.pdf"};
        TestHarness::partRow("a book renamed in the main window")
            << "edit" << qint64(2) << QStringList{"Renamed.pdf"};
        TestHarness::partRow("an import into another slot")
            << "import" << qint64(5) << QStringList{"Five.pdf"};
        TestHarness::partRow("Clear list, after the one question") << "clear" << qint64(2) << QStringList();
        TestHarness::partRow("a switch to Spanish") << "language" << qint64(2) << QStringList{"Two.pdf"};
    }

    void tabAndSlotStayInStep()
    {
        QFETCH(QString, change);
        QFETCH(qint64, slot);
        QFETCH(QStringList, books);
        for (const auto &[number, name] :
             {std::pair{0, "Zero.pdf"}, {2, "Two.pdf"}, {3, "Three.pdf"}, {4, "Four.pdf"}})
            SlotStore::saveSlot(number, {song(QStringLiteral("/b/") + name, "Song")}, QString());
        SlotStore::saveMeta(SlotMeta{2, {}});
        OpenWindow window;
        pressTile(window, "bookmarkWorkshopTile");
        pressTile(window, "bookmarkWorkshopTile");
        QCOMPARE(topLevelWindows<WorkshopWindowController>().size(), 1);
        WorkshopWindowController *workshop = topLevelWindows<WorkshopWindowController>().constFirst();
        WAIT_COMPARE(shownBooks(*workshop), QStringList{"Two.pdf"});

        if (change == "switch")
            clickTile(slotTile(window, 3));
        else if (change == "defaults")
            window.library().adoptDefaultBookmarks({song("/b/Zero.pdf", "Song")}, QString());
        else if (change == "tab")
            child<QPushButton>(*workshop, QStringLiteral("workshopTab4"))->click();
        else if (change == "edit")
            window.library().editBookmarks({0}, [](BookmarkEntry &row) { row.pdfFileName = "Renamed.pdf"; });
        else if (change == "import")
            window.context.librarySlots().appendImportedBookmarks({song("/b/Five.pdf", "Song")}, 5,
                                                                  QString());
        if (change == "language")
            LyrafoldLanguageService::setCurrent(LyrafoldLanguage::es);
        // Qt's own texts go back to English too, or later tests of this program meet them translated.
        const auto restore = qScopeGuard([] {
            AppSettings::remove(AppSettings::uiLanguageKey);
            LyrafoldLanguageService::loadQtTranslations();
        });
        ModalAnswer question(QStringLiteral("Clear"));
        if (change == "clear") {
            child<QPushButton>(*workshop, QStringLiteral("workshopClearButton"))->click();
            QCOMPARE(question.messages, QStringList{"Clear Slot 2?"});
            QCOMPARE(question.informativeTexts,
                     QStringList{"All bookmarks in this slot will be removed from disk."});
        }
        WAIT_COMPARE(window.library().currentSlotId(), slot);
        WAIT_COMPARE(shownBooks(*workshop), books);
        // The title names the slot of the tab shown.
        const QString slotShown =
            QStringLiteral(" — ") + SlotStore::builtInSlotName(slot) + QStringLiteral(" • ");
        WAIT_VERIFY2(workshop->windowTitle().contains(slotShown), qPrintable(workshop->windowTitle()));
        // The subtitle is English in every language; the built-in slot's tab is named in the language.
        WAIT_VERIFY2(
            workshop->windowTitle().endsWith(
                QStringLiteral(" — %1 • %2 books").arg(SlotStore::builtInSlotName(slot)).arg(books.size())),
            qPrintable(workshop->windowTitle()));
        QCOMPARE(child<QPushButton>(*workshop, QStringLiteral("workshopTab%1").arg(slot))->text(),
                 slot == 0 ? LyrafoldLanguageService::localized(QStringLiteral("Default"))
                           : QStringLiteral("Slot %1").arg(slot));
    }

    // The toolbar's actions are the library's flows: each reports in the workshop's own status line, not
    // in the main window's.
    void actionsReportInTheWorkshop_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("alert");
        QTest::newRow("Merge pdfs") << "workshopMergeButton"
                                    << "Default slot is read-only";
        QTest::newRow("Import") << "workshopImportButton"
                                << "Default slot is read-only";
        QTest::newRow("Import Metadata") << "workshopImportMetaButton"
                                         << "Default slot is read-only";
        QTest::newRow("Clear list") << "workshopClearButton"
                                    << "Cannot clear the Default slot";
        QTest::newRow("the trash button") << "workshopDeleteButton"
                                          << "Cannot clear the Default slot";
    }

    void actionsReportInTheWorkshop()
    {
        QFETCH(QString, button);
        QFETCH(QString, alert);
        SlotStore::saveSlot(0, {song("/b/A.pdf", "Song")}, QString());
        SlotStore::saveMeta(SlotMeta{0, {}});
        OpenWindow window;
        statusField(window)->setText(QStringLiteral("main"));
        WorkshopWindowController workshop(window.context);
        WAIT_COMPARE(shownBooks(workshop), QStringList{"A.pdf"});
        ModalAnswer answer(QStringLiteral("OK"));
        child<QPushButton>(workshop, button)->click();
        QCOMPARE(answer.messages, QStringList{alert});
        QCOMPARE(child<QLabel>(workshop, QStringLiteral("workshopStatusField"))->text(), alert);
        QCOMPARE(statusField(window)->text(), QStringLiteral("main"));
        QCOMPARE(SlotStore::loadSlot(0).size(), 1);
    }

    // The relink button of a missing book shows on the Default tab only; relinking and a double click
    // reach the library, and what they did shows in the workshop.
    void relinkAndOpen_data()
    {
        QTest::addColumn<qint64>("slot");
        QTest::addColumn<bool>("relinks");
        QTest::addColumn<bool>("byKeys"); // Return on the current cell rather than the mouse
        QTest::newRow("the Default tab") << qint64(0) << true << false;
        QTest::newRow("a user's slot") << qint64(3) << false << false;
        QTest::newRow("the Default tab by keys") << qint64(0) << true << true;
    }

    void relinkAndOpen()
    {
        QFETCH(qint64, slot);
        QFETCH(bool, relinks);
        QFETCH(bool, byKeys);
        SlotStore::saveSlot(slot, {song("/gone/Gone.pdf", "Lost"), song(realBook, "Rag", 2)}, QString());
        SlotStore::saveMeta(SlotMeta{slot, {}});
        OpenWindow window;
        WorkshopWindowController workshop(window.context);
        workshop.show();
        auto *grid = child<QListView>(workshop, QStringLiteral("workshopGrid"));
        WAIT_COMPARE(grid->model()->rowCount(), 2);
        QCoreApplication::processEvents();
        const int gone = int(shownBooks(workshop).indexOf("Gone.pdf"));

        ModalAnswer answer([](QDialog *dialog) {
            if (auto *files = qobject_cast<QFileDialog *>(dialog)) {
                // Typed, as a user would: selectFile() leaves a focused field alone.
                files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(otherBook);
                static_cast<QDialog *>(files)->done(QDialog::Accepted);
            }
        });
        const QRect relink =
            WorkshopGridItemDelegate::relinkButtonRect(grid->visualRect(grid->model()->index(gone, 0)));
        const auto pressReturnOn = [grid](int row) {
            grid->setFocus();
            grid->setCurrentIndex(grid->model()->index(row, 0));
            QTest::keyClick(grid, Qt::Key_Return);
        };
        if (byKeys)
            pressReturnOn(gone);
        else
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, relink.center());
        auto *status = child<QLabel>(workshop, QStringLiteral("workshopStatusField"));
        if (relinks)
            WAIT_COMPARE(status->text(), QStringLiteral("Relinked Gone.pdf to dusty-strings-tunebook.pdf"));
        QCOMPARE(answer.otherDialogs.size(), relinks ? 1 : 0);
        WAIT_COMPARE(grid->model()->rowCount(), 2);
        const int rag = int(shownBooks(workshop).indexOf("joplin-pineapple-rag.pdf"));
        if (byKeys)
            pressReturnOn(rag);
        else
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, centreOf(*grid, rag));
        WAIT_COMPARE(ViewerParts::openViewers().size(), 1);
        QVERIFY(status->text().startsWith(QStringLiteral("Opened: ")));
        QCOMPARE(ViewerParts::shownBook(*ViewerParts::openViewer()), realBook);
        ViewerParts::openViewer()->close();
    }

    // A cover that arrives after its cell shows another book is kept for later but not shown there; the
    // book shown again takes it from the cache without another render.
    void coverArrivingForAReusedCell()
    {
        CoverThumbnailLoader covers(QSize(84, 100));
        WorkshopGridModel model(covers);
        QSignalSpy arrived(&covers, &CoverThumbnailLoader::coverReady);
        const WorkshopSlotBook book = available(realBook);
        model.setBooks({book});
        covers.requestForTesting({{realBook, book.modified, book.slotPdfFileName}});
        model.setBooks({missing("Other.pdf")});
        WAIT_COMPARE(arrived.count(), 1);
        const QModelIndex cell = model.index(0, 0);
        QVERIFY(model.data(cell, Qt::DecorationRole).value<QPixmap>().isNull());
        model.setBooks({book});
        QVERIFY(!model.data(cell, Qt::DecorationRole).value<QPixmap>().isNull());
        covers.requestForTesting({{realBook, book.modified, book.slotPdfFileName}});
        QCOMPARE(covers.pendingCountForTesting(), 0);
        // A book whose file changed is another cover.
        QVERIFY(covers.cached(realBook, book.modified.addSecs(60)).isNull());
    }

    void exportAsksWhereToSave()
    {
        SlotStore::saveSlot(1, {song("/b/A.pdf", "One"), song("/b/A.pdf", "Two", 2)}, QString());
        SlotStore::saveMeta(SlotMeta{1, {}});
        OpenWindow window;
        pressTile(window, "bookmarkWorkshopTile");
        WorkshopWindowController *workshop = topLevelWindows<WorkshopWindowController>().constFirst();
        const QString target = TestHarness::home() + QStringLiteral("/PDF_Bookmarks.csv");
        QString title;
        ModalAnswer answer([&title](QDialog *dialog) {
            if (auto *files = qobject_cast<QFileDialog *>(dialog)) {
                title = files->windowTitle();
                // The name it suggests, where it suggests it.
                static_cast<QDialog *>(files)->done(QDialog::Accepted);
            }
        });
        child<QPushButton>(*workshop, QStringLiteral("workshopExportButton"))->click();
        QCOMPARE(title, QStringLiteral("Save CSV File"));
        WAIT_COMPARE(child<QLabel>(*workshop, QStringLiteral("workshopStatusField"))->text(),
                     QStringLiteral("Exported 2 bookmarks to ") + target);
        QVERIFY(TestHarness::readFile(target).count('\n') == 2);
    }

    // The window lists the groups by category and deletes the chosen ones after the question, saying so
    // in its own status line.
    void customFilesWindowDeletesTheChosenFiles_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("select");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<LyrafoldLanguage>("language");
        QTest::newRow("Delete") << "Delete" << true << true << LyrafoldLanguage::en;
        QTest::newRow("Cancel") << "Cancel" << true << false << LyrafoldLanguage::en;
        QTest::newRow("nothing selected") << "Delete" << false << false << LyrafoldLanguage::en;
        // Switched to while the window is open: the window and its question stay English.
        QTest::newRow("Delete, Spanish switched to") << "Delete" << true << true << LyrafoldLanguage::es;
    }

    void customFilesWindowDeletesTheChosenFiles()
    {
        QFETCH(QString, answer);
        QFETCH(bool, select);
        QFETCH(bool, deleted);
        QFETCH(LyrafoldLanguage, language);
        const QString files = AppPaths::importLibraryPath();
        BookmarkList singles;
        for (const char *name : {"Blue Bossa", "Misty"}) {
            const QString path = files + QLatin1Char('/') + QLatin1String(name) + ".pdf";
            TestHarness::writeFile(path, "%PDF-1.4");
            singles.append(song(path, QLatin1String(name)));
            singles.last().pdfFileName = SlotStore::customSinglesBookName;
        }
        TestHarness::writeFile(files + "/Reels (Custom).pdf", "%PDF-1.4");
        SlotStore::saveSlot(1, singles, QString());
        SlotStore::saveSlot(2, {song(files + "/Reels (Custom).pdf", "Reel")}, QString());
        SlotStore::saveMeta(SlotMeta{1, {}});
        OpenWindow main;
        CustomFilesWindowController window(main.context);
        auto *count = child<QLabel>(window, QStringLiteral("customFilesCount"));
        WAIT_COMPARE(count->text(), QStringLiteral("2 file(s)"));
        LyrafoldLanguageService::setCurrent(language);
        // Qt's own texts go back to English too, or later tests of this program meet them translated.
        const auto restore = qScopeGuard([] {
            AppSettings::remove(AppSettings::uiLanguageKey);
            LyrafoldLanguageService::loadQtTranslations();
        });
        QCoreApplication::processEvents();
        const auto in = [](const char *english) { return QString::fromUtf8(english); };
        QCOMPARE(window.windowTitle(), in("Custom Files"));
        QCOMPARE(count->text(), in("%1 file(s)").arg(2));
        child<QComboBox>(window, QStringLiteral("customFilesCategory"))->setCurrentIndex(1);
        QCOMPARE(child<QComboBox>(window, QStringLiteral("customFilesCategory"))->currentText(), in("Books"));
        QCOMPARE(count->text(), in("%1 file(s)").arg(1));
        child<QComboBox>(window, QStringLiteral("customFilesCategory"))->setCurrentIndex(0);
        auto *list = child<QListView>(window, QStringLiteral("customFilesList"));
        QCOMPARE(list->model()->index(1, 0).data().toString(), QStringLiteral("Misty"));
        WAIT_COMPARE(list->model()->index(1, 0).data(CustomFilesWindowController::subtitleRole).toString(),
                     in("Custom Single • %1 title(s) • %2").arg(QStringLiteral("1"), in("Slot %1").arg(1)));
        if (select)
            list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
        ModalAnswer question(answer);
        child<QPushButton>(window, QStringLiteral("customFilesDeleteButton"))->click();
        QCOMPARE(question.messages.size(), select ? 1 : 0);
        if (deleted)
            WAIT_COMPARE(child<QLabel>(window, QStringLiteral("customFilesStatusField"))->text(),
                         in("Deleted %1 custom file(s).").arg(1));
        LibrarySession::waitForPendingSaves();
        QCOMPARE(QFileInfo::exists(files + "/Misty.pdf"), !deleted);
        QVERIFY(QFileInfo::exists(files + "/Blue Bossa.pdf"));
    }

    // The window opens on the kind that has files, and a listing that brings a new group (an import)
    // shows that group's kind.
    void customFilesWindowShowsTheKindJustImported()
    {
        const QString files = AppPaths::importLibraryPath();
        TestHarness::writeFile(files + "/Reels (Custom).pdf", "%PDF-1.4");
        TestHarness::writeFile(files + "/Misty.pdf", "%PDF-1.4");
        SlotStore::saveSlot(2, {song(files + "/Reels (Custom).pdf", "Reel")}, QString());
        SlotStore::saveMeta(SlotMeta{1, {}});
        OpenWindow main;
        CustomFilesWindowController window(main.context);
        auto *category = child<QComboBox>(window, QStringLiteral("customFilesCategory"));
        auto *count = child<QLabel>(window, QStringLiteral("customFilesCount"));
        WAIT_COMPARE(category->currentIndex(), 1);
        QCOMPARE(count->text(), QStringLiteral("1 file(s)"));
        BookmarkEntry single = song(files + "/Misty.pdf", "Misty");
        single.pdfFileName = SlotStore::customSinglesBookName;
        main.context.librarySlots().appendImportedBookmarks({single}, 1, QString());
        WAIT_COMPARE(category->currentIndex(), 0);
        QCOMPARE(count->text(), QStringLiteral("1 file(s)"));
    }

    // A status line that told what no longer holds gives way: the workshop's report of another slot
    // after a switch, the custom files window's failed import after an import elsewhere succeeded, the
    // playlists window's missing book once a switch finds it. A report of the last event that still
    // holds stays.
    void statusLinesFollowWhatHolds_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("workshop, after a switch") << "workshop";
        QTest::newRow("custom files, after an import elsewhere") << "custom files";
        QTest::newRow("playlists, after a switch finds the book") << "playlists";
    }

    void statusLinesFollowWhatHolds()
    {
        QFETCH(QString, window);
        const QString books = TestHarness::home() + QStringLiteral("/Books/");
        QVERIFY(QDir().mkpath(books));
        QFile::remove(books + "Moved.pdf");
        QVERIFY(QFile::copy(realBook, books + "Moved.pdf"));
        SlotStore::saveSlot(2, {song(books + "Moved.pdf", "Moved")}, QString());
        SlotStore::saveMeta(SlotMeta{1, {}});
        PlaylistItem gone(song(QStringLiteral("/old/place/Moved.pdf"), "Moved"));
        QVERIFY(PlaylistStore::savePlaylists({Playlist{QStringLiteral("Set"), {gone}}}));
        OpenWindow main;
        QPointer<QWidget> shown;
        StatusLine *line = nullptr;
        QString told;
        const auto switchTo = [&main](int slot) {
            clickTile(slotTile(main, slot));
            WAIT_COMPARE(main.library().currentSlotId(), slot);
            TestHarness::settleWorkers();
        };
        if (window == "workshop") {
            shown = new WorkshopWindowController(main.context);
            line = child<StatusLine>(*shown, QStringLiteral("workshopStatusField"));
            told = QStringLiteral("Imported 2 title(s) to Slot 1.");
            line->setStatus(told);
            switchTo(2);
        } else if (window == "custom files") {
            shown = new CustomFilesWindowController(main.context);
            line = child<StatusLine>(*shown, QStringLiteral("customFilesStatusField"));
            const QString unreadable = TestHarness::home() + QStringLiteral("/in/Broken.png");
            TestHarness::writeFile(unreadable, "not a picture");
            const QString picture = TestHarness::home() + QStringLiteral("/in/Scan.png");
            QImage(40, 20, QImage::Format_RGB32).save(picture);
            const ModalAnswer::Step importIt = [](QDialog *form) { ModalAnswer::press(form, "Import"); };
            {
                ModalAnswer answers(QList<ModalAnswer::Step>{
                    importIt, [](QDialog *alert) { ModalAnswer::press(alert, "OK"); }});
                main.context.libraryFlows().importImagesAndPDFs(*line, {unreadable}, std::nullopt);
                WAIT_COMPARE(line->text(), QStringLiteral("File import failed."));
            }
            ModalAnswer answers(QList<ModalAnswer::Step>{importIt});
            main.context.libraryFlows().importImagesAndPDFs(*statusField(main), {picture}, std::nullopt);
            WAIT_COMPARE(statusField(main)->text(), QStringLiteral("Imported 1 title(s) to Slot 1."));
        } else {
            shown = new PlaylistsWindowController(main.context);
            line = child<StatusLine>(*shown, QStringLiteral("playlistsStatusField"));
            auto *titles = child<PlaylistCardView>(*shown, QStringLiteral("titlesTable"));
            child<PlaylistCardView>(*shown, QStringLiteral("playlistTable"))->selectRow(0);
            shown->show();
            QVERIFY(QTest::qWaitForWindowExposed(shown, TestHarness::hangGuardMs));
            QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                              titles->partRect(0, PlaylistCardView::Part::card).center());
            told = QStringLiteral("The book of \"Moved\" was not found: /old/place/Moved.pdf");
            WAIT_COMPARE(line->text(), told);
            switchTo(3);
            QCOMPARE(line->text(), told);
            switchTo(2);
        }
        const QString idle = window == "playlists" ? QString() : QStringLiteral("Ready");
        WAIT_COMPARE(line->text(), idle);
        delete shown.data();
    }

    // What a deletion over the slots did reaches the status line; a slot that could not be saved is
    // never reported as a success.
    void deletionReportsWhatFailed_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<QString>("status");
        QTest::newRow("every slot saved") << false << "Deleted 1 custom file(s).";
        QTest::newRow("a slot not saved")
            << true << "Not every custom file was deleted: Slot 3 could not be saved and keeps their titles.";
    }

    void deletionReportsWhatFailed()
    {
        QFETCH(bool, fullDisk);
        QFETCH(QString, status);
        const QString photo = AppPaths::importLibraryPath() + "/a.pdf";
        TestHarness::writeFile(photo, "%PDF-1.4");
        BookmarkEntry single = song(photo, "Photo");
        single.pdfFileName = SlotStore::customSinglesBookName;
        SlotStore::saveSlot(1, {single}, QString());
        // Large enough that its file outgrows the disk left.
        SlotStore::saveSlot(3, Fixtures::realisticLibrary(300) + BookmarkList{single}, QString());
        SlotStore::saveMeta(SlotMeta{1, {}});
        OpenWindow window;
        QList<CustomFileGroup> groups = window.context.libraryFiles().customFileGroupsJob()();
        QCOMPARE(groups.size(), 1);
        std::optional<TestHarness::FileSizeLimit> limit;
        if (fullDisk)
            limit.emplace(32 * 1024);
        window.context.libraryFlows().deleteCustomFileGroups(*child<StatusLine>(window, "statusField"),
                                                             groups);
        WAIT_COMPARE(statusField(window)->text(), status);
        LibrarySession::waitForPendingSaves();
        limit.reset();
        QCOMPARE(QFileInfo::exists(photo), fullDisk);
    }
};

LYRAFOLD_TEST_GUI_MAIN(WorkshopWindowTest)
#include "tst_workshopwindow.moc"
