#include "Fixtures.h"
#include "MainWindowParts.h"
#include "ModalAnswer.h"
#include "OpenWindow.h"
#include "PdfFixtures.h"
#include "TestHarnessGui.h"
#include "ViewerParts.h"
#include "core/common/Hop.h"
#include "core/common/NotificationBus.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/slotfiles/SlotStore.h"
#include "pdf/extract/BookmarkExtractionRun.h"
#include "pdf/extract/PdfBookmarkExtractor.h"
#include "pdf/import/ImagePdfImportService.h"
#include "ui/app/AppContext.h"
#include "ui/common/AccessTokenDialog.h"
#include "ui/common/AddToPlaylistDialogs.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/StatusLine.h"
#include "ui/extract/BookmarkExtractionFlow.h"
#include "ui/extract/ExtractionPrompts.h"
#include "ui/import/BookmarkedPdfRowsModel.h"
#include "ui/import/ImagePdfImportDialogs.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTableView>
#include <QThreadPool>
#include <QTimer>

#include <memory>

namespace {

using namespace MainWindowParts;
using Step = ModalAnswer::Step;

QString folder()
{
    return TestHarness::home() + QStringLiteral("/Fakebooks");
}

BookmarkList oldRows()
{
    return {Fixtures::bookmark(QStringLiteral("/old/Old.pdf"), 1, QStringLiteral("Old song"))};
}

// The window on slot 1 with one song; slot 2 holds one song too. With a folder, the slots remember it.
std::unique_ptr<OpenWindow> openWindow(const QString &libraryFolder = {})
{
    TestHarness::writeFile(SlotStore::metaFilePath(), R"({"activeSlot":1,"slotNames":{}})");
    if (!SlotStore::saveSlot(1, oldRows(), libraryFolder) || !SlotStore::saveSlot(2, oldRows(), QString()))
        qFatal("cannot write the slots");
    return std::make_unique<OpenWindow>();
}

QString status(const MainWindowController &window)
{
    return statusField(window)->text();
}

Step chooseFolder(const QString &path)
{
    return [path](QDialog *dialog) {
        auto *panel = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(panel);
        panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog *>(panel)->accept();
    };
}

Step press(const QString &button)
{
    return [button](QDialog *dialog) { ModalAnswer::press(dialog, button); };
}

// The slot prompt: slot and name chosen, the note about the slot's bookmarks kept in note.
Step slotPrompt(int slot, const QString &name, QString *note = nullptr)
{
    return [=](QDialog *dialog) {
        QCOMPARE(dialog->objectName(), "extractionSlotPrompt");
        dialog->findChild<QComboBox *>(QStringLiteral("extractionSlotPopup"))->setCurrentIndex(slot - 1);
        dialog->findChild<QLineEdit *>(QStringLiteral("extractionSlotNameField"))->setText(name);
        if (note)
            *note = dialog->findChild<QLabel *>(QStringLiteral("extractionSlotNote"))->text();
        ModalAnswer::press(dialog, QStringLiteral("OK"));
    };
}

QStringList titles(const LibraryRows &rows)
{
    QStringList list;
    for (const BookmarkEntry &row : rows)
        list.append(row.title);
    return list;
}

void dragOnto(QWidget *area, const QList<QUrl> &urls, bool *accepted, bool drop)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &enter);
    *accepted = enter.isAccepted();
    if (!drop)
        return;
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &dropped);
}

} // namespace

class LibraryWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        PdfFixtures::writeSongbook(folder() + QStringLiteral("/sub/A.pdf"),
                                   {QStringLiteral("Alpha"), QStringLiteral("Beta")});
        QDir().mkpath(TestHarness::home() + QStringLiteral("/Empty"));
    }

    void init()
    {
        LibrarySession::waitForPendingSaves();
        TestHarness::clearUserFiles();
    }

    void cleanup()
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *viewer = qobject_cast<PdfViewerWindowController *>(window))
                viewer->close();
        }
        LibrarySession::waitForPendingSaves();
    }

    // The folder, then the slot (whose bookmarks the prompt names), then the one question before a filled
    // slot is replaced: the run ends on that slot, named, with the folder's songs, still searched for what
    // the search field holds. The question says the slot is rebuilt only when the folder is the one the
    // slot was built from, and counts the titles the books do not give back (imported, merged in), which
    // go; from any other folder its bookmarks are lost, and it says so.
    void extractsIntoTheChosenSlot_data()
    {
        QTest::addColumn<bool>("reextract"); // "Re-extract folder" on slot 2; else a new folder from slot 1
        QTest::addColumn<QString>("typedFolder");   // in the folder field first
        QTest::addColumn<QString>("storedFolder");  // of slot 2
        QTest::addColumn<BookmarkList>("slotRows"); // of slot 2
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("informative");
        const QString rebuild = QStringLiteral("Rebuild Slot 2 from the books?");
        const QString clear = QStringLiteral("Clear Slot 2?");
        const QString rebuilt =
            QStringLiteral("Its one bookmark is rebuilt from the books in the folder; the "
                           "metadata of every title found again is kept");
        const QString oneOutside =
            QStringLiteral("1 bookmark of Slot 2 is not in the books as it is stored (renamed, imported, or "
                           "outside the folder) and will be removed with its metadata.");
        const QString cleared = QStringLiteral("The one bookmark in this slot will be removed from disk.");
        const QString imports = TestHarness::home() + QStringLiteral("/Documents/PDFs/");
        const BookmarkList withImports{
            Fixtures::bookmark(folder() + QStringLiteral("/sub/A.pdf"), 1, QStringLiteral("Alpha")),
            Fixtures::bookmark(imports + QStringLiteral("Lead Sheets.pdf"), 1, QStringLiteral("Imported")),
            Fixtures::bookmark(imports + QStringLiteral("Custom Singles/Scan.pdf"), 1,
                               QStringLiteral("Scan"))};
        QTest::newRow("new extraction, the slot's folder through a link")
            << false << QString() << TestHarness::home() + QStringLiteral("/Link to Fakebooks/") << oldRows()
            << rebuild << "Rebuild" << oneOutside;
        QTest::newRow("new extraction, another folder")
            << false << QString() << QString() << oldRows() << clear << "Clear" << cleared;
        QTest::newRow("re-extract, the slot's own folder")
            << true << QString() << folder() << oldRows() << rebuild << "Rebuild" << oneOutside;
        QTest::newRow("re-extract, another folder typed")
            << true << folder() << TestHarness::home() + QStringLiteral("/Empty") << oldRows() << clear
            << "Clear" << cleared;
        QTest::newRow("re-extract, two imported titles beside one of the folder")
            << true << QString() << folder() << withImports << rebuild << "Rebuild"
            << QStringLiteral("2 bookmarks of Slot 2 are not in the books as they are stored (renamed, "
                              "imported, or outside the folder) and will be removed with their metadata. "
                              "The other one is rebuilt from the books in the folder with its metadata.");
        QTest::newRow("re-extract, only titles of the folder")
            << true << QString() << folder() << withImports.mid(0, 1) << rebuild << "Rebuild"
            << rebuilt + QLatin1Char('.');
    }

    void extractsIntoTheChosenSlot()
    {
        QFETCH(bool, reextract);
        QFETCH(QString, typedFolder);
        QFETCH(QString, storedFolder);
        QFETCH(BookmarkList, slotRows);
        QFETCH(QString, question);
        QFETCH(QString, answer);
        QFETCH(QString, informative);
        QFile::link(folder(), TestHarness::home() + QStringLiteral("/Link to Fakebooks"));
        TestHarness::writeFile(
            SlotStore::metaFilePath(),
            QStringLiteral(R"({"activeSlot":%1,"slotNames":{}})").arg(reextract ? 2 : 1).toUtf8());
        QVERIFY(SlotStore::saveSlot(1, oldRows(), QString()));
        QVERIFY(SlotStore::saveSlot(2, slotRows, storedFolder));
        OpenWindow window;
        if (!typedFolder.isEmpty()) {
            auto *field = child<QLineEdit>(window, "folderPathField");
            field->setText(typedFolder);
            field->setModified(true);
            Q_EMIT field->editingFinished();
        }
        // The search runs again over the slot's new rows; the pause kept for someone still typing is no
        // part of this test.
        child<QTimer>(window, "searchDebounceTimer")->setInterval(0);
        child<QLineEdit>(window, "searchField")->setText(QStringLiteral("alph"));
        QString note;
        const QString name = reextract ? QString() : QStringLiteral("Gig");
        ModalAnswer answers(
            reextract ? QList<Step>{press("Re-extract folder"), slotPrompt(2, name, &note),
                                    press("Extract all PDFs (1)"), press(answer)}
                      : QList<Step>{chooseFolder(folder()), slotPrompt(2, name, &note), press(answer)});
        window.flows().extractBookmarks(window.sink());
        WAIT_COMPARE(status(window), "Extracted 2 bookmarks from 1 PDF(s)");
        // A summary longer than the line shows whole as its tool tip.
        QCOMPARE(statusField(window)->toolTip(), status(window));
        QCOMPARE(note, QStringLiteral("Slot 2 holds %1 bookmark(s).").arg(slotRows.size()) +
                           (reextract ? "" : " A full extraction replaces them."));
        QCOMPARE(answers.messages.last(), question);
        QCOMPARE(answers.informativeTexts.last(), informative);
        QCOMPARE(window.library().currentSlotId(), 2);
        QVERIFY(ringed(slotTile(window, 2)));
        QCOMPARE(slotTile(window, 2)->numberField()->text(), reextract ? "Slot 2" : "Gig");
        QCOMPARE(titles(window.library().allBookmarks()), (QStringList{"Alpha", "Beta"}));
        QCOMPARE(child<QLineEdit>(window, "searchField")->text(), "alph");
        WAIT_COMPARE(tableModel(window)->rowCount(), 1);
        QCOMPARE(child<QLineEdit>(window, "folderPathField")->text(), folder());
        QVERIFY(customModeToggle(window)->isChecked());
        QVERIFY(button(window, "extractButton")->isEnabled());
    }

    // A full run from the slot's own folder asks once the books are read, and counts every title they do
    // not give back as they are stored: whose book lies elsewhere, whose book has no outline (an imported
    // PDF, a picture book), whose title is not the outline's (renamed in the table, typed at an import).
    // Those go with their metadata, as many as it said; every other title keeps its own. Cancel changes
    // nothing; a run of some of the books asks nothing; every book ticked is a full run. The question comes
    // at a moment the user did not choose: keys typed as it shows (a search's Space, a field's Return) do
    // not answer it; then Return and Space answer Cancel, as Escape, the close box and a quit do. It is not
    // asked while a quit is under way; a quit taken back asks it then.
    void rebuildCountsWhatItRemoves_data()
    {
        QTest::addColumn<QStringList>("added"); // to the slot beside the two songs of Book.pdf
        QTest::addColumn<QString>("ticked");    // the books chosen; empty: "Extract all PDFs"
        QTest::addColumn<QString>("typed");     // a key typed as the question shows
        QTest::addColumn<QString>("answer");    // to the question: a button, a key, the close box, a quit
        QTest::addColumn<QStringList>("gone");  // empty also when none is asked
        const QStringList all{"outside", "outline-less PDF", "picture book", "renamed", "typed single"};
        const QStringList allGone{"Alpha (slow)", "Blue Night",   "Elsewhere",
                                  "Lead sheet 1", "Lead sheet 2", "Plain"};
        const QString none; // no book ticked, no key typed, no question
        QTest::newRow("a title outside the folder")
            << QStringList{"outside"} << none << none << "Rebuild" << QStringList{"Elsewhere"};
        QTest::newRow("an outline-less PDF imported into the folder")
            << QStringList{"outline-less PDF"} << none << none << "Rebuild" << QStringList{"Plain"};
        QTest::newRow("a picture book saved in it")
            << QStringList{"picture book"} << none << none << "Rebuild"
            << QStringList{"Lead sheet 1", "Lead sheet 2"};
        QTest::newRow("a title renamed in the table")
            << QStringList{"renamed"} << none << none << "Rebuild" << QStringList{"Alpha (slow)"};
        QTest::newRow("a single imported with a typed title")
            << QStringList{"typed single"} << none << none << "Rebuild" << QStringList{"Blue Night"};
        QTest::newRow("all together") << all << none << none << "Rebuild" << allGone;
        QTest::newRow("all together, cancelled") << all << none << none << "Cancel" << QStringList{};
        QTest::newRow("all together, Space as it shows, then Return")
            << all << none << QStringLiteral("Space") << "Return" << QStringList{};
        QTest::newRow("all together, Return as it shows, then Space")
            << all << none << QStringLiteral("Return") << "Space" << QStringList{};
        QTest::newRow("all together, a letter as it shows, then Escape")
            << all << none << QStringLiteral("n") << "Escape" << QStringList{};
        QTest::newRow("all together, the close box") << all << none << none << "close box" << QStringList{};
        QTest::newRow("all together, a quit while it shows")
            << all << none << none << "quit" << QStringList{};
        QTest::newRow("all together, a quit begun as the books are read, then taken back")
            << all << none << none << "quit first" << QStringList{};
        QTest::newRow("all together, every book ticked")
            << all << QStringLiteral("*") << none << "Rebuild" << allGone;
        QTest::newRow("all together, one book ticked")
            << all << QStringLiteral("Book.pdf") << none << none << QStringList{"Alpha (slow)"};
    }

    void rebuildCountsWhatItRemoves()
    {
        QFETCH(QStringList, added);
        QFETCH(QString, ticked);
        QFETCH(QString, typed);
        QFETCH(QString, answer);
        QFETCH(QStringList, gone);
        const QString books = TestHarness::home() + QStringLiteral("/Rebuilt");
        const QString elsewhere = TestHarness::home() + QStringLiteral("/Elsewhere");
        QDir(books).removeRecursively();
        PdfFixtures::writeSongbook(books + QStringLiteral("/Book.pdf"),
                                   {QStringLiteral("Alpha"), QStringLiteral("Beta")});
        BookmarkList rows{Fixtures::bookmark(books + QStringLiteral("/Book.pdf"), 1, QStringLiteral("Alpha")),
                          Fixtures::bookmark(books + QStringLiteral("/Book.pdf"), 2, QStringLiteral("Beta"))};
        if (added.contains("renamed"))
            rows[0].title = QStringLiteral("Alpha (slow)");
        if (added.contains("outside"))
            rows.append(
                Fixtures::bookmark(elsewhere + QStringLiteral("/Other.pdf"), 1, QStringLiteral("Elsewhere")));
        // Imported into the folder as the import makes them.
        const auto import = [&](const QStringList &files, const QStringList &titles, bool asBook) {
            const auto made = ImagePdfImportService::importFiles(
                files, QStringLiteral("Lead Sheets"), titles, QStringLiteral("Lead Sheets"), books, asBook);
            QVERIFY(made);
            rows += made.value().bookmarks;
        };
        if (added.contains("outline-less PDF")) {
            PdfFixtures::writeSongbook(elsewhere + QStringLiteral("/Plain.pdf"), {});
            import({elsewhere + QStringLiteral("/Plain.pdf")}, {}, false);
        }
        if (added.contains("picture book")) {
            QStringList pictures;
            for (const QString &name : {QStringLiteral("Lead sheet 1"), QStringLiteral("Lead sheet 2")}) {
                pictures.append(elsewhere + QLatin1Char('/') + name + QStringLiteral(".png"));
                QImage image(60, 80, QImage::Format_RGB32);
                image.fill(Qt::white);
                QVERIFY(image.save(pictures.last()));
            }
            import(pictures, {}, true);
        }
        if (added.contains("typed single")) {
            // Its outline calls it "One".
            PdfFixtures::writeSongbook(elsewhere + QStringLiteral("/tune.pdf"), {QStringLiteral("One")});
            import({elsewhere + QStringLiteral("/tune.pdf")}, {QStringLiteral("Blue Night")}, false);
        }
        for (BookmarkEntry &row : rows)
            row.genre = QStringLiteral("Folk");
        TestHarness::writeFile(SlotStore::metaFilePath(), R"({"activeSlot":2,"slotNames":{}})");
        QVERIFY(SlotStore::saveSlot(2, rows, books));
        OpenWindow window;

        const qsizetype pdfs = QDir(books).entryList({QStringLiteral("*.pdf")}).size();
        QList<Step> steps{press("Re-extract folder"), slotPrompt(2, {})};
        if (ticked.isEmpty()) {
            steps.append(
                [&, extractAll = QStringLiteral("Extract all PDFs (%1)").arg(pdfs)](QDialog *dialog) {
                    // The run's reads wait until the test has joined it.
                    if (answer == "quit first")
                        Hop::holdLandingsForTesting();
                    ModalAnswer::press(dialog, extractAll);
                });
        } else {
            steps.append(press("Choose which books to extract"));
            steps.append([ticked](QDialog *dialog) {
                auto *list = dialog->findChild<QListWidget *>(QStringLiteral("bookChooserList"));
                QVERIFY(list);
                for (int i = 0; i < list->count(); ++i) {
                    if (ticked == "*" || list->item(i)->text() == ticked)
                        list->item(i)->setCheckState(Qt::Checked);
                }
                ModalAnswer::press(dialog, QStringLiteral("Extract selected"));
            });
        }
        // The keys a user types meanwhile: none answers the question until the test ends the wait.
        LyrafoldAlert::setKeyGuardForTesting(std::chrono::hours(1));
        const auto keysAgain =
            qScopeGuard([] { LyrafoldAlert::setKeyGuardForTesting(std::chrono::seconds(1)); });
        const auto key = [](QWidget *to, const QString &name) {
            if (name == "Space" || name == "Return" || name == "Escape")
                QTest::keyClick(to, name == "Space"    ? Qt::Key_Space
                                    : name == "Return" ? Qt::Key_Return
                                                       : Qt::Key_Escape);
            else
                QTest::keyClick(to, name.at(0).toLatin1());
        };
        // The system asks the application to end the moment the run has planned the rebuild; the quit is
        // taken back (Cancel in its alert) while the question waits: it comes then.
        const auto landings = qScopeGuard([] { Hop::releaseLandingsForTesting(); });
        BookmarkExtractionRun *run = nullptr;
        bool quitTakenBack = false;
        QTimer quit;
        QObject::connect(&quit, &QTimer::timeout, [&] {
            if (!run) {
                run = window.extraction()->findChild<BookmarkExtractionRun *>();
                if (!run)
                    return;
                QObject::connect(run, &BookmarkExtractionRun::rebuildPlanned,
                                 [] { Q_EMIT NotificationBus::instance().quitting(); });
                Hop::releaseLandingsForTesting();
            } else if (window.library().landings().holding()) {
                quit.stop();
                quitTakenBack = true;
                Q_EMIT NotificationBus::instance().quitCancelled();
            }
        });
        if (answer == "quit first")
            quit.start(10);
        if (!answer.isEmpty())
            steps.append([&, typed, answer](QDialog *question) {
                if (answer == "quit first") {
                    const bool afterTheQuit = quitTakenBack;
                    ModalAnswer::press(question, QStringLiteral("Cancel"));
                    QVERIFY(afterTheQuit);
                    return;
                }
                WAIT_VERIFY(QApplication::activeWindow() == question);
                if (!typed.isEmpty()) {
                    key(QApplication::focusWidget(), typed);
                    QVERIFY(question->isVisible());
                    QCOMPARE(window.library().allBookmarks().toList(), rows);
                }
                LyrafoldAlert::setKeyGuardForTesting(std::chrono::milliseconds(0));
                if (answer == "close box") {
                    question->close();
                } else if (answer == "quit") {
                    Q_EMIT NotificationBus::instance().quitting();
                    const bool closed = !question->isVisible();
                    if (!closed)
                        question->reject();
                    Q_EMIT NotificationBus::instance().quitCancelled();
                    QVERIFY(closed);
                } else if (answer == "Rebuild" || answer == "Cancel") {
                    ModalAnswer::press(question, answer);
                } else {
                    key(QApplication::focusWidget(), answer);
                }
            });
        ModalAnswer answers(steps);
        window.flows().extractBookmarks(window.sink());
        WAIT_VERIFY_WITH_TIMEOUT(answers.stepsLeft() == 0 && !window.extraction()->isBusy(), 30000);

        // Asked once, after the read, of the rows the run replaced and those it did not give back.
        const QString question = QStringLiteral("Rebuild Slot 2 from the books?");
        QCOMPARE(answers.messages.count(question), answer.isEmpty() ? 0 : 1);
        if (answer == "Rebuild") {
            SlotClearPlan told = window.context.librarySlots().planClearSlot(2, rows.size());
            told.bookmarksLost = gone.size();
            QCOMPARE(answers.informativeTexts.last(), told.rebuildInformativeText());
        }
        if (!answer.isEmpty() && answer != "Rebuild") {
            QCOMPARE(status(window), "Extraction cancelled; nothing was changed.");
            QCOMPARE(window.library().allBookmarks().toList(), rows);
            QCOMPARE(SlotStore::loadSlot(2), rows);
            return;
        }
        // What went is what the question counted: the rows whose identity key did not come back. Every
        // row that came back kept its metadata.
        QSet<QString> before;
        for (const BookmarkEntry &row : std::as_const(rows))
            before.insert(row.id());
        QSet<QString> after;
        for (const BookmarkEntry &row : window.library().allBookmarks()) {
            after.insert(row.id());
            QCOMPARE(row.genre, before.contains(row.id()) ? "Folk" : "");
        }
        QStringList went;
        for (const BookmarkEntry &row : std::as_const(rows)) {
            if (!after.contains(row.id()))
                went.append(row.title);
        }
        went.sort();
        QCOMPARE(went, gone);
    }

    // Every way out before a run completes leaves the window on its slot with its rows, and the slot
    // meant for the run as it was.
    void earlyExitsChangeNothing_data()
    {
        QTest::addColumn<QString>("libraryFolder"); // the folder the window starts with
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QString>("status");
        const QString empty = TestHarness::home() + QStringLiteral("/Empty");
        QTest::newRow("slot prompt cancelled")
            << QString() << QList<Step>{chooseFolder(folder()), press("Cancel")} << "Ready";
        QTest::newRow("no PDF") << QString() << QList<Step>{chooseFolder(empty), slotPrompt(2, {})}
                                << "No PDF files found";
        QTest::newRow("replacing refused")
            << QString() << QList<Step>{chooseFolder(folder()), slotPrompt(2, {}), press("Cancel")} << "";
        QTest::newRow("cancel in extract all or choose")
            << folder() << QList<Step>{press("Re-extract folder"), slotPrompt(2, {}), press("Cancel")} << "";
        QTest::newRow("no book ticked")
            << folder()
            << QList<Step>{press("Re-extract folder"), slotPrompt(2, {}),
                           press("Choose which books to extract"), press("Extract selected")}
            << "";
    }

    void earlyExitsChangeNothing()
    {
        QFETCH(QString, libraryFolder);
        QFETCH(QList<Step>, steps);
        QFETCH(QString, status);
        const auto window = openWindow(libraryFolder);
        statusField(*window)->setText(QStringLiteral("Ready"));
        {
            ModalAnswer answers(steps);
            window->flows().extractBookmarks(window->sink());
            WAIT_VERIFY(!window->extraction()->isBusy());
            QCOMPARE(answers.stepsLeft(), 0);
        }
        QCOMPARE(::status(*window), status);
        QCOMPARE(window->library().currentSlotId(), 1);
        QVERIFY(ringed(slotTile(*window, 1)));
        QCOMPARE(window->library().allBookmarks().toList(), oldRows());
        QCOMPARE(window->library().selectedFolder(), libraryFolder);
        QCOMPARE(SlotStore::loadSlot(2), oldRows());
    }

    // The status line's Cancel ends the walk for PDFs, and nothing changes.
    void cancelStopsTheExtraction()
    {
        const auto window = openWindow();
        QSemaphore walking;
        QSemaphore release;
        window->extraction()->setFolderReaderForTesting(
            [&](const QString &path) -> std::optional<QFileInfoList> {
                walking.release();
                release.acquire();
                return QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
            });
        ModalAnswer answers({chooseFolder(folder()), slotPrompt(2, {})});
        window->flows().extractBookmarks(window->sink());
        WAIT_VERIFY(walking.available() > 0);
        QVERIFY(button(*window, "statusCancelButton")->isVisible() || !window->isVisible());
        button(*window, "statusCancelButton")->click();
        release.release(100);
        QCOMPARE(status(*window), "Extraction cancelled; nothing was changed.");
        WAIT_VERIFY(!window->extraction()->isBusy());
        TestHarness::settleWorkers();
        QCOMPARE(window->library().currentSlotId(), 1);
        QCOMPARE(window->library().allBookmarks().toList(), oldRows());
        QVERIFY(!window->extraction()->isBusy());
    }

    // Every way of emptying a slot asks first, naming the slot (the extraction's question its bookmarks
    // too); No keeps them.
    void emptyingASlotAsksFirst_data()
    {
        QTest::addColumn<bool>("newExtraction");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("status");
        QTest::newRow("clear, no") << false << "Cancel"
                                   << "Ready";
        QTest::newRow("clear, yes") << false << "Clear"
                                    << "Slot 1 cleared";
        QTest::newRow("new extraction, no") << true << "Cancel"
                                            << "Ready";
        QTest::newRow("new extraction, yes") << true << "Clear"
                                             << "Ready for new extraction";
    }

    void emptyingASlotAsksFirst()
    {
        QFETCH(bool, newExtraction);
        QFETCH(QString, answer);
        QFETCH(QString, status);
        const auto window = openWindow(folder());
        statusField(*window)->setText(QStringLiteral("Ready"));
        ModalAnswer answers(answer);
        if (newExtraction)
            window->flows().newExtraction(window->sink());
        else
            window->flows().clearCurrentSlot(window->sink());
        QCOMPARE(answers.messages, QStringList{"Clear Slot 1?"});
        // Clear Current Slot… names no count; the extraction's question does.
        QCOMPARE(answers.informativeTexts,
                 QStringList{newExtraction ? "The one bookmark in this slot will be removed from disk."
                                           : "All bookmarks in this slot will be removed from disk."});
        QCOMPARE(::status(*window), status);
        const bool cleared = answer == "Clear";
        QCOMPARE(window->library().allBookmarks().isEmpty(), cleared);
        QCOMPARE(tableModel(*window)->rowCount(), cleared ? 0 : 1);
        QCOMPARE(child<QLineEdit>(*window, "folderPathField")->text().isEmpty(), cleared && newExtraction);
    }

    void refusesToClearTheDefaultSlot()
    {
        TestHarness::writeFile(SlotStore::metaFilePath(), R"({"activeSlot":0,"slotNames":{}})");
        QVERIFY(SlotStore::saveSlot(0, oldRows(), QString()));
        OpenWindow window;
        ModalAnswer answers(QStringLiteral("OK"));
        window.flows().clearCurrentSlot(window.sink());
        QCOMPARE(answers.informativeTexts,
                 QStringList{"Default slot stays protected. Switch to Slot 1-5 to clear."});
        QCOMPARE(status(window), "Cannot clear the Default slot");
        QCOMPARE(window.library().allBookmarks().size(), 1);
    }

    // A save that fails after its success was told replaces that text.
    void failedSaveReplacesTheSavedText()
    {
        const auto window = openWindow();
        {
            TestHarness::FileSizeLimit fullDisk(2048);
            // Rows written as the disk is full: the failure comes after the save the menu told of.
            Fixtures::setSavedRows(window->library(), Fixtures::realisticLibrary(50));
            menuItem(*window, QStringLiteral("Save Slot to Disk"))->trigger();
            QCOMPARE(status(*window), "Slot 1 saved");
            LibrarySession::waitForPendingSaves();
        }
        WAIT_VERIFY(status(*window).startsWith("Could not save "));
    }

    // Dropped files: only importable ones, folders never; a drag with none is refused.
    void dropsOfferImportableFilesOnly()
    {
        const QString dropped = TestHarness::home() + QStringLiteral("/dropped");
        TestHarness::writeFile(dropped + QStringLiteral("/notes.txt"), "x");
        QImage(20, 10, QImage::Format_RGB32).save(dropped + QStringLiteral("/a.jpg"));
        const auto window = openWindow();
        bool accepted = true;
        dragOnto(window->centralWidget(),
                 {QUrl::fromLocalFile(dropped + QStringLiteral("/notes.txt")), QUrl::fromLocalFile(dropped)},
                 &accepted, false);
        QVERIFY(!accepted);

        QStringList titles;
        ModalAnswer answers(QList<Step>{[&](QDialog *dialog) {
            for (int i = 0;
                 auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("importTitleField%1").arg(i));
                 ++i)
                titles.append(field->text());
            dialog->reject();
        }});
        dragOnto(window->centralWidget(),
                 {QUrl::fromLocalFile(dropped + QStringLiteral("/notes.txt")),
                  QUrl::fromLocalFile(dropped + QStringLiteral("/a.jpg"))},
                 &accepted, true);
        QVERIFY(accepted);
        WAIT_COMPARE(answers.otherDialogs, QStringList{"imagePdfImportPrompt"});
        QCOMPARE(titles, QStringList{"a"});
    }

    // One PDF whose outline gives two or more bookmarks is offered as a book first; cancelled, or with
    // fewer bookmarks, it goes to the image and PDF form.
    void routesASinglePdf_data()
    {
        QTest::addColumn<QStringList>("songs");
        QTest::addColumn<QStringList>("forms");
        QTest::newRow("two bookmarks")
            << QStringList{"One", "Two"} << QStringList{"bookmarkedPdfImportPrompt", "imagePdfImportPrompt"};
        QTest::newRow("one bookmark") << QStringList{"One"} << QStringList{"imagePdfImportPrompt"};
    }

    void routesASinglePdf()
    {
        QFETCH(QStringList, songs);
        QFETCH(QStringList, forms);
        const QString pdf = TestHarness::home() + QStringLiteral("/in/Book.pdf");
        PdfFixtures::writeSongbook(pdf, songs);
        const auto window = openWindow();
        ModalAnswer answers(QList<Step>{press("Cancel"), press("Cancel")});
        window->flows().importImagesAndPDFs(window->sink(), {pdf}, std::nullopt);
        WAIT_COMPARE(answers.otherDialogs, forms);
        WAIT_COMPARE(answers.stepsLeft(), 2 - forms.size());
        QCOMPARE(window->library().allBookmarks().toList(), oldRows());
    }

    // An imported picture becomes a song at the end of the chosen slot, which the window switches to, and
    // of the playlist it was dropped for; the window opens it. The slot keeps its folder, none here: the
    // folder field is emptied and Extract goes off.
    void importsIntoTheChosenSlot()
    {
        const QString picture = TestHarness::home() + QStringLiteral("/in/Scan.png");
        QDir().mkpath(QFileInfo(picture).absolutePath());
        QImage(40, 20, QImage::Format_RGB32).save(picture);
        const auto window = openWindow(folder());
        QCOMPARE(child<QLineEdit>(*window, "folderPathField")->text(), folder());
        ModalAnswer answers(QList<Step>{[](QDialog *dialog) {
            dialog->findChild<QComboBox *>(QStringLiteral("importSlotPopup"))->setCurrentIndex(2);
            ModalAnswer::press(dialog, QStringLiteral("Import"));
        }});
        window->flows().importImagesAndPDFs(window->sink(), {picture}, QStringLiteral("Set"));
        WAIT_COMPARE(status(*window), "Imported 1 title(s) to Slot 3 and added to \"Set\".");
        QCOMPARE(window->library().currentSlotId(), 3);
        QVERIFY(ringed(slotTile(*window, 3)));
        QCOMPARE(titles(window->library().allBookmarks()), QStringList{"Scan"});
        QCOMPARE(window->context.playlists().playlists().first().items.first().title, "Scan");
        QCOMPARE(SlotStore::loadSlot(1), oldRows());
        QVERIFY(ViewerParts::openViewer());
        QCOMPARE(child<QLineEdit>(*window, "folderPathField")->text(), "");
        QVERIFY(!button(*window, "extractButton")->isEnabled());
    }

    // The bookmarked-PDF form of a real book: every row editable in a list that draws only the rows on
    // screen; "Clear titles and rewrite" refuses an empty title and keeps the form open with the edits.
    void bookmarkedFormEditsEveryRow()
    {
        const QString pdf = TestHarness::testData("books/songs-from-the-public-domain.pdf");
        const BookmarkList bookmarks = PdfBookmarkExtractor::extractBookmarks(pdf);
        QVERIFY(bookmarks.size() >= 200);
        const auto window = openWindow();
        qsizetype drawn = -1;
        int alerts = 0;
        ModalAnswer answers(QList<Step>{
            [&](QDialog *dialog) {
                auto *table = dialog->findChild<QTableView *>(QStringLiteral("bookmarkRowsTable"));
                auto *model = static_cast<BookmarkedPdfRowsModel *>(table->model());
                QCOMPARE(model->rowCount(), bookmarks.size());
                WAIT_VERIFY(model->thumbnailsRequestedForTesting() > 0);
                drawn = model->thumbnailsRequestedForTesting();
                model->setData(model->index(150, BookmarkedPdfRowsModel::titleColumn),
                               QStringLiteral("Row 151"), Qt::EditRole);
                model->setData(model->index(int(bookmarks.size()) - 1, BookmarkedPdfRowsModel::titleColumn),
                               QString(), Qt::EditRole);
                dialog->findChild<QComboBox *>(QStringLiteral("bookmarkTitlesPopup"))->setCurrentIndex(1);
                ModalAnswer::press(dialog, QStringLiteral("Import"));
                QVERIFY(dialog->isVisible());
                model->setData(model->index(int(bookmarks.size()) - 1, BookmarkedPdfRowsModel::titleColumn),
                               QStringLiteral("Last"), Qt::EditRole);
                ModalAnswer::press(dialog, QStringLiteral("Import"));
            },
            [&](QDialog *alert) {
                ++alerts;
                ModalAnswer::press(alert, QStringLiteral("OK"));
            }});
        const std::optional<BookmarkedPdfImportOptions> options =
            ImagePdfImportDialogs::promptBookmarkedPdfImportOptions(
                window.get(), window->context.librarySlots(), pdf, bookmarks, std::nullopt);
        QVERIFY(options);
        QCOMPARE(alerts, 1);
        QCOMPARE(answers.messages, QStringList{"Missing title"});
        QVERIFY2(drawn > 0 && drawn < 20, qPrintable(QString::number(drawn)));
        QCOMPARE(options->bookmarks.size(), bookmarks.size());
        QCOMPARE(options->bookmarks.at(150).title, "Row 151");
        QCOMPARE(options->bookmarks.last().title, "Last");
        QCOMPARE(options->bookmarks.at(10).title, bookmarks.at(10).title);
        QCOMPARE(options->bookName, "songs-from-the-public-domain");
        QCOMPARE(options->slotId, 1);
    }

    // A form opens with the cursor in the control the user fills, a field's text selected: what is typed
    // at once, before a look at the form, is the title (one file), the book's name (several files, a PDF
    // with an outline), the token (over the one stored), and Return takes it; in a list, Space ticks the
    // book under the cursor and the arrows move through the playlists.
    void formsTakeWhatIsTypedAtOnce_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<int>("files");     // pictures, books or playlists
        QTest::addColumn<QString>("typed"); // text, or a key by name
        QTest::addColumn<QString>("taken");
        QTest::newRow("one picture: its title") << "imagePdfImportPrompt" << 1 << "Blue Bossa"
                                                << "Blue Bossa";
        QTest::newRow("three pictures: their book's name") << "imagePdfImportPrompt" << 3 << "Blue Bossa"
                                                           << "Blue Bossa (Custom)";
        QTest::newRow("a PDF with an outline: the book's name")
            << "bookmarkedPdfImportPrompt" << 1 << "Blue Bossa"
            << "Blue Bossa";
        QTest::newRow("a token over the stored one") << "serviceTokenDialog" << 0 << "Blue Bossa"
                                                     << "Blue Bossa";
        QTest::newRow("the books to extract: Space ticks the first") << "chooseBooksPrompt" << 3 << "Space"
                                                                     << "Scan 1.pdf";
        QTest::newRow("a playlist from the list: Down chooses the second")
            << "choosePlaylistDialog" << 7 << "Down"
            << "1";
    }

    void formsTakeWhatIsTypedAtOnce()
    {
        QFETCH(QString, form);
        QFETCH(int, files);
        QFETCH(QString, typed);
        QFETCH(QString, taken);
        QStringList paths;
        QStringList books;
        for (int i = 0; i < files; ++i) {
            paths.append(TestHarness::home() + QStringLiteral("/in/Scan %1.png").arg(i + 1));
            books.append(TestHarness::home() + QStringLiteral("/in/Scan %1.pdf").arg(i + 1));
            QDir().mkpath(QFileInfo(paths.last()).absolutePath());
            QVERIFY(QImage(40, 20, QImage::Format_RGB32).save(paths.last()));
        }
        const QString pdf = TestHarness::home() + QStringLiteral("/in/Book.pdf");
        PdfFixtures::writeSongbook(pdf, {QStringLiteral("One"), QStringLiteral("Two")});
        const auto window = openWindow();
        ModalAnswer answers(QList<Step>{[typed](QDialog *dialog) {
            WAIT_VERIFY(QApplication::activeWindow() == dialog);
            if (typed == "Space" || typed == "Down")
                QTest::keyClick(QApplication::focusWidget(), typed == "Space" ? Qt::Key_Space : Qt::Key_Down);
            else
                QTest::keyClicks(QApplication::focusWidget(), typed);
            if (dialog->isVisible())
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }});
        if (form == "bookmarkedPdfImportPrompt") {
            const std::optional<BookmarkedPdfImportOptions> options =
                ImagePdfImportDialogs::promptBookmarkedPdfImportOptions(
                    window.get(), window->context.librarySlots(), pdf,
                    PdfBookmarkExtractor::extractBookmarks(pdf), std::nullopt);
            QVERIFY(options);
            QCOMPARE(options->bookName, taken);
        } else if (form == "imagePdfImportPrompt") {
            const std::optional<ImagePdfImportOptions> options =
                ImagePdfImportDialogs::promptImagePdfImportOptions(
                    window.get(), window->context.librarySlots(), paths, std::nullopt, {});
            QVERIFY(options);
            QCOMPARE(files == 1 ? options->pageTitles.value(0) : options->bookName, taken);
        } else if (form == "serviceTokenDialog") {
            const AccessTokenDialog::Outcome outcome = AccessTokenDialog::run(
                window.get(), {QStringLiteral("Service token"), QString(), QStringLiteral("serviceToken")},
                QStringLiteral("stored-token"));
            QVERIFY(outcome.answer == AccessTokenDialog::Answer::save);
            QCOMPARE(outcome.typedToken, taken);
        } else if (form == "chooseBooksPrompt") {
            const std::optional<QStringList> chosen =
                ExtractionPrompts::promptChooseBooksFromList(window.get(), books);
            QVERIFY(chosen);
            QCOMPARE(*chosen, QStringList{TestHarness::home() + QStringLiteral("/in/") + taken});
        } else {
            PlaylistLibrary &playlists = window->context.playlists();
            for (int i = 0; i < files; ++i)
                QCOMPARE(playlists.createPlaylist(QStringLiteral("List %1").arg(i + 1)),
                         PlaylistLibrary::Outcome::created);
            const AddToPlaylistDialogs::Result result = AddToPlaylistDialogs::addToPlaylist(
                window.get(), playlists,
                Fixtures::bookmark(QStringLiteral("/b/B.pdf"), 1, QStringLiteral("Song")));
            QVERIFY(result.kind == AddToPlaylistDialogs::Result::Kind::added);
            QCOMPARE(result.playlistName, playlists.names().at(taken.toInt()));
        }
        QCOMPARE(answers.otherDialogs, QStringList{form});
    }

    // An import under way when the application quits stops before its next picture, so that the
    // process does not wait for it; nothing of it stays. (Last: the quit is told to the whole process.)
    void quitStopsAnImportUnderWay()
    {
        QStringList pictures;
        for (const char *name : {"a", "b", "c"}) {
            pictures.append(TestHarness::home() + QStringLiteral("/in/%1.png").arg(QLatin1String(name)));
            QDir().mkpath(QFileInfo(pictures.last()).absolutePath());
            QVERIFY(QImage(40, 20, QImage::Format_RGB32).save(pictures.last()));
        }
        const QString library = ImagePdfImportService::defaultLibraryDirectory().value();
        const auto window = openWindow();
        // Every worker is held from the moment the form is answered until the quit has been told, so
        // that the import waits in the queue.
        QThreadPool *pool = QThreadPool::globalInstance();
        const int workers = pool->maxThreadCount();
        QSemaphore held;
        QSemaphore release;
        bool answered = false;
        ModalAnswer answers(QList<Step>{[&](QDialog *dialog) {
            for (int i = 0; i < workers; ++i)
                pool->start([&] {
                    held.release();
                    release.acquire();
                });
            QVERIFY(held.tryAcquire(workers, 30000));
            ModalAnswer::press(dialog, QStringLiteral("Import"));
            answered = true;
        }});
        window->flows().importImagesAndPDFs(window->sink(), pictures, std::nullopt);
        WAIT_VERIFY_WITH_TIMEOUT(answered && window->flows().isImporting(), 30000);
        QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit");
        release.release(workers);
        WAIT_VERIFY_WITH_TIMEOUT(!window->flows().isImporting(), 30000);
        TestHarness::settleWorkers();
        QCOMPARE(window->library().allBookmarks().toList(), oldRows());
        QCOMPARE(QDir(library).entryList(QDir::Files), QStringList());
        QCOMPARE(answers.otherDialogs, QStringList{"imagePdfImportPrompt"});
        QCOMPARE(answers.messages, QStringList());
    }
};

LYRAFOLD_TEST_GUI_MAIN(LibraryWindowTest)
#include "tst_librarywindow.moc"
