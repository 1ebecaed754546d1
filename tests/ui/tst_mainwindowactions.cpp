#include "Fixtures.h"
#include "MainWindowParts.h"
#include "ModalAnswer.h"
#include "OpenWindow.h"
#include "OpenWindows.h"
#include "OpenedUrls.h"
#include "TestHarnessGui.h"
#include "ViewerParts.h"
#include "core/annotations/PdfEditCacheFile.h"
#include "core/bookmarks/LibraryColumns.h"
#include "core/common/AppPaths.h"
#include "core/common/AppSettings.h"
#include "core/common/Hop.h"
#include "core/common/LaunchLog.h"
#include "core/common/NotificationBus.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/resources/BundledResources.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibrarySlots.h"
#include "core/storage/FileGuard.h"
#include "core/storage/StateFile.h"
#include "pdf/extract/BookmarkExtractionRun.h"
#include "platform/recognition/SongRecognitionResult.h"
#include "ui/app/AppContext.h"
#include "ui/app/AppDelegate.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/PagePreviewWindow.h"
#include "ui/common/TablePagePreview.h"
#include "ui/common/WindowPlacement.h"
#include "ui/mainwindow/BookmarkHoverOverlay.h"
#include "ui/mainwindow/BookmarkTableModel.h"
#include "ui/mainwindow/BookmarkTableView.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/mainwindow/MetadataEditDialog.h"
#include "ui/mainwindow/TileView.h"
#include "ui/mainwindow/WindowsStyleSlotTileView.h"
#include "ui/mainwindow/WindowsStyleToggleToolTileView.h"
#include "ui/recognition/ListenFlow.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QAccessible>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QThread>
#include <QThreadPool>
#include <QToolButton>

#include <memory>

#include <csignal>
#include <cstdio>

#include <signal.h>

Q_DECLARE_METATYPE(SongRecognitionResult)

namespace {

using namespace MainWindowParts;
using namespace std::chrono_literals;

QPushButton *listenButton(const QObject &window)
{
    return button(window, "listenButton");
}

QString books()
{
    return TestHarness::home() + QStringLiteral("/Books");
}

QString book(const char *name)
{
    return TestHarness::testData(QStringLiteral("books/") + QLatin1String(name));
}

// Opens the window on slot with the rows, the table laid out and the window active.
std::unique_ptr<OpenWindow> windowOn(int slot, const BookmarkList &rows, bool show = false)
{
    // A save still on its way from an earlier window would overwrite the files written here.
    LibrarySession::waitForPendingSaves();
    TestHarness::writeFile(SlotStore::metaFilePath(),
                           QStringLiteral(R"({"activeSlot":%1,"slotNames":{}})").arg(slot).toUtf8());
    if (!SlotStore::saveSlot(slot, rows, books()))
        qFatal("cannot write the slot");
    auto window = std::make_unique<OpenWindow>();
    if (show) {
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get(), TestHarness::hangGuardMs))
            qWarning("the window did not become active");
    }
    return window;
}

TablePagePreview *preview(const MainWindowController &window)
{
    return child<TablePagePreview>(window, QStringLiteral("tablePagePreview"));
}

QStringList shownTitles(OpenWindow &window)
{
    QStringList titles;
    for (const BookmarkEntry &row : Fixtures::shownRows(window.shownRows()))
        titles.append(row.title);
    return titles;
}

QStringList selectedTitles(OpenWindow &window)
{
    QStringList titles;
    for (int row : selectedRows(window))
        titles.append(Fixtures::shownRows(window.shownRows()).at(row).title);
    return titles;
}

