#include "Fixtures.h"
#include "MainWindowParts.h"
#include "ModalAnswer.h"
#include "OpenWindows.h"
#include "OpenedUrls.h"
#include "ShareAnswers.h"
#include "TestHarnessGui.h"
#include "ViewerParts.h"
#include "core/common/NotificationBus.h"
#include "core/playlist/LyfPlaylistCodec.h"
#include "core/playlist/PlaylistStore.h"
#include "core/session/LibrarySession.h"
#include "core/slotfiles/SlotStore.h"
#include "core/storage/StateFile.h"
#include "ui/app/AppContext.h"
#include "ui/app/AppDelegate.h"
#include "ui/common/PagePreviewWindow.h"
#include "ui/common/TablePagePreview.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/mainwindow/TileView.h"
#include "ui/playlists/PlaylistCardView.h"
#include "ui/playlists/PlaylistsWindowController.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVariantAnimation>

#include <memory>

namespace {

using namespace MainWindowParts;

QString book(const char *name)
{
    return TestHarness::testData(QStringLiteral("books/") + QLatin1String(name));
}

const QString rag = book("joplin-pineapple-rag.pdf");

PlaylistItem title(const QString &name, qint64 page = 1, const QString &path = rag)
{
    PlaylistItem item(Fixtures::bookmark(path, page, name));
    item.pdfFileName = QFileInfo(path).fileName();
    return item;
}

Playlist playlist(const QString &name, const QStringList &titles = {})
{
    Playlist made{name, {}};
    for (const QString &t : titles)
        made.items.append(title(t, made.items.size() + 1));
    return made;
}

QStringList titlesOf(const Playlist &p)
{
    QStringList list;
    for (const PlaylistItem &item : p.items)
        list.append(item.title);
    return list;
}

QStringList namesOf(const QList<Playlist> &playlists)
{
    QStringList list;
    for (const Playlist &p : playlists)
        list.append(p.name);
    return list;
}

PlaylistCardView *playlistTable(const QWidget &window)
{
    return child<PlaylistCardView>(window, QStringLiteral("playlistTable"));
}

// The selected playlist's row (its place in the library), -1 for none.
int selectedPlaylist(const QWidget &window)
{
    const QModelIndexList rows = playlistTable(window)->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void selectPlaylist(const QWidget &window, int row)
{
    playlistTable(window)->selectRow(row);
}

struct ContextHolder {
    AppContext context;
};

// The playlists window over the stored playlists, with the context it works with, made first and
// destroyed last.
struct Window : ContextHolder, PlaylistsWindowController {
    explicit Window(bool show = false) : PlaylistsWindowController(context)
    {
        setAttribute(Qt::WA_DeleteOnClose, false);
        if (show) {
            showWindow();
            if (!QTest::qWaitForWindowExposed(this, TestHarness::hangGuardMs))
                qWarning("the window was not shown");
        }
    }
    PlaylistLibrary &library() { return context.playlists(); }
    PlaylistCardView *titles() { return child<PlaylistCardView>(*this, QStringLiteral("titlesTable")); }
    PlaylistCardView *playlistTable() { return ::playlistTable(*this); }
    QString status() { return child<QLabel>(*this, QStringLiteral("playlistsStatusField"))->text(); }
    QPushButton *pushButton(const char *name) { return button(*this, name); }
};

std::unique_ptr<Window> windowWith(const QList<Playlist> &stored, bool show = false)
{
    if (!PlaylistStore::savePlaylists(stored))
        qFatal("cannot write the playlists");
    return std::make_unique<Window>(show);
}

void pressPart(PlaylistCardView *view, int row, PlaylistCardView::Part part)
{
    const QPoint at = view->partRect(row, part).center();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class PlaylistsWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        StateFile::waitForAllPendingWrites();
        TestHarness::clearUserFiles();
        LyrafoldLanguageService::setCurrent(LyrafoldLanguage::en);
    }

    void cleanup()
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *viewer = qobject_cast<PdfViewerWindowController *>(window))
                viewer->close();
        }
        StateFile::waitForAllPendingWrites();
    }

    void withoutPlaylists()
    {
        Window window;
        QVERIFY(!child<QLabel>(window, QStringLiteral("titlesPlaceholderLabel"))->isHidden());
        QVERIFY(window.titles()->isHidden());
        QVERIFY(!window.pushButton("addSongsButton")->isEnabled());
        QVERIFY(!window.pushButton("sharePlaylistButton")->isEnabled());
        QCOMPARE(window.windowTitle(), "LYRAFOLD (beta) - Playlists");
    }

    // The window follows changes made anywhere: the selected playlist stays selected (by position and
    // name), the titles show at once, and the list stays where it was scrolled to.
    void selectionFollowsChangesElsewhere_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("selected"); // empty: none
        QTest::addColumn<int>("titles");
        QTest::newRow("a title added from the viewer") << "add"
                                                       << "Gig" << 41;
        QTest::newRow("the playlist before it deleted") << "delete before"
                                                        << "Gig" << 40;
        QTest::newRow("a playlist file merged") << "merge"
                                                << "Gig" << 40;
        QTest::newRow("the file replaced, the playlist moved") << "outside"
                                                               << "Gig" << 2;
        QTest::newRow("the playlist itself deleted") << "delete itself"
                                                     << "" << 0;
    }

    void selectionFollowsChangesElsewhere()
    {
        QFETCH(QString, change);
        QFETCH(QString, selected);
        QFETCH(int, titles);
        QStringList forty;
        for (int i = 0; i < 40; ++i)
            forty << QStringLiteral("Song %1").arg(i);
        auto window = windowWith({playlist("Warmup", {"A"}), playlist("Gig", forty), playlist("gig")}, true);
        selectPlaylist(*window, 1);
        QScrollBar *scroll = window->titles()->verticalScrollBar();
        scroll->setValue(500);

        PlaylistLibrary &library = window->library();
        if (change == "add") {
            library.addToPlaylist("Gig", BookmarkEntry(title("New")));
        } else if (change == "delete before") {
            library.deletePlaylist(0, "Warmup");
        } else if (change == "merge") {
            library.adoptMerge(PlaylistLibrary::merged(library.playlists(), library.revision(),
                                                       {playlist("gig", {"X"})}, false));
        } else if (change == "outside") {
            library.setOutsideChangeDelaysForTesting(std::chrono::milliseconds(20), std::chrono::seconds(1));
            QSignalSpy changes(&library, &PlaylistLibrary::playlistsChanged);
            QSaveFile other(PlaylistStore::playlistsPath());
            QVERIFY(other.open(QIODevice::WriteOnly));
            other.write(*PlaylistCodec::encodePlaylists({playlist("gig"), playlist("Gig", {"A", "B"})}));
            QVERIFY(other.commit());
            QVERIFY(changes.wait(TestHarness::hangGuardMs));
        } else {
            library.deletePlaylist(1, "Gig");
        }
        const int index = selectedPlaylist(*window);
        QCOMPARE(index < 0 ? QString() : library.playlists().at(index).name, selected);
        QCOMPARE(window->playlistTable()->selectionModel()->selectedRows().size(), index < 0 ? 0 : 1);
        QCOMPARE(window->titles()->model()->rowCount(), titles);
        QCOMPARE(window->titles()->isHidden(), selected.isEmpty());
        if (titles == 40 || titles == 41)
            QCOMPARE(scroll->value(), 500);
    }

    // Creating refuses a name taken in any case; deleting removes the selected playlist only, never
    // its twin of another case (files of older versions may hold both).
    void createAndDelete_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("alerts");
        QTest::newRow("create trimmed")
            << "create"
            << "  Encore " << QStringList{"rock", "Rock", "Encore"} << "Encore" << QStringList{};
        QTest::newRow("create a taken name")
            << "create"
            << "ROCK" << QStringList{"rock", "Rock"} << "" << QStringList{"Could not create playlist"};
        QTest::newRow("create blank") << "create"
                                      << "  " << QStringList{"rock", "Rock"} << "" << QStringList{};
        QTest::newRow("delete the second of a pair")
            << "delete"
            << "" << QStringList{"rock"} << "" << QStringList{"Delete playlist \"Rock\"?"};
    }

    void createAndDelete()
    {
        QFETCH(QString, action);
        QFETCH(QString, typed);
        QFETCH(QStringList, names);
        QFETCH(QString, selected);
        QFETCH(QStringList, alerts);
        auto window = windowWith({playlist("rock", {"A"}), playlist("Rock", {"B"})});
        ModalAnswer answer(
            action == "create" ? QStringLiteral("OK") : QStringLiteral("Delete"), [&typed](QDialog *prompt) {
                prompt->findChild<QLineEdit *>(QStringLiteral("newPlaylistPromptField"))->setText(typed);
                ModalAnswer::press(prompt, QStringLiteral("Create"));
            });
        if (action == "create") {
            window->pushButton("createPlaylistButton")->click();
        } else {
            selectPlaylist(*window, 1);
            window->pushButton("deletePlaylistButton")->click();
            QCOMPARE(window->focusWidget(), window->playlistTable());
        }
        QCOMPARE(answer.messages, alerts);
        QCOMPARE(namesOf(window->library().playlists()), names);
        const int index = selectedPlaylist(*window);
        QCOMPARE(index < 0 ? QString() : window->library().playlists().at(index).name, selected);
        StateFile::waitForAllPendingWrites();
        QCOMPARE(namesOf(PlaylistStore::loadPlaylists()), names);
    }

    // The title buttons act on the item shown (one of two with the same key), links open only as web
    // pages, a press on a card opens the viewer with the whole playlist, and drops move or import. Each
    // action replaces the line naming the title opened before.
    void titleActions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("status");
        const QStringList all{"One", "Two", "One", "Three"};
        QTest::newRow("remove the second One") << "remove 2" << QStringList{"One", "Two", "Three"} << ""
                                               << "Removed \"One\" from \"Set\".";
        QTest::newRow("stored Spotify link") << "spotify 0" << all << "https://open.spotify.com/track/7"
                                             << "";
        QTest::newRow("remove by keys: right to the third button, Space")
            << "keys 2 3" << QStringList{"One", "Two", "Three"} << ""
            << "Removed \"One\" from \"Set\".";
        QTest::newRow("Spotify by keys: right past the end and back")
            << "keys 0 5 2" << all << "https://open.spotify.com/track/7"
            << "";
        QTest::newRow("YouTube link not a web page")
            << "youtube 0" << all << "https://www.youtube.com/results?search_query=One"
            << "";
        QTest::newRow("drag the last above the first")
            << "drag 3 0" << QStringList{"Three", "One", "Two", "One"} << ""
            << "";
        QTest::newRow("drag the first below the last")
            << "drag 0 4" << QStringList{"Two", "One", "Three", "One"} << ""
            << "";
        QTest::newRow("files and a row dropped together") << "drop files" << all << ""
                                                          << "";
        QTest::newRow("press opens") << "open 1" << all << ""
                                     << "Opened: Two at page 2";
        QTest::newRow("another playlist chosen") << "select 1" << all << ""
                                                 << "";
    }

    void titleActions()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, titles);
        QFETCH(QString, opened);
        QFETCH(QString, status);
        Playlist set = playlist("Set", {"One", "Two", "Three"});
        set.items.insert(2, set.items.at(0));
        set.items[0].spotifyURL = QStringLiteral("https://open.spotify.com/track/7");
        set.items[2].spotifyURL = set.items[0].spotifyURL;
        set.items[0].youtubeURL = QStringLiteral("javascript:alert(1)");
        auto window = windowWith({set, playlist("Other")}, true);
        selectPlaylist(*window, 0);
        child<StatusLine>(*window, QStringLiteral("playlistsStatusField"))
            ->setStatus(QStringLiteral("Opened: One at page 1"));
        OpenedUrls urls;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &urls, "open");
        const QStringList words = action.split(QLatin1Char(' '));
        const int row = words.value(1).toInt();
        PlaylistCardView *view = window->titles();
        if (words.at(0) == "remove") {
            pressPart(view, row, PlaylistCardView::Part::remove);
        } else if (words.at(0) == "spotify") {
            pressPart(view, row, PlaylistCardView::Part::spotify);
        } else if (words.at(0) == "youtube") {
            pressPart(view, row, PlaylistCardView::Part::youtube);
        } else if (words.at(0) == "keys") {
            view->setFocus();
            view->setCurrentIndex(view->model()->index(row, 0));
            for (int step = 0; step < words.at(2).toInt(); ++step)
                QTest::keyClick(view, Qt::Key_Right);
            for (int step = 0; step < words.value(3).toInt(); ++step)
                QTest::keyClick(view, Qt::Key_Left);
            QTest::keyClick(view, Qt::Key_Space);
        } else if (words.at(0) == "select") {
            window->playlistTable()->selectRow(row);
        } else if (words.at(0) == "drag") {
            QMimeData data;
            data.setData(PlaylistRows::rowDragType, PlaylistRows::rowPayload(row));
            Q_EMIT view->dropped(&data, words.at(2).toInt());
        } else if (words.at(0) == "drop") {
            QMimeData data;
            data.setData(PlaylistRows::rowDragType, PlaylistRows::rowPayload(0));
            data.setUrls(
                {QUrl::fromLocalFile(TestHarness::home() + "/scan.jpg"), QUrl::fromLocalFile("/notes.txt")});
            // The picture goes to the library's import, whose form asks where it goes.
            bool asked = false;
            ModalAnswer form([&asked](QDialog *dialog) {
                asked = dialog->findChild<QWidget *>(QStringLiteral("importSlotPopup")) != nullptr;
                dialog->reject();
            });
            QCOMPARE(view->dropActionFor(&data), Qt::CopyAction);
            Q_EMIT view->dropped(&data, 3);
            WAIT_VERIFY(asked);
        } else {
            QTest::mousePress(view->viewport(), Qt::LeftButton, {},
                              view->partRect(row, PlaylistCardView::Part::card).center());
            // The viewer plays the whole list from the title pressed, at its page.
            WAIT_VERIFY(ViewerParts::openViewer());
            const PdfViewerWindowController &viewer = *ViewerParts::openViewer();
            QCOMPARE(ViewerParts::titleLabel(viewer), set.items.at(row).title);
            QCOMPARE(ViewerParts::previousTitle(viewer), set.items.value(row - 1).title);
            QCOMPARE(ViewerParts::nextTitle(viewer), set.items.value(row + 1).title);
            QCOMPARE(ViewerParts::pageField(viewer), QStringLiteral("2"));
            QTest::mouseRelease(view->viewport(), Qt::LeftButton);
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(titlesOf(window->library().playlists().at(0)), titles);
        QCOMPARE(urls.urls.isEmpty() ? QString() : urls.urls.first().toString(QUrl::FullyEncoded), opened);
        QCOMPARE(window->status(), status);
    }

    // Sharing and the hover preview find a title whose file is gone the way opening does: in the
    // Default library, else among the books of the current slot. Sharing hands the found books over
    // under the playlist's name (what a bundle saved to a folder holds), and the stored playlist keeps
    // what it had.
    void titlesFindTheirBooksAgain_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("inDefaultSlot");
        QTest::newRow("share, a book of the Default library") << "share" << true;
        QTest::newRow("preview, a book of the current slot") << "preview" << false;
    }

    void titlesFindTheirBooksAgain()
    {
        QFETCH(QString, action);
        QFETCH(bool, inDefaultSlot);
        const QString books = TestHarness::home() + QStringLiteral("/Books/");
        QVERIFY(QDir().mkpath(books));
        QFile::remove(books + "Moved Book.pdf");
        QVERIFY(QFile::copy(rag, books + "Moved Book.pdf"));
        const BookmarkEntry moved = Fixtures::bookmark(books + "Moved Book.pdf", 1, "X");
        if (inDefaultSlot)
            QVERIFY(SlotStore::saveSlot(0, {moved}, books));
        Playlist set = playlist("Set", {"Here"});
        set.items.append(title("Moved", 4, QStringLiteral("/old/place/Moved Book (PDFDrive).pdf")));
        auto window = windowWith({set, playlist("Empty")}, action == "preview");
        if (!inDefaultSlot)
            Fixtures::setRows(window->context.library(), {moved});
        if (action == "preview") {
            selectPlaylist(*window, 0);
            QVERIFY(QTest::qWaitForWindowActive(window.get(), TestHarness::hangGuardMs));
            auto *preview = window->findChild<TablePagePreview *>();
            QTest::mouseMove(window->titles()->viewport(),
                             window->titles()->partRect(1, PlaylistCardView::Part::card).center());
            WAIT_VERIFY(preview->stateForTesting().window && preview->stateForTesting().window->isVisible());
            QVERIFY(preview->stateForTesting().window->hasImage());
            return;
        }
        QTemporaryDir target;
        ModalAnswer answer(QStringLiteral("OK"), shareBundleInto(target.path()));
        selectPlaylist(*window, 1);
        window->pushButton("sharePlaylistButton")->click();
        TestHarness::settleWorkers();
        QVERIFY(answer.otherDialogs.isEmpty());

        selectPlaylist(*window, 0);
        window->pushButton("sharePlaylistButton")->click();
        WAIT_COMPARE(QDir(target.path()).entryList({QStringLiteral("*.lyf")}).size(), 1);
        const auto bundle = LyfPlaylistCodec::readBundleFile(
            target.filePath(QDir(target.path()).entryList({QStringLiteral("*.lyf")}).first()));
        QVERIFY(bundle);
        QCOMPARE(bundle->first().name, "Set");
        const QList<PlaylistItem> &shared = bundle->first().items;
        QCOMPARE(shared.size(), 2);
        QCOMPARE(shared.at(0).pdfFilePath, rag);
        QCOMPARE(shared.at(1).pdfFilePath, books + "Moved Book.pdf");
        QCOMPARE(shared.at(1).pageNumber, 4);
        QCOMPARE(window->library().playlists().at(0).items.at(1).pdfFilePath,
                 "/old/place/Moved Book (PDFDrive).pdf");
    }

    // A title whose book only the current slot knows opens from the first of the slot's books that is
    // there at the press: one that turns up under an earlier row's path is taken at the next press,
    // whether the library changed meanwhile or not.
    void titleOpensFromTheSlotBookThereAtThePress_data()
    {
        QTest::addColumn<bool>("libraryChanged");
        QTest::newRow("pressed again") << false;
        QTest::newRow("pressed after a change of the library") << true;
    }

    void titleOpensFromTheSlotBookThereAtThePress()
    {
        QFETCH(bool, libraryChanged);
        const QString books = TestHarness::home() + QStringLiteral("/Books/");
        const QString early = books + "A/Moved Book.pdf";
        const QString late = books + "B/Moved Book.pdf";
        QVERIFY(QDir().mkpath(books + "A") && QDir().mkpath(books + "B"));
        QFile::remove(early);
        QFile::remove(late);
        QVERIFY(QFile::copy(rag, late));
        auto window = windowWith(
            {Playlist{"Set", {title("Moved", 2, QStringLiteral("/old/place/Moved Book.pdf"))}}}, true);
        LibrarySession &library = window->context.library();
        Fixtures::setRows(library, {Fixtures::bookmark(early, 1, "X"), Fixtures::bookmark(late, 1, "Y")});
        selectPlaylist(*window, 0);
        const auto openedBook = [&] {
            const PdfViewerWindowController *before = ViewerParts::openViewer();
            pressPart(window->titles(), 0, PlaylistCardView::Part::card);
            const auto opened = [&] {
                const PdfViewerWindowController *now = ViewerParts::openViewer();
                return now && now != before;
            };
            TestHarness::waitFor(opened, TestHarness::hangGuard);
            return opened() ? ViewerParts::shownBook(*ViewerParts::openViewer()) : QString();
        };
        QCOMPARE(openedBook(), late);
        QVERIFY(QFile::copy(rag, early));
        if (libraryChanged)
            QVERIFY(library.setMetadataField(BookmarkMetadataField::genre, QStringLiteral("Waltz"),
                                             library.allBookmarks().at(1)));
        QCOMPARE(openedBook(), early);
    }

    // A save that fails after the window said what it did replaces that text with the failure.
    void failedSaveReplacesTheSuccessText()
    {
        auto window = windowWith({playlist("Set", {"One", "Two"}), playlist("Big")});
        for (int i = 0; i < 200; ++i)
            window->library().addToPlaylist("Big", Fixtures::fullBookmark(i));
        StateFile::waitForAllPendingWrites();
        selectPlaylist(*window, 0);
        {
            TestHarness::FileSizeLimit limit(4096);
            pressPart(window->titles(), 0, PlaylistCardView::Part::remove);
            QCOMPARE(window->status(), "Removed \"One\" from \"Set\".");
            StateFile::waitForAllPendingWrites();
        }
        WAIT_VERIFY(window->status().startsWith("Could not save playlists.json: "));
    }

    // "Add Song" hands the playlist to the main window, whose clicks add titles until Done brings the
    // playlists window back with the playlist selected; closing the window ends the mode.
    void addToPlaylistModeRoundTrip()
    {
        const QString books = TestHarness::home() + QStringLiteral("/Books");
        QVERIFY(SlotStore::saveSlot(1, {Fixtures::bookmark(rag, 3, "Rag Time")}, books));
        TestHarness::writeFile(SlotStore::metaFilePath(), R"({"activeSlot":1,"slotNames":{}})");
        QVERIFY(PlaylistStore::savePlaylists({playlist("Warmup"), playlist("Set", {"One"})}));
        ContextHolder holder;
        MainWindowController main(holder.context);
        QVERIFY(TestHarness::waitForCurrentSlot(holder.context.librarySlots()));
        main.show();
        pressTile(main, "playlistsTile");
        PlaylistsWindowController *window = topLevelWindows<PlaylistsWindowController>().value(0);
        QVERIFY(window);
        selectPlaylist(*window, 1);
        QSignalSpy finished(&holder.context.notifications(), &NotificationBus::finishedAddToPlaylistMode);

        button(*window, "addSongsButton")->click();
        QCOMPARE(statusField(main)->text(), "Click a title to add it to playlist \"Set\"");
        QPushButton *done = button(main, "finishAddToPlaylistButton");
        QVERIFY(!done->isHidden());
        QVERIFY(done->findChild<QVariantAnimation *>(QStringLiteral("addToPlaylistDonePulse")));
        selectPlaylist(*window, 0);

        QWidget *viewport = tableView(main)->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {},
                          tableView(main)->visualRect(tableModel(main)->index(0, 4)).center());
        WAIT_COMPARE(holder.context.playlists().playlists().at(1).items.size(), 2);
        QCOMPARE(statusField(main)->text(),
                 "Added \"Rag Time\" to \"Set\". Click another title or press Done.");
        QCOMPARE(selectedPlaylist(*window), 0);

        done->click();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(statusField(main)->text(), "Finished adding titles to \"Set\"");
        QVERIFY(done->isHidden());
        QCOMPARE(selectedPlaylist(*window), 1);
        QCOMPARE(child<PlaylistCardView>(*window, QStringLiteral("titlesTable"))->model()->rowCount(), 2);

        holder.context.notifications().post(NotificationBus::addToPlaylistModeName,
                                            {{NotificationBus::playlistNameKey, QStringLiteral("Set")}});
        window->close();
        WAIT_VERIFY(topLevelWindows<PlaylistsWindowController>().isEmpty());
        QVERIFY(done->isHidden());
        QCOMPARE(statusField(main)->text(), "Ready");
        QCOMPARE(finished.count(), 1);
    }

    // A user without a mouse: Return on a row of the main table opens its song; Tab reaches the
    // Playlists tile and Space opens the window, where Return selects a playlist and Return on the title
    // Tab or the arrows put the focus on opens it.
    void keysAloneOpenTheViewer()
    {
        QVERIFY(SlotStore::saveSlot(
            0, {Fixtures::bookmark(rag, 2, "Rag A"), Fixtures::bookmark(rag, 3, "Rag B")}, QString()));
        QVERIFY(PlaylistStore::savePlaylists({playlist("Set", {"One", "Two"})}));
        ContextHolder holder;
        MainWindowController main(holder.context);
        QVERIFY(TestHarness::waitForCurrentSlot(holder.context.librarySlots()));
        main.show();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main, TestHarness::hangGuardMs));
        const auto press = [](Qt::Key key) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            QTest::keyClick(focus, key);
        };
        const auto tabTo = [&](const std::function<bool(QWidget *)> &wanted) {
            for (int step = 0; step < 100 && !wanted(QApplication::focusWidget()); ++step)
                press(Qt::Key_Tab);
            return wanted(QApplication::focusWidget());
        };
        const auto viewerShows = [&](const QString &title) {
            const PdfViewerWindowController *viewer = ViewerParts::openViewer();
            return viewer && ViewerParts::titleLabel(*viewer) == title;
        };

        // The first Down after Tab lands on the first row, which Tab ringed; the next goes on.
        QVERIFY(tabTo([&](QWidget *focus) { return focus == tableView(main); }));
        press(Qt::Key_Down);
        QCOMPARE(selectedRows(main), QList<int>{0});
        press(Qt::Key_Down);
        press(Qt::Key_Return);
        WAIT_VERIFY(viewerShows("Rag B"));
        ViewerParts::openViewer()->close();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main, TestHarness::hangGuardMs));

        QVERIFY(tabTo([](QWidget *focus) {
            return qobject_cast<TileView *>(focus) && focus->toolTip() == "Open playlists window.";
        }));
        QVERIFY(glassOf(static_cast<TileView *>(QApplication::focusWidget()))->hasFocusRingForTesting());
        press(Qt::Key_Space);
        WAIT_VERIFY(!topLevelWindows<PlaylistsWindowController>(true).isEmpty());
        PlaylistsWindowController *window = topLevelWindows<PlaylistsWindowController>(true).constFirst();
        QVERIFY(QTest::qWaitForWindowActive(window, TestHarness::hangGuardMs));
        auto *playlists = child<PlaylistCardView>(*window, QStringLiteral("playlistTable"));
        auto *titles = child<PlaylistCardView>(*window, QStringLiteral("titlesTable"));
        // Return on the ringed playlist chooses it, as a click does.
        QVERIFY(tabTo([&](QWidget *focus) { return focus == playlists; }));
        press(Qt::Key_Return);
        WAIT_COMPARE(titles->model()->rowCount(), 2);
        QVERIFY(tabTo([&](QWidget *focus) { return focus == titles; }));
        // Return opens the card Tab ringed, as a click does, selecting it first: no Space needed.
        press(Qt::Key_Return);
        WAIT_VERIFY(viewerShows("One"));
        QCOMPARE(titles->selectionModel()->selectedRows().value(0).row(), 0);
        ViewerParts::openViewer()->close();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window, TestHarness::hangGuardMs));
        titles->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Down);
        press(Qt::Key_Return);
        WAIT_VERIFY(viewerShows("Two"));
        window->close();
    }

    // A playlist file handed over by a later start of the program is merged, told in the main window's
    // status line, and the playlists window shows it; a refused one is named in the alert.
    void playlistFileFromALaterStart_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("alerts");
        const QByteArray head = R"({"lyrafoldFile": "lyrafold_playlist_bundle", "version": 1, "playlists": )";
        QTest::newRow("two playlists, one name taken")
            << head + R"([{"name": "Encore", "items": []},
                          {"name": "Set", "items": [{"title": "A", "page": "2", "sourcePath": "/b/x.pdf"}]}]})"
            << "Imported 2 playlist(s) from set.lyf." << QStringList{"Set", "Encore", "Set (imported)"}
            << QStringList{};
        QTest::newRow("no playlists")
            << head + "[]}"
            << "Playlist file contained no playlists." << QStringList{"Set"} << QStringList{};
        QTest::newRow("not a playlist file")
            << QByteArray("{\"x\":1}") << "Import failed." << QStringList{"Set"}
            << QStringList{
                   "Could not import playlist file",
                   "\u201Cset.lyf\u201D is damaged or is not a playlist file. Not a Lyrafold playlist "
                   "bundle."};
    }

    void playlistFileFromALaterStart()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, status);
        QFETCH(QStringList, names);
        QFETCH(QStringList, alerts);
        QVERIFY(PlaylistStore::savePlaylists({playlist("Set")}));
        const QString file = TestHarness::home() + QStringLiteral("/Music/set.lyf");
        TestHarness::writeFile(file, contents);
        AppDelegate delegate;
        delegate.launch({});
        auto *main = topLevelWindows<MainWindowController>().value(0);
        QVERIFY(main);
        ModalAnswer answer(QStringLiteral("OK"));
        delegate.handleLaunchedAgain({file});
        WAIT_COMPARE(statusField(*main)->text(), status);
        QCOMPARE(answer.messages + answer.informativeTexts, alerts);
        QCOMPARE(namesOf(delegate.contextForTesting().playlists().playlists()), names);
        QCOMPARE(!topLevelWindows<PlaylistsWindowController>().isEmpty(),
                 alerts.isEmpty() && names.size() > 1);
    }

    // Every language fits the window at its minimum size: no control of the header rows is cut.
    void languagesFitTheMinimumSize_data()
    {
        QTest::addColumn<LyrafoldLanguage>("language");
        QTest::addColumn<QString>("addSong");
        QTest::newRow("English") << LyrafoldLanguage::en << "Add Song";
        QTest::newRow("Turkish") << LyrafoldLanguage::tr << "Şarkı Ekle";
        QTest::newRow("Spanish") << LyrafoldLanguage::es << "Añadir canción";
    }

    void languagesFitTheMinimumSize()
    {
        QFETCH(LyrafoldLanguage, language);
        QFETCH(QString, addSong);
        auto window = windowWith({playlist("Set", {"One"})}, true);
        LyrafoldLanguageService::setCurrent(language);
        WAIT_COMPARE(window->pushButton("addSongsButton")->text(), addSong);
        WAIT_VERIFY(window->minimumWidth() >= window->layout()->totalMinimumSize().width());
        window->resize(window->minimumSize());
        WAIT_COMPARE(window->size(), window->minimumSize());
        window->layout()->activate();
        QVERIFY(window->minimumWidth() >= 600 && window->minimumHeight() >= 400);
        for (QWidget *control : QList<QWidget *>{
                 window->pushButton("addSongsButton"), window->pushButton("createPlaylistButton"),
                 window->pushButton("deletePlaylistButton"), window->pushButton("sharePlaylistButton"),
                 child<QCheckBox>(*window, QStringLiteral("studyModeCheckbox"))})
            WAIT_VERIFY2(control->width() >= control->sizeHint().width(), qPrintable(control->objectName()));
    }
};

LYRAFOLD_TEST_GUI_MAIN(PlaylistsWindowTest)
#include "tst_playlistswindow.moc"