void selectRows(MainWindowController &window, const QList<int> &rows)
{
    auto *selection = tableView(window)->selectionModel();
    selection->clearSelection();
    for (int row : rows)
        selection->select(tableModel(window)->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

int launchLogLines(const char *needle)
{
    return int(QString::fromUtf8(TestHarness::readFile(LaunchLog::path())).count(QLatin1String(needle)));
}

// The window on slot 1, of three songs, switched to slot 2 by its tile ("tile") or read again by Reload
// Slot from Disk ("reload"); true once the new library is shown.
bool switchOrReload(OpenWindow &window, const QString &how)
{
    if (how == "tile")
        clickTile(slotTile(window, 2));
    else
        menuItem(window, QStringLiteral("Reload Slot from Disk"))->trigger();
    return TestHarness::waitFor(
        [&] {
            return how == "tile" ? window.library().currentSlotId() == 2
                                 : statusField(window)->text() == "Slot 1 reloaded (3 bookmarks)";
        },
        TestHarness::hangGuard);
}

QPoint cellCentre(const QObject &window, int row, int column)
{
    return tableView(window)->visualRect(tableModel(window)->index(row, column)).center();
}

// The application launched on Slot 1 holding rows, Edit mode on, and "Mambo" typed into the genre of the
// last row without Return: its main window, or null when it did not get that far.
QMainWindow *launchTypingIntoAGenre(AppDelegate &app, const BookmarkList &rows)
{
    TestHarness::writeFile(SlotStore::metaFilePath(), R"({"activeSlot":1,"slotNames":{}})");
    if (!SlotStore::saveSlot(1, rows, books()))
        return nullptr;
    app.setSettleDelayForTesting(std::chrono::milliseconds(0));
    app.launch({});
    QMainWindow *window = topLevelWindows<QMainWindow>().value(0);
    if (!window || !TestHarness::waitForCurrentSlot(app.contextForTesting().librarySlots()) ||
        !QTest::qWaitForWindowActive(window, TestHarness::hangGuardMs))
        return nullptr;
    table(*window)->setClickActionDelayForTesting(10);
    button(*window, "editModeButton")->click();
    QTest::mouseClick(tableView(*window)->viewport(), Qt::LeftButton, {},
                      cellCentre(*window, int(rows.size()) - 1, 3));
    if (!TestHarness::waitFor(
            [] { return qobject_cast<QLineEdit *>(QApplication::focusWidget()) != nullptr; },
            TestHarness::hangGuard))
        return nullptr;
    QTest::keyClicks(QApplication::focusWidget(), "Mambo");
    return window;
}

} // namespace

class MainWindowActionsTest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("rowsOverParts", "listenResults")

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        LibrarySession::waitForPendingSaves();
        TestHarness::clearUserFiles();
        QDir(books()).removeRecursively();
    }

    void cleanup() { LibrarySession::waitForPendingSaves(); }

    // Typing waits for a pause; the two passes land; the song selected before stays selected wherever
    // the results put it, and no other song becomes selected. Emptying the field shows all at once.
    void searchKeepsTheSelectedSongs()
    {
        BookmarkList rows{Fixtures::bookmark("/b/A.pdf", 1, "Midnight Shower"),
                          Fixtures::bookmark("/b/A.pdf", 2, "Home at Night"),
                          Fixtures::bookmark("/b/A.pdf", 3, "Reel No. 2")};
        for (int i = 0; i < 200; ++i)
            rows.append(Fixtures::bookmark("/b/B.pdf", i + 1, QStringLiteral("Filler %1").arg(i)));
        rows.append(Fixtures::bookmark("/b/C.pdf", 9, "Night Train Home"));
        auto window = windowOn(1, rows);
        selectRows(*window, {1, 0});

        QTest::keyClicks(searchField(*window), "night ho");
        QCOMPARE(searchResultsLabel(*window)->text(), "204 results");
        WAIT_COMPARE(shownTitles(*window),
                     (QStringList{"Night Train Home", "Home at Night", "Midnight Shower"}));
        QCOMPARE(searchResultsLabel(*window)->text(), "3 results");
        QCOMPARE(selectedTitles(*window), (QStringList{"Home at Night", "Midnight Shower"}));
        QCOMPARE(button(*window, "deleteSelectedButton")->text(), "Delete 2 selected");

        // A header click reorders; the selection follows the songs.
        Q_EMIT tableView(*window)->horizontalHeader()->sectionClicked(2);
        QCOMPARE(shownTitles(*window), (QStringList{"Home at Night", "Midnight Shower", "Night Train Home"}));
        QCOMPARE(selectedTitles(*window), (QStringList{"Home at Night", "Midnight Shower"}));

        searchField(*window)->clear();
        Q_EMIT searchField(*window)->textEdited(QString());
        QCOMPARE(Fixtures::shownRows(window->shownRows()).size(), rows.size());
        QCOMPARE(selectedTitles(*window), (QStringList{"Midnight Shower", "Home at Night"}));

        // Down goes on to the first result, selected alone and not opened.
        QTest::keyClick(searchField(*window), Qt::Key_Down);
        QCOMPARE(window->focusWidget(), tableView(*window));
        QCOMPARE(tableView(*window)->currentIndex().row(), 0);
        QCOMPARE(selectedTitles(*window), QStringList{"Midnight Shower"});
        QVERIFY(!window->findChild<QTimer *>(QStringLiteral("rowActionTimer")));
    }

    // A new library while typed text waits for its pause: the field is emptied, and once the pause would
    // have ended every row is still shown, as the empty field says.
    void aNewLibraryDropsTheSearchTyped_data()
    {
        QTest::addColumn<QString>("replacement");
        QTest::newRow("a slot tile") << "tile";
        QTest::newRow("Reload Slot from Disk") << "reload";
        QTest::newRow("Default Bookmarks") << "defaults";
    }

    void aNewLibraryDropsTheSearchTyped()
    {
        QFETCH(QString, replacement);
        const BookmarkList rows{Fixtures::bookmark("/b/A.pdf", 1, "Blue Waltz"),
                                Fixtures::bookmark("/b/A.pdf", 2, "Waltz for Debby"),
                                Fixtures::bookmark("/b/A.pdf", 3, "Autumn Leaves")};
        SlotStore::saveSlot(2, rows, QString());
        auto window = windowOn(1, rows);
        // The pause never ends by itself here: the test says when.
        auto *pause = child<QTimer>(*window, QStringLiteral("searchDebounceTimer"));
        pause->setInterval(std::chrono::hours(1));

        QTest::keyClicks(searchField(*window), "waltz");
        QVERIFY(pause->isActive());
        if (replacement != "defaults") {
            QVERIFY(switchOrReload(*window, replacement));
        } else {
            // A built-in list of the same songs; the metadata file was read from the program's own before.
            TestHarness::settleWorkers();
            const QString resources = TestHarness::home() + "/listed-resources";
            TestHarness::writeFile(resources + "/Bundled/DefaultBookmarks.json", R"([
                {"PdfFileName":"A.pdf","PdfFilePath":"/b/A.pdf","PageNumber":1,"Title":"Blue Waltz","Level":0},
                {"PdfFileName":"A.pdf","PdfFilePath":"/b/A.pdf","PageNumber":2,"Title":"Waltz for Debby","Level":0},
                {"PdfFileName":"A.pdf","PdfFilePath":"/b/A.pdf","PageNumber":3,"Title":"Autumn Leaves","Level":0}])");
            BundledResources::setRootForTesting(resources);
            const auto restore = qScopeGuard([] { BundledResources::setRootForTesting({}); });
            ModalAnswer answer(QStringLiteral("OK"), [](QDialog *dialog) {
                auto *files = static_cast<QFileDialog *>(dialog);
                files->setDirectory(books());
                static_cast<QDialog *>(files)->accept();
            });
            QDir().mkpath(books());
            pressTile(*window, "defaultBookmarksTile");
            WAIT_COMPARE(statusField(*window)->text(), "Loaded 3 default bookmarks");
        }
        QCOMPARE(searchField(*window)->text(), "");
        if (pause->isActive())
            pause->setInterval(0);
        WAIT_VERIFY(!pause->isActive());
        TestHarness::settleWorkers();
        QCoreApplication::processEvents();
        QCOMPARE(tableModel(*window)->rowCount(), 3);
        QCOMPARE(searchResultsLabel(*window)->text(), "3 results");
    }

    // A cell edit shuts the previews out only while its field exists, however the edit ends.
    void previewsReturnAfterAnyCellEdit()
    {
        auto window = windowOn(
            1, {Fixtures::bookmark("/b/A.pdf", 1, "A"), Fixtures::bookmark("/b/A.pdf", 2, "B")}, true);
        button(*window, "editModeButton")->click();
        const QModelIndex genre = tableModel(*window)->index(0, 3);
        tableView(*window)->edit(genre);
        QVERIFY(preview(*window)->stateForTesting().suspended);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        WAIT_VERIFY(!preview(*window)->stateForTesting().suspended);
        QCOMPARE(window->library().allBookmarks().at(0).genre, "");

        tableView(*window)->edit(genre);
        QVERIFY(preview(*window)->stateForTesting().suspended);
        table(*window)->reload(LibraryTableController::SelectionAfterReload::clear); // a new library
        WAIT_VERIFY(!preview(*window)->stateForTesting().suspended);
    }

    // Cells edited by clicks and keys as a user goes: the edits land, and the table's view never
    // complains about its editors. A field still open when the library is about to change (another slot,
    // the slot read again, songs arriving) gives its text to the slot first.
    void cellEditsByClicks_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("leftBy"); // what the user does while the last field is open
        QTest::newRow("all rows shown") << ""
                                        << "";
        QTest::newRow("a search shows them") << "song"
                                             << "";
        QTest::newRow("a slot tile") << ""
                                     << "tile";
        QTest::newRow("Reload Slot from Disk") << ""
                                               << "reload";
        QTest::newRow("a workshop tab") << ""
                                        << "workshop tab";
        QTest::newRow("Merge Slots into Current") << ""
                                                  << "merge";
        QTest::newRow("an import into another slot lands") << ""
                                                           << "import";
        QTest::newRow("an extraction into the slot lands") << ""
                                                           << "extraction";
    }

    void cellEditsByClicks()
    {
        QFETCH(QString, search);
        QFETCH(QString, leftBy);
        SlotStore::saveSlot(2, {Fixtures::bookmark("/b/B.pdf", 1, "Other song")}, QString());
        QTest::failOnWarning(QRegularExpression("does not belong to this view|editing failed"));
        auto window = windowOn(1,
                               {Fixtures::bookmark("/b/A.pdf", 1, "Song A"),
                                Fixtures::bookmark("/b/A.pdf", 2, "Song B"),
                                Fixtures::bookmark("/b/A.pdf", 3, "Song C")},
                               true);
        table(*window)->setClickActionDelayForTesting(10);
        // The search's passes land while the fields below are open; they wait for the fields.
        QTest::keyClicks(searchField(*window), search);
        button(*window, "editModeButton")->click();
        QWidget *viewport = tableView(*window)->viewport();
        const auto genreOf = [&](int row) { return Fixtures::shownRows(window->shownRows()).at(row).genre; };
        const auto clickGenre = [&](int row) {
            QTest::mouseClick(viewport, Qt::LeftButton, {}, cellCentre(*window, row, 3));
            WAIT_VERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        };

        clickGenre(0);
        QTest::keyClicks(QApplication::focusWidget(), "Bebop");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        WAIT_COMPARE(genreOf(0), "Bebop");

        clickGenre(0); // the row is selected now
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        QTest::keyClicks(QApplication::focusWidget(), " Swing");
        clickGenre(1); // the field of row 0 closes with its text
        WAIT_COMPARE(genreOf(0), "Bebop Swing");
        QTest::keyClicks(QApplication::focusWidget(), "Latin");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        WAIT_COMPARE(genreOf(1), "Latin");

        // A double click, as the window system delivers one.
        const QPoint cell = cellCentre(*window, 2, 3);
        QTest::mousePress(viewport, Qt::LeftButton, {}, cell);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, cell);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, cell);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, cell);
        WAIT_VERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        QTest::keyClicks(QApplication::focusWidget(), "Waltz");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        WAIT_COMPARE(genreOf(2), "Waltz");
        WAIT_VERIFY(!rowActionPending(*window));
        QCOMPARE(genreOf(2), "Waltz");
        if (leftBy.isEmpty())
            return;

        // The workshop is open before the field, as a user has it beside the window.
        QPointer<QWidget> workshop;
        const auto closeWorkshop = qScopeGuard([&workshop] { delete workshop.data(); });
        if (leftBy == "workshop tab") {
            pressTile(*window, "bookmarkWorkshopTile");
            for (QWidget *shown : QApplication::topLevelWidgets())
                if (shown->findChild<QPushButton *>(QStringLiteral("workshopTab2")))
                    workshop = shown;
            QVERIFY(workshop && QTest::qWaitForWindowActive(workshop, TestHarness::hangGuardMs));
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get(), TestHarness::hangGuardMs));
        }
        clickGenre(1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        QTest::keyClicks(QApplication::focusWidget(), " Mambo");
        std::unique_ptr<ModalAnswer> answers;
        if (leftBy == "tile" || leftBy == "reload") {
            QVERIFY(switchOrReload(*window, leftBy));
        } else if (leftBy == "workshop tab") {
            child<QPushButton>(*workshop, QStringLiteral("workshopTab2"))->click();
            WAIT_COMPARE(window->library().currentSlotId(), 2);
        } else if (leftBy == "merge") {
            answers = std::make_unique<ModalAnswer>([](QDialog *dialog) {
                dialog->findChild<QLineEdit *>()->setText(QStringLiteral("2"));
                ModalAnswer::press(dialog, QStringLiteral("Merge"));
            });
            menuItem(*window, QStringLiteral("Merge Slots into Current…"))->trigger();
            WAIT_COMPARE(window->library().allBookmarks().size(), 4);
        } else if (leftBy == "import") {
            // The songs wait for the field, which keeps its text and the keys typed into it.
            window->context.librarySlots().appendImportedBookmarks(
                {Fixtures::bookmark("/b/Scan.pdf", 1, "Scan")}, 2, QString());
            WAIT_VERIFY(window->library().landings().holding());
            QTest::keyClicks(QApplication::focusWidget(), "!");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            WAIT_COMPARE(window->library().currentSlotId(), 2);
            // Told in the window that imported; here nothing of Slot 1 stays in the status line.
            QCOMPARE(statusField(*window)->text(), "Ready");
        } else if (leftBy == "extraction") {
            // The books of the slot read again: the same songs, whose metadata stays.
            ExtractionResult extracted;
            extracted.folder = books();
            extracted.bookmarks = SlotStore::loadSlot(1);
            // The open field ends as the library is about to be replaced, which changes it: the
            // extraction is planned again, as a run plans it again.
            LibrarySlots &librarySlots = window->context.librarySlots();
            std::optional<qsizetype> adopted;
            for (int attempt = 0; attempt < 2 && !adopted; ++attempt)
                adopted = librarySlots.adoptExtraction(librarySlots.extractionPlanner(extracted)());
            QVERIFY(adopted);
        }
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlot(1).at(1).genre, "Latin Mambo");
    }

    // A cell's field open with text typed and no Return, then whatever comes next, from the window or
    // from outside it: the text is in the library and in the slot's file, the application's end
    // included, and a dialog that shows the row shows it. Another program's version of the slot read in
    // while the field is open gets the typed change as any edit not yet written, its own kept; a change
    // of the rows made elsewhere leaves the typed text in the field.
    void anOpenFieldGivesItsTextFirst_data()
    {
        QTest::addColumn<QString>("route");
        QTest::newRow("Ctrl+Q") << "ctrl+q";
        QTest::newRow("Lyrafold > Quit Lyrafold") << "quit item";
        QTest::newRow("the window's close button") << "close";
        QTest::newRow("SIGTERM") << "sigterm";
        QTest::newRow("DEFAULT") << "default";
        QTest::newRow("Apply Bundled Metadata Only") << "bundled";
        QTest::newRow("Edit Metadata for Selected Row…") << "dialog";
        QTest::newRow("Save Slot to Disk") << "save";
        QTest::newRow("another program's version read in") << "outside";
        QTest::newRow("another program's version read in, then Ctrl+Q") << "outside, ctrl+q";
        QTest::newRow("a change made elsewhere lands, then Return") << "elsewhere";
    }

    void anOpenFieldGivesItsTextFirst()
    {
        QFETCH(QString, route);
        // The first title stands in the built-in metadata, so the metadata runs change a row.
        const BookmarkList rows{Fixtures::bookmark("/b/A.pdf", 1, "Ninth Street Shuffle"),
                                Fixtures::bookmark("/b/A.pdf", 2, "My Own Tune")};
        AppDelegate app;
        QMainWindow *typedInto = launchTypingIntoAGenre(app, rows);
        QVERIFY(typedInto);
        QMainWindow &window = *typedInto;
        LibrarySession &library = app.contextForTesting().library();

        BookmarkList expected = rows;
        expected[1].genre = QStringLiteral("Mambo");
        if (route.startsWith("outside")) {
            // Read in, it waits for the field.
            QSignalSpy readIn(&library, &LibrarySession::changedElsewhere);
            BookmarkList theirs = rows;
            theirs[0].style = QStringLiteral("Cool");
            QSaveFile file(SlotStore::slotFilePath(1));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(*SlotStore::encodeSlot(theirs, books()));
            QVERIFY(file.commit());
            WAIT_VERIFY(library.landings().holding());
            QCOMPARE(readIn.count(), 0);
            expected[0].style = QStringLiteral("Cool");
            route.remove(QRegularExpression("^outside(, )?"));
            if (route.isEmpty()) {
                // Return gives the text, which is made on it.
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                QVERIFY(readIn.count() == 1 || readIn.wait(TestHarness::hangGuardMs));
            }
        }
        if (route == "ctrl+q" || route == "quit item" || route == "close" || route == "sigterm") {
            // The application's own event loop, which these end.
            QTimer::singleShot(0, &window, [&] {
                if (route == "ctrl+q")
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
                else if (route == "quit item")
                    app.quitAction()->trigger();
                else if (route == "close")
                    window.close();
                else
                    std::raise(SIGTERM);
            });
            QTimer stuck;
            QObject::connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(1); });
            stuck.start(TestHarness::hangGuard);
            QCOMPARE(QCoreApplication::exec(), 0);
        } else if (route == "default" || route == "bundled") {
            if (route == "default")
                QTest::mouseClick(toggleTile(window, "defaultToggleTile"), Qt::LeftButton);
            else
                menuItem(window, QStringLiteral("Apply Bundled Metadata Only"))->trigger();
            WAIT_VERIFY(library.allBookmarks().at(0).genre == "Jazz");
            expected[0] = library.allBookmarks().at(0);
        } else if (route == "dialog") {
            QString shown;
            ModalAnswer answer([&shown](QDialog *dialog) {
                shown = metadataField(dialog, QStringLiteral("Genre"))->text();
                dialog->accept();
            });
            menuItem(window, QStringLiteral("Edit Metadata for Selected Row…"))->trigger();
            QCOMPARE(shown, "Mambo");
        } else if (route == "save") {
            menuItem(window, QStringLiteral("Save Slot to Disk"))->trigger();
            QCOMPARE(statusField(window)->text(), "Slot 1 saved");
        } else if (route == "elsewhere") {
            // As a run's results land, or another window's edit: the rows shown again keep the field.
            QSignalSpy shownAgain(tableModel(window), &QAbstractItemModel::dataChanged);
            QVERIFY(
                library.setMetadataField(BookmarkMetadataField::style, QStringLiteral("Cool"), rows.at(0)));
            WAIT_VERIFY(!shownAgain.isEmpty());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            WAIT_COMPARE(library.allBookmarks().at(1).genre, "Mambo");
            expected[0].style = QStringLiteral("Cool");
        }
        QCOMPARE(library.allBookmarks().toList(), expected);
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlot(1), expected);
    }

    // A cell's field opened while work runs, the work comes back half way through a word, and the user
    // types the rest and Return: the whole word reaches its song and the slot's file. Whatever the work,
    // it waits for the field (the field keeps its text, its focus and every key), and lands once Return
    // has given the text: work that changes the rows does its work again over it (a reload reads the file
    // again with it; another program's version takes it as any change not yet written, its own kept), a
    // new order of the shown rows shows.
    void aFieldOpenedWhileWorkRunsKeepsItsText_data()
    {
        QTest::addColumn<QString>("work");
        QTest::addColumn<QString>("search"); // shown while the work runs
        QTest::newRow("Reload Slot from Disk") << "reload"
                                               << "";
        QTest::newRow("Reload Slot from Disk, a search shown") << "reload"
                                                               << "Tune";
        QTest::newRow("Merge Slots into Current") << "merge"
                                                  << "";
        QTest::newRow("Merge Slots into Current, a search shown") << "merge"
                                                                  << "Tune";
        QTest::newRow("a metadata file, a search shown") << "metadata file"
                                                         << "Tune";
        QTest::newRow("Apply Bundled Metadata Only, a search shown") << "bundled"
                                                                     << "Tune";
        QTest::newRow("an extraction into the slot") << "extraction"
                                                     << "";
        QTest::newRow("a full extraction over the slot, which asks before it rebuilds") << "rebuild question"
                                                                                        << "";
        QTest::newRow("a slot tile") << "switch"
                                     << "";
        QTest::newRow("songs imported into another slot") << "import"
                                                          << "";
        QTest::newRow("a picture imported") << "picture"
                                            << "";
        QTest::newRow("another program's version of the slot") << "outside"
                                                               << "";
        QTest::newRow("the search's pass over the whole library") << "search"
                                                                  << "";
    }

    void aFieldOpenedWhileWorkRunsKeepsItsText()
    {
        QFETCH(QString, work);
        QFETCH(QString, search);
        // The first title stands in the built-in metadata; "Tune Up" lies beyond the rows a search's
        // first pass ranks, so that the pass over the whole library shows other rows than the first.
        BookmarkList rows{Fixtures::bookmark("/b/A.pdf", 1, "Ninth Street Shuffle"),
                          Fixtures::bookmark("/b/A.pdf", 2, "My Own Tune")};
        for (int n = 0; n < 150; ++n)
            rows.append(
                Fixtures::bookmark("/b/F.pdf", n + 1, n == 130 ? "Tune Up" : "Filler " + QString::number(n)));
        SlotStore::saveSlot(2, {Fixtures::bookmark("/b/B.pdf", 1, "Other song")}, QString());
        QTest::failOnWarning(QRegularExpression("does not belong to this view|editing failed"));
        auto window = windowOn(1, rows, true);
        LibrarySession &library = window->library();
        LibraryShownRows &shown = window->shownRows();
        table(*window)->setClickActionDelayForTesting(10);
        if (!search.isEmpty()) {
            QTest::keyClicks(searchField(*window), search);
            TestHarness::settleWorkers();
            WAIT_COMPARE(shown.filteredCount(), 2);
        }
        button(*window, "editModeButton")->click();
        TestHarness::settleWorkers();
        LibrarySession::waitForPendingSaves();

        // The work begins and comes back while nothing lands yet.
        Hop::holdLandingsForTesting();
        auto landings = qScopeGuard([] { Hop::releaseLandingsForTesting(); });
        std::unique_ptr<ModalAnswer> answers;
        const auto keysAgain =
            qScopeGuard([] { LyrafoldAlert::setKeyGuardForTesting(std::chrono::seconds(1)); });
        std::optional<qsizetype> extracted;
        std::unique_ptr<BookmarkExtractionRun> run;
        BookmarkList expected = rows;
        if (work == "reload") {
            menuItem(*window, QStringLiteral("Reload Slot from Disk"))->trigger();
        } else if (work == "merge") {
            answers = std::make_unique<ModalAnswer>([](QDialog *dialog) {
                dialog->findChild<QLineEdit *>()->setText(QStringLiteral("2"));
                ModalAnswer::press(dialog, QStringLiteral("Merge"));
            });
            menuItem(*window, QStringLiteral("Merge Slots into Current…"))->trigger();
            expected.append(SlotStore::loadSlot(2));
        } else if (work == "metadata file") {
            const QString file = TestHarness::home() + QStringLiteral("/m.csv");
            TestHarness::writeFile(file, "Title,Genre\nNinth Street Shuffle,Latin");
            answers = std::make_unique<ModalAnswer>(QStringLiteral("OK"), [file](QDialog *dialog) {
                dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file);
                dialog->accept();
            });
            window->metadataImports().importMetadata();
            expected[0].genre = QStringLiteral("Latin");
        } else if (work == "bundled") {
            menuItem(*window, QStringLiteral("Apply Bundled Metadata Only"))->trigger();
        } else if (work == "extraction") {
            // A run that reads none of the slot's books again: the same songs, whose metadata stays,
            // merged on a worker and planned again when the library changed meanwhile.
            BookmarkExtractionRun::Request request;
            request.slot = 1;
            request.folder = books();
            request.partial = true;
            run = std::make_unique<BookmarkExtractionRun>(window->context.librarySlots(), request);
            QObject::connect(
                run.get(), &BookmarkExtractionRun::finished,
                [&](const BookmarkExtractionRun::Summary &summary) { extracted = summary.bookmarkCount; });
            run->start();
        } else if (work == "rebuild question") {
            // Extract > Re-extract folder > the current slot > Extract all: the run from the slot's own
            // folder asks once its book is read, whose read comes back as the other work does.
            QDir().mkpath(books());
            QVERIFY(QFile::copy(book("joplin-pineapple-rag.pdf"), books() + "/Book.pdf"));
            Hop::releaseLandingsForTesting();
            LyrafoldAlert::setKeyGuardForTesting(std::chrono::hours(1));
            answers = std::make_unique<ModalAnswer>(QList<ModalAnswer::Step>{
                [](QDialog *dialog) { ModalAnswer::press(dialog, QStringLiteral("Re-extract folder")); },
                [](QDialog *dialog) { ModalAnswer::press(dialog, QStringLiteral("OK")); },
                [](QDialog *dialog) {
                    Hop::holdLandingsForTesting();
                    ModalAnswer::press(dialog, QStringLiteral("Extract all PDFs (1)"));
                },
                // The question, once Return has ended the field: the Return did not answer it, nor
                // does the Space typed next; Escape does.
                [&](QDialog *question) {
                    QCOMPARE(qobject_cast<QMessageBox *>(question)->text(), "Rebuild Slot 1 from the books?");
                    WAIT_VERIFY(QApplication::activeWindow() == question);
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
                    QVERIFY(question->isVisible());
                    QCOMPARE(library.allBookmarks().toList(), expected);
                    LyrafoldAlert::setKeyGuardForTesting(std::chrono::milliseconds(0));
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                }});
            window->flows().extractBookmarks(*statusField(*window));
            WAIT_COMPARE(answers->stepsLeft(), 1);
        } else if (work == "switch") {
            clickTile(slotTile(*window, 2));
        } else if (work == "import") {
            window->context.librarySlots().appendImportedBookmarks(
                {Fixtures::bookmark("/b/Scan.pdf", 1, "Scan")}, 2, QString());
        } else if (work == "picture") {
            const QString picture = TestHarness::home() + QStringLiteral("/Scan.png");
            QVERIFY(QImage(40, 20, QImage::Format_RGB32).save(picture));
            answers = std::make_unique<ModalAnswer>(
                [](QDialog *prompt) { ModalAnswer::press(prompt, QStringLiteral("Import")); });
            window->context.libraryFlows().importImagesAndPDFs(*statusField(*window), {picture},
                                                               std::nullopt);
        } else if (work == "outside") {
            FileGuard::setDelaysForTesting(std::chrono::milliseconds(10), std::chrono::milliseconds(100));
            auto theirs = rows;
            theirs[0].style = QStringLiteral("Cool");
            QSaveFile file(SlotStore::slotFilePath(1));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(*SlotStore::encodeSlot(theirs, books()));
            QVERIFY(file.commit());
            expected[0].style = QStringLiteral("Cool");
        } else if (work == "search") {
            QTest::keyClicks(searchField(*window), QStringLiteral("Tune"));
            WAIT_COMPARE(shown.filteredCount(), 1); // the first pass
        }
        WAIT_VERIFY(Hop::heldLandingsForTesting() > 0 &&
                    QThreadPool::globalInstance()->activeThreadCount() == 0);
        // A dialog the work asked through has given the window back.
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get(), TestHarness::hangGuardMs));

        // Meanwhile the user types into the genre of "My Own Tune".
        const auto shownRowOf = [&](const QString &title) {
            return int(Fixtures::shownRows(shown).indexOf(
                *std::find_if(library.allBookmarks().begin(), library.allBookmarks().end(),
                              [&](const BookmarkEntry &row) { return row.title == title; })));
        };
        const int row = shownRowOf(QStringLiteral("My Own Tune"));
        QVERIFY(row >= 0);
        QTest::mouseClick(tableView(*window)->viewport(), Qt::LeftButton, {}, cellCentre(*window, row, 3));
        WAIT_VERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        const QPointer<QLineEdit> field = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QTest::keyClicks(field, "Mam");
        expected[1].genre = QStringLiteral("Mambo");
        const QString statusBefore = statusField(*window)->text();

        // The work comes back half way through the word, and waits.
        landings.dismiss();
        Hop::releaseLandingsForTesting();
        WAIT_VERIFY(Hop::heldLandingsForTesting() == 0 &&
                    QThreadPool::globalInstance()->activeThreadCount() == 0);
        if (work == "search")
            QVERIFY(shown.orderHeld());
        else
            WAIT_VERIFY(library.landings().holding());
        QVERIFY(field && field->isVisible());
        QCOMPARE(QApplication::focusWidget(), field.data());
        QCOMPARE(library.allBookmarks().at(1).genre, QString());
        QCOMPARE(statusField(*window)->text(), statusBefore);
        QVERIFY(ViewerParts::openViewers().isEmpty());
        QTest::keyClicks(field, "bo");
        QCOMPARE(field->text(), "Mambo");
        QTest::keyClick(field, Qt::Key_Return);

        // It lands once Return has given the text.
        if (work == "reload") {
            WAIT_COMPARE(statusField(*window)->text(), "Slot 1 reloaded (152 bookmarks)");
            QCOMPARE(searchField(*window)->text(), QString());
        } else if (work == "merge") {
            WAIT_VERIFY(statusField(*window)->text().startsWith("Merged 1 bookmark(s) into Slot 1"));
            QCOMPARE(searchField(*window)->text(), search);
        } else if (work == "metadata file") {
            WAIT_COMPARE(library.allBookmarks().at(0).genre, "Latin");
        } else if (work == "bundled") {
            WAIT_COMPARE(library.allBookmarks().at(0).genre, "Jazz");
            expected = library.allBookmarks().toList();
            expected[1].genre = QStringLiteral("Mambo");
        } else if (work == "extraction") {
            WAIT_VERIFY(extracted);
        } else if (work == "rebuild question") {
            WAIT_COMPARE(statusField(*window)->text(), "Extraction cancelled; nothing was changed.");
            QCOMPARE(answers->stepsLeft(), 0);
        } else if (work == "switch" || work == "import") {
            WAIT_COMPARE(library.currentSlotId(), 2);
        } else if (work == "picture") {
            WAIT_COMPARE(library.allBookmarks().size(), rows.size() + 1);
            expected.append(library.allBookmarks().at(rows.size()));
            QCOMPARE(expected.constLast().title, "Scan");
            WAIT_VERIFY(ViewerParts::openViewer());
            ViewerParts::openViewer()->close();
        } else if (work == "outside") {
            WAIT_COMPARE(library.allBookmarks().at(0).style, "Cool");
            FileGuard::resetDelaysForTesting();
        } else {
            WAIT_COMPARE(shown.filteredCount(), 2);
        }
        WAIT_COMPARE(library.landings().holding(), false);
        TestHarness::settleWorkers();
        LibrarySession::waitForPendingSaves();
        if (library.currentSlotId() == 1) {
            QCOMPARE(library.allBookmarks().toList(), expected);
            QVERIFY(!qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        }
        QCOMPARE(SlotStore::loadSlot(1), expected);
    }

    // The metadata dialog open while work runs, and the work comes back half way through a word: it
    // waits for the dialog, which keeps its text and every key; Save gives the values to its song in the
    // slot it was opened on, as an open field's text is given, and the work lands then. A song of the
    // same title in the slot switched to stays as it was.
    void aMetadataDialogOpenWhileWorkRunsSavesToItsSong_data()
    {
        QTest::addColumn<QString>("work");
        QTest::newRow("a slot tile") << "switch";
        QTest::newRow("Reload Slot from Disk") << "reload";
    }

    void aMetadataDialogOpenWhileWorkRunsSavesToItsSong()
    {
        QFETCH(QString, work);
        const BookmarkList other{Fixtures::bookmark("/b/B.pdf", 1, "My Own Tune")};
        SlotStore::saveSlot(2, other, QString());
        auto window = windowOn(1, {Fixtures::bookmark("/b/A.pdf", 1, "My Own Tune")}, true);
        LibrarySession &library = window->library();
        tableView(*window)->selectRow(0);
        TestHarness::settleWorkers();
        LibrarySession::waitForPendingSaves();

        Hop::holdLandingsForTesting();
        auto landings = qScopeGuard([] { Hop::releaseLandingsForTesting(); });
        if (work == "switch")
            clickTile(slotTile(*window, 2));
        else
            menuItem(*window, QStringLiteral("Reload Slot from Disk"))->trigger();
        WAIT_VERIFY(Hop::heldLandingsForTesting() > 0 &&
                    QThreadPool::globalInstance()->activeThreadCount() == 0);
        const auto landed = [&] {
            return work == "switch" ? library.currentSlotId() == 2
                                    : statusField(*window)->text() == "Slot 1 reloaded (1 bookmarks)";
        };
        bool waited = false;
        bool landedWhileOpen = true;
        QString typed;
        ModalAnswer answer([&](QDialog *dialog) {
            QLineEdit *genre = metadataField(dialog, QStringLiteral("Genre"));
            QTest::keyClicks(genre, QStringLiteral("Mam"));
            landings.dismiss();
            Hop::releaseLandingsForTesting();
            waited =
                TestHarness::waitFor([&] { return library.landings().holding(); }, TestHarness::hangGuard);
            landedWhileOpen = landed() || !dialog->isVisible();
            QTest::keyClicks(genre, QStringLiteral("bo"));
            typed = genre->text();
            dialog->accept();
        });
        menuItem(*window, QStringLiteral("Edit Metadata for Selected Row…"))->trigger();
        QVERIFY(waited);
        QVERIFY(!landedWhileOpen);
        QCOMPARE(typed, "Mambo");
        WAIT_VERIFY(landed());
        TestHarness::settleWorkers();
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlot(1).value(0).genre, "Mambo");
        QCOMPARE(SlotStore::loadSlot(2), other);
    }

    // A quit whose saves fail (the disk full under a state file), with a field open: the user who quit
    // is told of every file, each by what the user knows it as, above an alert shown earlier, and
    // chooses; after Cancel no alert holds the window, and once there is room the next Ctrl+Q writes
    // everything without a word. The system's request is not asked, names the files and ends with
    // status 1.
    void aQuitTellsTheSaveItCouldNotMake_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("answer");      // the alert's button; none for the system's requests
        QTest::addColumn<QStringList>("failing"); // the slot's file, slots_meta.json, a book's annotations
        const QStringList slot{"slot"};
        QTest::newRow("Ctrl+Q, Cancel") << "ctrl+q"
                                        << "Cancel" << slot;
        QTest::newRow("Ctrl+Q, Escape") << "ctrl+q"
                                        << "Escape" << slot;
        QTest::newRow("Ctrl+Q, the alert's close box") << "ctrl+q"
                                                       << "close box" << slot;
        QTest::newRow("Lyrafold > Quit Lyrafold, Quit Anyway") << "quit item"
                                                               << "Quit Anyway" << slot;
        QTest::newRow("the window's close button, Cancel") << "close"
                                                           << "Cancel" << slot;
        QTest::newRow("SIGTERM") << "sigterm"
                                 << "" << slot;
        QTest::newRow("SIGHUP") << "sighup"
                                << "" << slot;
        QTest::newRow("Lyrafold > Quit Lyrafold over the alert of a failed save, Cancel")
            << "quit item over the alert"
            << "Cancel" << slot;
        QTest::newRow("Lyrafold > Quit Lyrafold, the hidden window still active as the failure comes, Cancel")
            << "quit item, hidden yet active"
            << "Cancel" << slot;
        QTest::newRow("Ctrl+Q, slots_meta.json, Cancel") << "ctrl+q"
                                                         << "Cancel" << QStringList{"meta"};
        QTest::newRow("Ctrl+Q, a book's annotations, Cancel") << "ctrl+q"
                                                              << "Cancel" << QStringList{"annotations"};
        QTest::newRow("Ctrl+Q, the slot's file and slots_meta.json, Cancel")
            << "ctrl+q"
            << "Cancel" << QStringList{"slot", "meta"};
        QTest::newRow("Lyrafold > Quit Lyrafold, the slot's file and slots_meta.json, Quit Anyway")
            << "quit item"
            << "Quit Anyway" << QStringList{"slot", "meta"};
        QTest::newRow("SIGTERM, a book's annotations") << "sigterm"
                                                       << "" << QStringList{"annotations"};
    }

    void aQuitTellsTheSaveItCouldNotMake()
    {
        QFETCH(QString, route);
        QFETCH(QString, answer);
        QFETCH(QStringList, failing);
        const BookmarkList rows{Fixtures::bookmark("/b/A.pdf", 1, "Ninth Street Shuffle"),
                                Fixtures::bookmark("/b/A.pdf", 2, "My Own Tune")};
        // The window system may count a window the quit hid as active still when a failure is told (it
        // did under X11 with the Lyrafold menu just closed): before the application's own alerts hear of
        // it, the main window is made the active one again.
        QObject hiddenYetActive;
        QPointer<QMainWindow> mainWindow;
        if (route == "quit item, hidden yet active")
            QObject::connect(&NotificationBus::instance(), &NotificationBus::stateFileSaveFailed,
                             &hiddenYetActive, [&mainWindow] {
                                 if (mainWindow && !mainWindow->isVisible())
                                     QApplication::setActiveWindow(mainWindow);
                             });
        AppDelegate app;
        QMainWindow *typedInto = launchTypingIntoAGenre(app, rows);
        QVERIFY(typedInto);
        QMainWindow &window = *typedInto;
        mainWindow = typedInto;
        LibrarySession &library = app.contextForTesting().library();

        const QString book = QStringLiteral("/b/A.pdf");
        PdfEditCacheFile drawn;
        drawn.strokesByPage.insert(0, {StrokeRecord{{{10, 20}, {30, 40}}, {1, 0, 0, 1}, 3, 1, false}});
        QMap<QString, QString> files; // what fails, by path: what the alert names it by
        const auto absolute = [](const QString &path) { return QFileInfo(path).absoluteFilePath(); };
        if (failing.contains("slot"))
            files.insert(absolute(SlotStore::slotFilePath(1)), QStringLiteral("slot_1.json"));
        if (failing.contains("meta"))
            files.insert(absolute(SlotStore::metaFilePath()), QStringLiteral("slots_meta.json"));
        if (failing.contains("annotations"))
            files.insert(absolute(*PdfEditCacheCodec::filePath(book)),
                         QStringLiteral("the annotations of A.pdf"));
        StateFile::setWriteCheckForTesting([files](const QString &path) -> std::optional<QString> {
            return files.contains(path) ? std::optional(QStringLiteral("the disk is full")) : std::nullopt;
        });
        const auto writable = qScopeGuard([] { StateFile::setWriteCheckForTesting({}); });
        const QByteArray metaBefore = TestHarness::readFile(SlotStore::metaFilePath());
        if (failing.contains("annotations")) {
            // A stroke the viewer saved before the quit.
            QVERIFY(PdfEditCacheCodec::saveInBackground(book, drawn));
            StateFile::waitForAllPendingWrites();
        }
        const auto earlierAlert = [&] {
            return window.findChild<QMessageBox *>(QStringLiteral("stateFileAlert"));
        };
        if (route == "quit item over the alert") {
            // The field ends, its save fails, and the alert that tells it is open as the quit begins.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            WAIT_VERIFY(earlierAlert() && earlierAlert()->isVisible());
        }
        // The dialogs are answered from the quit on, so that an alert open before it stays open.
        QObject quitting;
        std::optional<ModalAnswer> answers;
        QObject::connect(&NotificationBus::instance(), &NotificationBus::quitting, &quitting, [&] {
            if (answers)
                return;
            answers.emplace(QList<ModalAnswer::Step>{[answer](QDialog *alert) {
                if (answer == "Escape")
                    QTest::keyClick(alert, Qt::Key_Escape);
                else if (answer == "close box")
                    alert->close();
                else
                    ModalAnswer::press(alert, answer.isEmpty() ? QStringLiteral("Cancel") : answer);
            }});
        });
        const bool cancels = answer == "Cancel" || answer == "Escape" || answer == "close box";
        // Once Cancel has kept the window: what it shows, then, with room made, Ctrl+Q.
        bool keptOpen = false;
        QString keptGenre;
        QTimer afterCancel;
        QObject::connect(&afterCancel, &QTimer::timeout, [&] {
            // The window takes the keys again.
            if (!answers || answers->messages.isEmpty() || QApplication::activeModalWidget() ||
                QApplication::activeWindow() != &window)
                return;
            afterCancel.stop();
            keptOpen = window.isVisible();
            keptGenre = library.allBookmarks().at(1).genre;
            StateFile::setWriteCheckForTesting({});
            QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        });
        if (cancels)
            afterCancel.start(10);
        QTimer::singleShot(0, &window, [&] {
            if (route == "ctrl+q")
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
            else if (route.startsWith("quit item"))
                app.quitAction()->trigger();
            else if (route == "close")
                window.close();
            else
                std::raise(route == "sigterm" ? SIGTERM : SIGHUP);
        });
        QTimer stuck;
        QObject::connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(2); });
        stuck.start(TestHarness::hangGuard);
        const int status = QCoreApplication::exec();

        LibrarySession::waitForPendingSaves();
        const QString told = QStringLiteral("Lyrafold could not save %1: the disk is full.");
        BookmarkList typed = rows;
        typed[1].genre = QStringLiteral("Mambo");
        const bool written = cancels;
        if (answer.isEmpty()) {
            QCOMPARE(status, 1);
            QVERIFY(!answers || answers->messages.isEmpty());
            const QString log = QString::fromUtf8(TestHarness::readFile(LaunchLog::path()));
            for (const QString &path : files.keys()) {
                const QString named = path.endsWith(QLatin1String(".json")) && !path.contains("PDFEditCache")
                                          ? path
                                          : QStringLiteral("the annotations of ") + book;
                QVERIFY2(log.contains(told.arg(named)), qPrintable(log));
            }
        } else {
            QCOMPARE(status, 0);
            QVERIFY(answers);
            QStringList lines;
            QStringList folders;
            for (auto file = files.cbegin(); file != files.cend(); ++file) {
                lines.append(told.arg(file.value()));
                if (const QString folder = QFileInfo(file.key()).absolutePath(); !folders.contains(folder))
                    folders.append(folder);
            }
            // Told once, and nothing else: the earlier alert no longer shows, under the window or over it.
            QCOMPARE(answers->messages, QStringList{lines.join(QLatin1Char('\n'))});
            QCOMPARE(answers->informativeTexts.first().section(QLatin1Char('\n'), 0, 0),
                     (files.size() == 1 ? QStringLiteral("The file is in %1.")
                                        : QStringLiteral("The files are in %1."))
                         .arg(folders.join(QStringLiteral(", "))));
            if (written) {
                QVERIFY(keptOpen);
                QCOMPARE(keptGenre, "Mambo");
            }
        }
        QCOMPARE(SlotStore::loadSlot(1), failing.contains("slot") && !written ? rows : typed);
        const QByteArray metaAfter = TestHarness::readFile(SlotStore::metaFilePath());
        if (failing.contains("meta") && !written)
            QCOMPARE(metaAfter, metaBefore);
        const Result<SlotMeta> meta = SlotStore::decodeMeta(metaAfter);
        QVERIFY(meta);
        QCOMPARE(meta->slotCounts.value(1), 2);
        if (failing.contains("annotations"))
            QCOMPARE(QFileInfo::exists(*PdfEditCacheCodec::filePath(book)), written);
        // The next tests find every file written.
        StateFile::setWriteCheckForTesting({});
        FileGuard::retryFailedSavesNow();
        StateFile::waitForAllPendingWrites();
        QVERIFY(SlotStore::saveSlot(1, rows, books()));
    }

    // Another program in the way of the quit's write of the slot's file, as it is made: the quit does
    // what the file's guard does while Lyrafold runs, and ends once it has: a file removed is written
    // anew once it stayed missing (not when the slot holds no rows), one half-written is set aside and
    // written, one rewritten whole is merged and written; a lock another holder keeps is waited for, then
    // told, and once it is free the next Ctrl+Q writes. The system's request tells with status 1.
    void aQuitWritesWhatAnotherProgramWasInTheWayOf_data()
    {
        QTest::addColumn<QString>("outside");
        QTest::addColumn<QString>("route");
        QTest::newRow("removed, Ctrl+Q") << "removed"
                                         << "ctrl+q";
        QTest::newRow("removed, SIGTERM") << "removed"
                                          << "sigterm";
        QTest::newRow("removed while the slot holds no rows, Ctrl+Q") << "removed, no rows"
                                                                      << "ctrl+q";
        QTest::newRow("half-written, Ctrl+Q") << "half-written"
                                              << "ctrl+q";
        QTest::newRow("rewritten whole, Ctrl+Q") << "rewritten"
                                                 << "ctrl+q";
        QTest::newRow("locked by another holder, Ctrl+Q, Cancel") << "locked"
                                                                  << "ctrl+q";
        QTest::newRow("locked by another holder, SIGTERM") << "locked"
                                                           << "sigterm";
    }

    void aQuitWritesWhatAnotherProgramWasInTheWayOf()
    {
        QFETCH(QString, outside);
        QFETCH(QString, route);
        const BookmarkList rows{Fixtures::bookmark("/b/A.pdf", 1, "Ninth Street Shuffle"),
                                Fixtures::bookmark("/b/A.pdf", 2, "My Own Tune")};
        FileGuard::setDelaysForTesting(20ms, 300ms);
        FileGuard::setLockWaitForTesting(100ms);
        const auto delays = qScopeGuard([] { FileGuard::resetDelaysForTesting(); });
        AppDelegate app;
        QMainWindow *typedInto = launchTypingIntoAGenre(app, rows);
        QVERIFY(typedInto);
        QMainWindow &window = *typedInto;
        LibrarySession &library = app.contextForTesting().library();
        const QString slotFile = QFileInfo(SlotStore::slotFilePath(1)).absoluteFilePath();
        BookmarkList theirs = rows;
        theirs[0].style = QStringLiteral("Cool");
        if (outside == "removed, no rows") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            Fixtures::setSavedRows(library, {});
            LibrarySession::waitForPendingSaves();
            QVERIFY(QFile::remove(slotFile));
        }

        // What the other program does, on the writer's thread just before the quit's write of the file.
        std::atomic<bool> done = false;
        std::unique_ptr<QLockFile> held;
        StateFile::setWriteCheckForTesting([&](const QString &path) -> std::optional<QString> {
            if (path != slotFile || done.exchange(true))
                return std::nullopt;
            if (outside == "removed") {
                QFile::remove(slotFile);
            } else if (outside == "half-written") {
                const QByteArray bytes = *SlotStore::encodeSlot(theirs, books());
                QFile file(slotFile);
                if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                    file.write(bytes.left(bytes.size() / 2));
            } else if (outside == "rewritten") {
                QSaveFile file(slotFile);
                if (file.open(QIODevice::WriteOnly) &&
                    file.write(*SlotStore::encodeSlot(theirs, books())) > 0)
                    file.commit();
            } else if (outside == "locked") {
                held = std::make_unique<QLockFile>(FileGuard::lockPath(slotFile));
                held->lock();
            }
            return std::nullopt;
        });
        const auto writable = qScopeGuard([] { StateFile::setWriteCheckForTesting({}); });
        QObject quitting;
        std::optional<ModalAnswer> answers;
        QObject::connect(&NotificationBus::instance(), &NotificationBus::quitting, &quitting, [&] {
            if (!answers)
                answers.emplace(QStringLiteral("Cancel"));
        });
        // Once Cancel has kept the window and the lock is given up: Ctrl+Q.
        QTimer afterCancel;
        QObject::connect(&afterCancel, &QTimer::timeout, [&] {
            if (!answers || answers->messages.isEmpty() || QApplication::activeModalWidget() ||
                QApplication::activeWindow() != &window)
                return;
            afterCancel.stop();
            held.reset();
            QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        });
        afterCancel.start(10);
        QTimer::singleShot(0, &window, [&] {
            if (route == "ctrl+q")
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
            else
                std::raise(SIGTERM);
        });
        QTimer stuck;
        QObject::connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(2); });
        stuck.start(TestHarness::hangGuard);
        const int status = QCoreApplication::exec();

        LibrarySession::waitForPendingSaves();
        const bool told = outside == "locked";
        const QString lockedLine =
            QStringLiteral("Lyrafold could not save %1: another Lyrafold kept the file locked.");
        QCOMPARE(status, told && route == "sigterm" ? 1 : 0);
        QCOMPARE(answers ? answers->messages : QStringList(),
                 told && route == "ctrl+q" ? QStringList{lockedLine.arg(QStringLiteral("slot_1.json"))}
                                           : QStringList());
        // What to do about it: the other Lyrafold, not room on the disk.
        if (told && route == "ctrl+q")
            QVERIFY(answers->informativeTexts.first().contains(QStringLiteral(
                "Cancel keeps it open, so that you can quit the other Lyrafold and quit again")));
        if (told && route == "sigterm")
            QVERIFY(QString::fromUtf8(TestHarness::readFile(LaunchLog::path()))
                        .contains(lockedLine.arg(slotFile)));
        BookmarkList expected = outside == "rewritten" ? theirs : rows;
        if (!(told && route == "sigterm"))
            expected[1].genre = QStringLiteral("Mambo");
        if (outside == "removed, no rows")
            QVERIFY(!QFileInfo::exists(slotFile));
        else
            QCOMPARE(SlotStore::loadSlot(1), expected);
        QCOMPARE(QDir(QFileInfo(slotFile).absolutePath())
                     .entryList({QStringLiteral("slot_1.json.unreadable-*")}, QDir::Files)
                     .size(),
                 outside == "half-written" ? 1 : 0);
        held.reset();
        StateFile::setWriteCheckForTesting({});
        QVERIFY(SlotStore::saveSlot(1, rows, books()));
    }

    // A second request to end while a quit waits for a save that does not end (a folder that stopped
    // answering) ends the process at once. Run in a process of its own, which it ends.
    void aSecondRequestEndsAQuitThatWaits()
    {
        if (qEnvironmentVariableIsSet("LYRAFOLD_HELD_QUIT")) {
            AppDelegate app;
            QVERIFY(launchTypingIntoAGenre(app, {Fixtures::bookmark("/b/A.pdf", 1, "My Own Tune")}));
            // Every write from now on waits for ever.
            StateFile::setWriteCheckForTesting([](const QString &) -> std::optional<QString> {
                for (;;)
                    QThread::sleep(1);
            });
            QObject::connect(&NotificationBus::instance(), &NotificationBus::quitting, [] {
                std::printf("quitting\n");
                std::fflush(stdout);
            });
            std::printf("ready %s\n", qPrintable(LaunchLog::path()));
            std::fflush(stdout);
            QCoreApplication::exec();
            QFAIL("the quit ended by itself");
        }
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LYRAFOLD_HELD_QUIT"), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("aSecondRequestEndsAQuitThatWaits")});
        QVERIFY(child.waitForStarted(TestHarness::hangGuardMs));
        QByteArray said;
        const QRegularExpression readyLine(QStringLiteral("ready (.+)\n"));
        QRegularExpressionMatch ready;
        WAIT_VERIFY(
            (ready = readyLine.match(QString::fromUtf8(said += child.readAllStandardOutput()))).hasMatch() ||
            child.state() == QProcess::NotRunning);
        QVERIFY2(ready.hasMatch(), said.constData());
        const QString launchLog = ready.captured(1);
        ::kill(pid_t(child.processId()), SIGTERM);
        WAIT_VERIFY((said += child.readAllStandardOutput()).contains("quitting\n"));
        ::kill(pid_t(child.processId()), SIGTERM);
        // The held write never ends: only the second request can end the process.
        QVERIFY(child.waitForFinished(TestHarness::hangGuardMs));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 1);
        QVERIFY(
            QString::fromUtf8(TestHarness::readFile(launchLog)).contains("Quit asked again while saving"));
    }

    void previewWindowPlacement_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QRect>("visible");
        QTest::addColumn<QPoint>("origin");
        const QRect screen(0, 30, 1600, 870);
        QTest::newRow("right of and below the pointer") << QPoint(100, 100) << screen << QPoint(120, 120);
        QTest::newRow("left near the right edge") << QPoint(1500, 100) << screen << QPoint(948, 120);
        QTest::newRow("above near the bottom") << QPoint(100, 850) << screen << QPoint(120, 146);
        QTest::newRow("never past the top") << QPoint(100, 600) << screen << QPoint(120, 30);
        QTest::newRow("never past the left") << QPoint(500, 100) << QRect(0, 0, 1000, 900) << QPoint(0, 120);
        QTest::newRow("no screen") << QPoint(100, 100) << QRect() << QPoint(120, 120);
    }

    void previewWindowPlacement()
    {
        QFETCH(QPoint, pointer);
        QFETCH(QRect, visible);
        QFETCH(QPoint, origin);
        QCOMPARE(WindowPlacement::besidePointer(pointer, QSize(532, 684), visible), origin);
    }

    // Resting on a row shows its first page after the delay, rendered off the interface thread;
    // leaving the table takes it away. A row whose book is missing shows nothing, not the page before.
    void hoverShowsThePage()
    {
        auto window = windowOn(1,
                               {Fixtures::bookmark(book("joplin-pineapple-rag.pdf"), 2, "Rag"),
                                Fixtures::bookmark(books() + "/gone.pdf", 1, "Gone")},
                               true);
        QWidget *viewport = tableView(*window)->viewport();
        QTest::mouseMove(viewport, cellCentre(*window, 0, 4));
        QCOMPARE(preview(*window)->stateForTesting().pendingRow, 0);
        QVERIFY(!preview(*window)->stateForTesting().window);
        WAIT_VERIFY(preview(*window)->stateForTesting().window &&
                    preview(*window)->stateForTesting().window->isVisible());
        QVERIFY(preview(*window)->stateForTesting().window->hasImage());
        QCOMPARE(preview(*window)->stateForTesting().window->size(), QSize(532, 684));
        QCOMPARE(preview(*window)->stateForTesting().shownRow, 0);
        QCOMPARE(tableView(*window)->hoverOverlay()->previewHighlightRow(), 0);

        QTest::mouseMove(viewport, cellCentre(*window, 1, 4));
        QCOMPARE(preview(*window)->stateForTesting().pendingRow, 1);
        WAIT_COMPARE(preview(*window)->stateForTesting().shownRow, 1);
        QVERIFY(!preview(*window)->stateForTesting().window);
        QCOMPARE(tableView(*window)->hoverOverlay()->previewHighlightRow(), -1);

        QTest::mouseMove(searchField(*window), QPoint(5, 5));
        QCOMPARE(preview(*window)->stateForTesting().shownRow, -1);
        QCOMPARE(tableView(*window)->hoverOverlay()->hoveredRowForTesting(), -1);

        QTest::mouseMove(viewport, cellCentre(*window, 0, 4));
        WAIT_VERIFY(preview(*window)->stateForTesting().window &&
                    preview(*window)->stateForTesting().window->isVisible());
        QCOMPARE(tableView(*window)->hoverOverlay()->previewHighlightRow(), 0);
    }

    // A menu or a dialog that opens takes the preview away, and none comes while it is open.
    void previewGivesWayToMenusAndDialogs_data()
    {
        QTest::addColumn<bool>("dialog");
        QTest::newRow("menu") << false;
        QTest::newRow("dialog") << true;
    }

    void previewGivesWayToMenusAndDialogs()
    {
        QFETCH(bool, dialog);
        auto window = windowOn(1, {Fixtures::bookmark(book("joplin-pineapple-rag.pdf"), 2, "Rag")}, true);
        QTest::mouseMove(searchField(*window), QPoint(5, 5));
        QTest::mouseMove(tableView(*window)->viewport(), cellCentre(*window, 0, 4));
        WAIT_VERIFY(preview(*window)->stateForTesting().window &&
                    preview(*window)->stateForTesting().window->isVisible());

        QMenu menu(window.get());
        menu.addAction(QStringLiteral("Open"));
        QDialog question(window.get());
        question.setModal(true);
        if (dialog)
            question.show();
        else
            menu.popup(QCursor::pos());
        QVERIFY(!preview(*window)->stateForTesting().window);
        QCOMPARE(preview(*window)->stateForTesting().shownRow, -1);
        QTest::mouseMove(tableView(*window)->viewport(), cellCentre(*window, 0, 5));
        QCOMPARE(preview(*window)->stateForTesting().pendingRow, -1); // nothing waits for the delay
        QVERIFY(!preview(*window)->stateForTesting().window);
    }

    // A double click opens the song once, whether its second press comes before the first press's
    // action or after it; a click on a row's drawn button or with Shift held opens nothing.
    // The row's "+": a button for each of a few playlists, a list for many, or a new playlist by name;
    // the status line tells where the title went.
    void addRowToPlaylist_data()
    {
        QTest::addColumn<QStringList>("existing"); // "Name*" already holds the title
        QTest::addColumn<QString>("button");       // pressed in the choice alert
        QTest::addColumn<QString>("answer");       // typed as the new name, or picked from the list
        QTest::addColumn<QString>("status");       // "-": unchanged
        QTest::addColumn<QStringList>("holding");
        QTest::addColumn<bool>("spanish");
        const QStringList two{QStringLiteral("Gig"), QStringLiteral("Practice")};
        const QStringList one{QStringLiteral("Gig")};
        QStringList many;
        for (int i = 1; i <= 8; ++i)
            many.append(QStringLiteral("P%1").arg(i));
        QTest::newRow("a playlist's button")
            << two << "Practice"
            << ""
            << "Added to playlist: Practice" << QStringList{"Practice"} << false;
        QTest::newRow("already in it") << QStringList{"Gig", "Practice*"} << "Practice"
                                       << ""
                                       << "Already in playlist: Practice" << QStringList{"Practice"} << false;
        QTest::newRow("a new playlist, its name trimmed")
            << one << "Create new playlist"
            << "  Sunday  "
            << "Created playlist \"Sunday\" and added bookmark." << QStringList{"Sunday"} << false;
        QTest::newRow("a name taken in other case") << one << "Create new playlist"
                                                    << "gig"
                                                    << "-" << QStringList{} << false;
        QTest::newRow("no playlists, a blank name") << QStringList{} << ""
                                                    << "   "
                                                    << "-" << QStringList{} << false;
        QTest::newRow("many playlists: picked from a list")
            << many << ""
            << "P6"
            << "Added to playlist: P6" << QStringList{"P6"} << false;
        QTest::newRow("cancelled") << two << "Cancel"
                                   << ""
                                   << "-" << QStringList{} << false;
        // A playlist's button shows its name as typed.
        QTest::newRow("a name with an ampersand") << QStringList{"Gig", "R&B"} << "R&&B"
                                                  << ""
                                                  << "Added to playlist: R&B" << QStringList{"R&B"} << false;
        QTest::newRow("a name that is a button's English text, in Spanish")
            << QStringList{"Cancel"} << "Cancel"
            << ""
            << "Added to playlist: Cancel" << QStringList{"Cancel"} << true;
    }

    void addRowToPlaylist()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, button);
        QFETCH(QString, answer);
        QFETCH(bool, spanish);
        LyrafoldLanguageService::setCurrent(spanish ? LyrafoldLanguage::es : LyrafoldLanguage::en);
        const auto english = qScopeGuard([] { LyrafoldLanguageService::setCurrent(LyrafoldLanguage::en); });
        const BookmarkEntry song = Fixtures::bookmark(books() + "/Book.pdf", 4, "Blue Moon");
        auto window = windowOn(1, {song});
        PlaylistLibrary &playlists = window->context.playlists();
        for (QString name : existing) {
            const bool holding = name.endsWith(QLatin1Char('*'));
            name.remove(QLatin1Char('*'));
            playlists.createPlaylist(name);
            if (holding)
                playlists.addToPlaylist(name, song);
        }
        const QString before = statusField(*window)->text();
        ModalAnswer answers(button, [&](QDialog *dialog) {
            if (auto *list = dialog->findChild<QListWidget *>()) {
                list->setCurrentItem(list->findItems(answer, Qt::MatchExactly).value(0));
                ModalAnswer::press(dialog, QStringLiteral("Add"));
            } else {
                dialog->findChild<QLineEdit *>()->setText(answer);
                ModalAnswer::press(dialog, QStringLiteral("Create"));
            }
        });
        Q_EMIT delegate(*window)->rowButtonClicked(LibraryColumns::add, 0);
        QFETCH(QString, status);
        QCOMPARE(statusField(*window)->text(), status == QLatin1String("-") ? before : status);
        QStringList holding;
        for (const Playlist &playlist : playlists.playlists()) {
            if (!playlist.items.isEmpty())
                holding.append(playlist.name);
        }
        QTEST(holding, "holding");
        if (answer == QLatin1String("gig"))
            QCOMPARE(answers.messages.last(), QStringLiteral("A playlist with that name already exists."));
    }

    // The row's "Share" asks for the format of that row's title, clicked or pressed by Space on the
    // table's current cell.
    void shareRow_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("clicked") << false;
        QTest::newRow("Space") << true;
    }

    void shareRow()
    {
        QFETCH(bool, byKey);
        auto window = windowOn(1, {Fixtures::bookmark(books() + "/Book.pdf", 4, "Blue Moon")}, true);
        ModalAnswer cancel(QStringLiteral("Cancel"));
        const int share = BookmarkTableModel::columnOf(LibraryColumns::share);
        if (byKey) {
            tableView(*window)->setFocus();
            tableView(*window)->setCurrentIndex(tableModel(*window)->index(0, share));
            QTest::keyClick(tableView(*window), Qt::Key_Space);
        } else {
            QTest::mouseClick(tableView(*window)->viewport(), Qt::LeftButton, {},
                              cellCentre(*window, 0, share));
        }
        WAIT_COMPARE(cancel.messages, QStringList{QStringLiteral("Share \"Blue Moon\"")});
        QCOMPARE(cancel.buttons.first(), QStringLiteral("PDF|JPEG|Cancel"));
    }

    void doubleClickOpensOnce_data()
    {
        QTest::addColumn<bool>("afterOpening"); // the second press comes once the first click has opened
        QTest::newRow("quick") << false;
        QTest::newRow("slow") << true;
    }

    void doubleClickOpensOnce()
    {
        QFETCH(bool, afterOpening);
        QDir().mkpath(books());
        QVERIFY(QFile::copy(book("joplin-pineapple-rag.pdf"), books() + "/Book.pdf"));
        auto window = windowOn(1, {Fixtures::bookmark(books() + "/Book.pdf", 12, "Twelve")}, true);
        QWidget *viewport = tableView(*window)->viewport();
        const QPoint cell = cellCentre(*window, 0, 4);
        const int before = launchLogLines("Opening PDF viewer");
        // As the window system delivers one: press, release, the second press as a double click.
        QTest::mousePress(viewport, Qt::LeftButton, {}, cell);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, cell);
        if (afterOpening)
            WAIT_COMPARE(launchLogLines("Opening PDF viewer") - before, 1);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, cell);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, cell);
        WAIT_VERIFY(!rowActionPending(*window));
        TestHarness::settleWorkers();
        QCOMPARE(launchLogLines("Opening PDF viewer") - before, 1);
        WAIT_COMPARE(statusField(*window)->text(), "Opened: Book.pdf at page 12");
        QCOMPARE(ViewerParts::openViewers().size(), 1);

        // Past the double-click interval (made short rather than waited for), a click opens the song
        // again.
        const int interval = QApplication::doubleClickInterval();
        const auto restore = qScopeGuard([interval] { QApplication::setDoubleClickInterval(interval); });
        QApplication::setDoubleClickInterval(1);
        {
            // The row's "+" asks for a playlist.
            ModalAnswer cancel(QStringLiteral("Cancel"));
            QTest::mouseClick(viewport, Qt::LeftButton, {}, cellCentre(*window, 0, 0));
            QCOMPARE(cancel.otherDialogs, QStringList{QStringLiteral("newPlaylistPrompt")});
        }
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, cell);
        QVERIFY(!rowActionPending(*window));
        QCOMPARE(launchLogLines("Opening PDF viewer") - before, 1);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, cell);
        WAIT_COMPARE(launchLogLines("Opening PDF viewer") - before, 2);
    }

    // A book found again under the library folder is stored with its new path, and the table keeps
    // the search the user typed. One that is nowhere gives the alert.
    void openingAMovedBookKeepsTheSearch()
    {
        TestHarness::writeFile(books() + "/moved/Book.pdf", "%PDF-1.4");
        BookmarkList rows{Fixtures::bookmark("/gone/Book.pdf", 3, "Blue Moon"),
                          Fixtures::bookmark("/gone/Book.pdf", 5, "Blue Skies"),
                          Fixtures::bookmark("/gone/Other.pdf", 1, "Red")};
        auto window = windowOn(2, rows);
        searchField(*window)->setText(QStringLiteral("blue"));
        window->shownRows().updateFilteredList(QStringLiteral("blue"));
        WAIT_COMPARE(Fixtures::shownRows(window->shownRows()).size(), 2);

        chooseFromRowMenu(*window, 0, QStringLiteral("Open PDF"));
        QCOMPARE(window->library().allBookmarks().at(0).pdfFilePath, books() + "/moved/Book.pdf");
        QCOMPARE(Fixtures::shownRows(window->shownRows()).at(0).pdfFilePath, books() + "/moved/Book.pdf");
        TestHarness::settleWorkers();
        QCOMPARE(shownTitles(*window), (QStringList{"Blue Moon", "Blue Skies"}));
        QCOMPARE(SlotStore::loadSlot(2).at(0).pdfFilePath, books() + "/moved/Book.pdf");

        ModalAnswer answer(QStringLiteral("OK"));
        searchField(*window)->clear();
        window->shownRows().updateFilteredList(QString());
        WAIT_COMPARE(shownTitles(*window).size(), 3);
        chooseFromRowMenu(*window, 2, QStringLiteral("Open PDF"));
        QCOMPARE(answer.messages, QStringList{"File not found"});
        QCOMPARE(answer.informativeTexts, QStringList{"/gone/Other.pdf"});
    }

    void studyModeTakesTheLeftHalf()
    {
        QCOMPARE(WindowPlacement::leftHalf(QRect(10, 30, 1601, 870)), QRect(10, 30, 800, 870));
    }

    // Deleting: the question names the imported file that goes; only the songs picked go; the search
    // stays and the count drops.
    void deletesTheSelectedSongs()
    {
        const QString imported = AppPaths::importLibraryPath() + "/scan.pdf";
        TestHarness::writeFile(imported, "%PDF-1.4");
        const BookmarkList rows{
            Fixtures::bookmark("/b/A.pdf", 1, "Blue One"), Fixtures::bookmark(imported, 1, "Blue Scan"),
            Fixtures::bookmark("/b/A.pdf", 2, "Blue Two"), Fixtures::bookmark("/b/A.pdf", 3, "Red")};
        auto window = windowOn(3, rows);
        searchField(*window)->setText(QStringLiteral("blue"));
        window->shownRows().updateFilteredList(QStringLiteral("blue"));
        WAIT_COMPARE(Fixtures::shownRows(window->shownRows()).size(), 3);
        selectRows(*window, {0, 1});

        // Cancelled: the status line says again what it said before, "Ready" when it said nothing.
        for (const QString &before : {QStringLiteral("Saved."), QString()}) {
            statusField(*window)->setStatus(before);
            ModalAnswer answer(QStringLiteral("Cancel"));
            button(*window, "deleteSelectedButton")->click();
            WAIT_COMPARE(statusField(*window)->text(), before.isEmpty() ? QStringLiteral("Ready") : before);
            QCOMPARE(answer.messages.size(), 1);
        }
        {
            ModalAnswer answer(QStringLiteral("Delete"));
            button(*window, "deleteSelectedButton")->click();
            button(*window, "deleteSelectedButton")->click(); // while the first waits: asks nothing
            QCOMPARE(statusField(*window)->text(), "Checking which imported files other slots still use…");
            // Asked once the other slots were read for the imported file.
            WAIT_COMPARE(answer.messages, QStringList{"Delete 2 selected bookmarks?"});
            QVERIFY(answer.informativeTexts.at(0).startsWith(
                "This removes the selected row(s) from the current slot."));
            QVERIFY(answer.informativeTexts.at(0).endsWith("moved to the trash:\nscan.pdf"));
        }
        QCOMPARE(statusField(*window)->text(), "Deleted 2 selected bookmark(s).");
        QCOMPARE(window->library().allBookmarks().size(), 2);
        QVERIFY(!QFileInfo::exists(imported));
        QVERIFY(selectedRows(*window).isEmpty());
        QCOMPARE(searchField(*window)->text(), "blue");
        WAIT_COMPARE(searchResultsLabel(*window)->text(), "1 results");

        // Nothing selected; the Default slot.
        {
            ModalAnswer answer(QStringLiteral("OK"));
            button(*window, "deleteSelectedButton")->click();
            QCOMPARE(answer.messages, QStringList{"No rows selected"});
        }
        window.reset();
        auto defaults = windowOn(0, rows);
        selectRows(*defaults, {0});
        ModalAnswer answer(QStringLiteral("OK"));
        button(*defaults, "deleteSelectedButton")->click();
        QCOMPARE(answer.informativeTexts,
                 QStringList{"You cannot delete bookmarks in Default. Switch to Slot 1-5."});
        QCOMPARE(defaults->library().allBookmarks().size(), 4);
    }

    // The confirmation names the first five songs and counts the rest; a bookmark of a selected song
    // that the search hides is not deleted with it.
    void deletionTakesOnlyShownSongs_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("titles");
        QTest::newRow("one") << 1 << "Song 0";
        QTest::newRow("seven") << 7 << "Song 0\nSong 1\nSong 2\nSong 3\nSong 4\nand 2 more";
    }

    void deletionTakesOnlyShownSongs()
    {
        QFETCH(int, selected);
        QFETCH(QString, titles);
        const BookmarkEntry hidden = Fixtures::bookmark("/b/A.pdf", 1, "Song 0");
        BookmarkList rows{hidden};
        for (int i = 0; i < 8; ++i) {
            BookmarkEntry song = Fixtures::bookmark("/b/A.pdf", i + 1, QStringLiteral("Song %1").arg(i));
            song.genre = QStringLiteral("Jazz");
            rows.append(song);
        }
        auto window = windowOn(1, rows);
        searchField(*window)->setText(QStringLiteral("jazz"));
        window->shownRows().updateFilteredList(QStringLiteral("jazz"));
        WAIT_COMPARE(Fixtures::shownRows(window->shownRows()).size(), 8);
        QList<int> pick;
        for (int row = 0; row < selected; ++row)
            pick.append(row);
        selectRows(*window, pick);

        ModalAnswer answer(QStringLiteral("Delete"));
        button(*window, "deleteSelectedButton")->click();
        QCOMPARE(answer.informativeTexts,
                 QStringList{"This removes the selected row(s) from the current slot.\n\n" + titles});
        QCOMPARE(window->library().allBookmarks().size(), rows.size() - selected);
        QCOMPARE(window->library().allBookmarks().at(0), hidden);
    }

    // The dialog shows the stored rating and year exactly and writes its values to every row of the
    // title; a rating that is not finite is refused.
    void editDialog()
    {
        BookmarkList rows{Fixtures::bookmark("/b/A.pdf", 1, "Autumn Leaves"),
                          Fixtures::bookmark("/b/B.pdf", 7, "autumn leaves"),
                          Fixtures::bookmark("/b/B.pdf", 9, "Other")};
        rows[0].rating = 4.5;
        rows[0].firstReleaseYear = 1945;
        auto window = windowOn(1, rows);
        selectRows(*window, {0});
        QStringList shown;
        {
            ModalAnswer answer([&shown](QDialog *dialog) {
                auto *edit = static_cast<MetadataEditDialog *>(dialog);
                shown = QStringList{metadataField(edit, QStringLiteral("Year"))->text(),
                                    metadataField(edit, QStringLiteral("Rating (0-5)"))->text()};
                metadataField(edit, QStringLiteral("Genre"))->setText(QStringLiteral(" Jazz "));
                edit->accept();
            });
            table(*window)->editSelectedMetadata();
        }
        QCOMPARE(shown, (QStringList{"1945", "4.5"}));
        QCOMPARE(statusField(*window)->text(), "Metadata updated for 2 matching title(s)");
        QCOMPARE(window->library().allBookmarks().at(1).genre, "Jazz");
        QCOMPARE(window->library().allBookmarks().at(1).rating, std::optional(4.5));
        QCOMPARE(window->library().allBookmarks().at(2).genre, "");

        ModalAnswer refuse([](QDialog *dialog) {
            if (auto *edit = qobject_cast<MetadataEditDialog *>(dialog)) {
                metadataField(edit, QStringLiteral("Rating (0-5)"))->setText(QStringLiteral("inf"));
                edit->accept();
            } else {
                dialog->reject();
            }
        });
        table(*window)->editSelectedMetadata();
        WAIT_COMPARE(window->library().allBookmarks().at(0).rating, std::optional(4.5));
        QCOMPARE(window->library().allBookmarks().at(0).genre, "Jazz");
    }

    // The web searches take the first row as the table shows it, its "&" and "?" kept in the text and
    // its blanks as stored.
    void webSearchForTheFirstRow()
    {
        OpenedUrls opened;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &opened, "open");
        auto window = windowOn(1, {Fixtures::bookmark("/b/A.pdf", 1, "Zebra"),
                                   Fixtures::bookmark("/b/A.pdf", 2, "Rock & Roll? ")});
        selectRows(*window, {0});
        Q_EMIT tableView(*window)->horizontalHeader()->sectionClicked(2);
        child<QToolButton>(*window, QStringLiteral("searchYoutubeButton"))->click();
        child<QToolButton>(*window, QStringLiteral("searchSpotifyButton"))->click();
        QCOMPARE(opened.urls.size(), 2);
        QCOMPARE(opened.urls.at(0).toString(QUrl::FullyEncoded),
                 "https://www.youtube.com/results?search_query=Rock%20%26%20Roll%3F%20");
        QCOMPARE(opened.urls.at(1).toString(QUrl::FullyEncoded),
                 "https://open.spotify.com/search/Rock%20%26%20Roll%3F%20");

        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }

    // The built-in list against a folder becomes the Default slot; a bad list changes nothing and says
    // why; a missing list is named.
    void loadsTheBuiltInList()
    {
        TestHarness::writeFile(books() + "/deep/Real Book.PDF", "%PDF-1.4");
        const QByteArray good =
            R"([{"PdfFileName":"real book.pdf","PdfFilePath":"/orig/real book.pdf","PageNumber":5,"Title":"One","Level":0},
                      {"PdfFileName":"Gone.pdf","PdfFilePath":"/orig/Gone.pdf","PageNumber":1,"Title":"Two","Level":0}])";
        const QByteArray bad =
            R"([{"PdfFileName":"a.pdf","PdfFilePath":"/a.pdf","PageNumber":1,"Title":"T"}])";
        auto window = windowOn(3, {Fixtures::bookmark("/b/A.pdf", 1, "Mine")});
        TestHarness::writeFile(SlotStore::metaFilePath(), R"({"activeSlot":3,"slotNames":{"2":"Band"}})");
        customModeToggle(*window)->setChecked(true);
        // The tile asks for the folder of books, then loads the list the program ships.
        const QString resources = TestHarness::home() + "/resources";
        BundledResources::setRootForTesting(resources);
        const auto restore = qScopeGuard([] { BundledResources::setRootForTesting({}); });
        const auto pressWithList = [&](const QByteArray &list) {
            if (!list.isNull())
                TestHarness::writeFile(resources + "/Bundled/DefaultBookmarks.json", list);
            auto answer = std::make_unique<ModalAnswer>(QStringLiteral("OK"), [](QDialog *dialog) {
                auto *files = static_cast<QFileDialog *>(dialog);
                files->setDirectory(books());
                static_cast<QDialog *>(files)->accept(); // the file dialog's own check of the choice
            });
            pressTile(*window, "defaultBookmarksTile");
            return answer;
        };

        QCOMPARE(pressWithList(QByteArray())->messages, QStringList{"Default bookmarks not found"});
        {
            const auto answer = pressWithList(bad);
            WAIT_COMPARE(statusField(*window)->text(), "Failed to load defaults");
            QCOMPARE(answer->messages, QStringList{"Failed to load default bookmarks"});
            QVERIFY(answer->informativeTexts.at(0).contains("Level"));
        }
        QCOMPARE(window->library().currentSlotId(), 3);
        QCOMPARE(window->library().allBookmarks().at(0).title, "Mine");
        QCOMPARE(child<QLineEdit>(*window, "folderPathField")->text(), books());

        // Shown once, as every new library is, with the folder it was matched against.
        QSignalSpy resets(tableModel(*window), &QAbstractItemModel::modelReset);
        pressWithList(good);
        WAIT_COMPARE(statusField(*window)->text(), "Loaded 2 default bookmarks");
        QCOMPARE(resets.size(), 1);
        QCOMPARE(shownTitles(*window), (QStringList{"One", "Two"}));
        QCOMPARE(searchResultsLabel(*window)->text(), "2 results");
        QCOMPARE(child<QLineEdit>(*window, "folderPathField")->text(), books());
        QVERIFY(button(*window, "extractButton")->isEnabled());
        QCOMPARE(window->library().currentSlotId(), 0);
        QVERIFY(!customModeToggle(*window)->isChecked());
        QVERIFY(ringed(slotTile(*window, 0)));
        const BookmarkList loaded = SlotStore::loadSlot(0);
        QCOMPARE(loaded.at(0).pdfFilePath, books() + "/deep/Real Book.PDF");
        QCOMPARE(loaded.at(1).pdfFilePath, "/orig/Gone.pdf");
        const auto meta = SlotStore::loadMeta();
        QCOMPARE(meta->activeSlot, 0);
        QCOMPARE(meta->slotNames.value(2), "Band");
        QCOMPARE(SlotStore::loadSlot(3).at(0).title, "Mine");
    }

    void listenResults_data()
    {
        using Result = SongRecognitionResult;
        QTest::addColumn<Result>("result");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("searchText"); // in the field and on the clipboard afterwards
        QTest::addColumn<QStringList>("alert");  // message, informative text, buttons
        QTest::addColumn<QStringList>("dialogs");

        const QString usedUp = QStringLiteral("The recognition service's free requests are used up.");
        TestHarness::partRow("title and artist")
            << Result::success(" Blue Bossa\n", "Kenny Dorham ") << "Identified: Blue Bossa — Kenny Dorham"
            << "Blue Bossa" << QStringList() << QStringList();
        TestHarness::partRow("title alone") << Result::success("Blue Bossa", "") << "Identified: Blue Bossa"
                                            << "Blue Bossa" << QStringList() << QStringList();
        TestHarness::partRow("artist alone")
            << Result::success(" ", "Kenny Dorham") << "Identified:  — Kenny Dorham"
            << "before" << QStringList() << QStringList();
        TestHarness::partRow("neither") << Result::success("", "") << "Identified a match."
                                        << "before" << QStringList() << QStringList();
        TestHarness::partRow("no match")
            << Result::noMatch() << "No match found. Try again with a clearer sample."
            << "before" << QStringList() << QStringList();
        TestHarness::partRow("failure")
            << Result::failure("Recognition timed out.") << "Listen failed: Recognition timed out."
            << "before" << QStringList{"Listen failed", "Recognition timed out.", "OK"} << QStringList();
        TestHarness::partRow("failure a token mends")
            << Result::failure(usedUp, true) << "Listen failed: " + usedUp << "before"
            << QStringList{"Listen failed", usedUp, "Enter Token…|OK"}
            << QStringList{"recognitionTokenDialog"};
    }

    // What a run's result shows: the song found goes into the search, which filters the library, and
    // onto the clipboard; a failure is told in an alert as well. The tile comes back in every case.
    void listenResults()
    {
        QFETCH(SongRecognitionResult, result);
        QFETCH(QString, status);
        QFETCH(QString, searchText);
        QFETCH(QStringList, alert);
        QFETCH(QStringList, dialogs);
        auto window = windowOn(3, {Fixtures::bookmark("/b/A.pdf", 1, "Blue Bossa"),
                                   Fixtures::bookmark("/b/A.pdf", 2, "Autumn Leaves")});
        searchField(*window)->setText(QStringLiteral("before"));
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        listenButton(*window)->parentWidget()->setEnabled(false);

        ModalAnswer answer(QStringLiteral("Enter Token…"));
        window->findChild<ListenFlow *>()->showResult(result);
        QCOMPARE(statusField(*window)->text(), status);
        QCOMPARE(searchField(*window)->text(), searchText);
        QCOMPARE(QGuiApplication::clipboard()->text(), searchText);
        QVERIFY(listenButton(*window)->isEnabled());
        if (searchText == "Blue Bossa")
            WAIT_COMPARE(shownTitles(*window), QStringList{"Blue Bossa"});
        QCOMPARE(answer.messages + answer.informativeTexts + answer.buttons, alert);
        QCOMPARE(answer.otherDialogs, dialogs);
    }

    // A run from the tile: the first asks before any recording leaves the computer; the tile is off
    // and the status tells the user to play the song until the result comes (here: the microphone
    // chosen in the settings is gone).
    void listenRun()
    {
        AppSettings::setValue(AppSettings::listenMicrophoneUidKey, QStringLiteral("gone-microphone"));
        AppSettings::remove(AppSettings::recognitionUploadConfirmedKey);
        auto window = windowOn(3, {});
        const QString before = statusField(*window)->text();
        {
            ModalAnswer answer(QStringLiteral("Cancel"));
            window->findChild<ListenFlow *>()->start();
            QCOMPARE(answer.messages, QStringList{"Send a recording to identify the song?"});
        }
        QCOMPARE(statusField(*window)->text(), before);
        QVERIFY(listenButton(*window)->isEnabled());
        QVERIFY(!AppSettings::contains(AppSettings::recognitionUploadConfirmedKey));

        for (const char *consent : {"Send and Listen", "asked no more"}) {
            ModalAnswer answer(QString::fromLatin1(consent));
            listenButton(*window)->parentWidget()->setFocus();
            window->findChild<ListenFlow *>()->start();
            QVERIFY(!listenButton(*window)->isEnabled());
            QCOMPARE(statusField(*window)->text(), "Listening... hold your song near the microphone.");
            WAIT_VERIFY(listenButton(*window)->isEnabled());
            QCOMPARE(window->focusWidget(), listenButton(*window)->parentWidget());
            const QString failure = QStringLiteral(
                "Selected microphone is not available. Choose another microphone in Settings.");
            QCOMPARE(statusField(*window)->text(), "Listen failed: " + failure);
            QCOMPARE(answer.messages.last(), "Listen failed");
            QCOMPARE(answer.informativeTexts.last(), failure);
            QCOMPARE(answer.messages.size(), consent == QLatin1String("Send and Listen") ? 2 : 1);
        }
        QVERIFY(AppSettings::boolValue(AppSettings::recognitionUploadConfirmedKey));
        AppSettings::remove(AppSettings::listenMicrophoneUidKey);
    }
    // F10 opens the first menu of the menu bar wherever the focus is; Escape closes it.
    void f10OpensTheMenus()
    {
        OpenWindow main;
        main.show();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main, TestHarness::hangGuardMs));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
        WAIT_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
        QCOMPARE(static_cast<QMenu *>(QApplication::activePopupWidget())->title(),
                 main.menuBar()->actions().constFirst()->text());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        WAIT_VERIFY(!QApplication::activePopupWidget());
    }

    // A user without a mouse: Tab from the window's first focus reaches each of its controls that must
    // be reached, and for another window Space on its tile in the main window opens it first. Each button
    // and tile it reaches has a name a screen reader can say, also those that show a picture alone.
    void tabReachesTheControls_data()
    {
        QTest::addColumn<QString>("tile");
        QTest::addColumn<QStringList>("controls");
        QTest::newRow("main window") << QString() << QStringList{"folderPathField",      "settingsButton",
                                                                 "extractBookmarksTile", "slotTile5",
                                                                 "playlistsTile",        "searchField",
                                                                 "deleteSelectedButton", "libraryTable",
                                                                 "libraryTableHeader",   "statusCancelButton",
                                                                 "lyrafoldHelpButton"};
        QTest::newRow("workshop") << "bookmarkWorkshopTile"
                                  << QStringList{"workshopTab1",         "workshopImportImagesButton",
                                                 "workshopDeleteButton", "workshopSelectNoneButton",
                                                 "workshopGrid",         "lyrafoldHelpButton"};
        QTest::newRow("custom files")
            << "customFilesTile" << QStringList{"customFilesList", "customFilesDeleteButton"};
        QTest::newRow("auto playlist") << "autoPlaylistTile"
                                       << QStringList{"titlesField", "yearRangeSlider", "resultsTable",
                                                      "closeButton", "lyrafoldHelpButton"};
        QTest::newRow("playlists") << "playlistsTile"
                                   << QStringList{"playlistTable", "createPlaylistButton",
                                                  "lyrafoldHelpButton"};
    }

    void tabReachesTheControls()
    {
        QFETCH(QString, tile);
        QFETCH(QStringList, controls);
        OpenWindow main;
        main.show();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main, TestHarness::hangGuardMs));
        // Shown while an extraction can be stopped.
        child<QPushButton>(main, QStringLiteral("statusCancelButton"))->show();
        QWidget *window = &main;
        if (!tile.isEmpty()) {
            auto *target = child<QWidget>(main, tile);
            for (int step = 0; step < 100 && QApplication::focusWidget() != target; ++step)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), target);
            QTest::keyClick(target, Qt::Key_Space);
            WAIT_VERIFY(QApplication::activeWindow() && QApplication::activeWindow() != &main);
            window = QApplication::activeWindow();
        }
        QStringList reached;
        for (int step = 0; step < 100; ++step) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus && focus->window() == window);
            reached.append(focus->objectName());
            if (qobject_cast<QAbstractButton *>(focus) || qobject_cast<TileView *>(focus))
                QVERIFY2(!QAccessible::queryAccessibleInterface(focus)->text(QAccessible::Name).isEmpty(),
                         qPrintable(focus->objectName()));
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        for (const QString &control : controls)
            QVERIFY2(reached.contains(control), qPrintable(control));
        if (window != &main)
            window->close();
    }
};

LYRAFOLD_TEST_GUI_MAIN(MainWindowActionsTest)
#include "tst_mainwindowactions.moc"
