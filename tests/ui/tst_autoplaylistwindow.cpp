#include "Fixtures.h"
#include "MainWindowParts.h"
#include "ModalAnswer.h"
#include "OpenWindows.h"
#include "OpenedUrls.h"
#include "ShareAnswers.h"
#include "TestHarnessGui.h"
#include "ViewerParts.h"
#include "core/autoplaylist/AutoPlaylistFilters.h"
#include "core/playlist/LyfPlaylistCodec.h"
#include "core/slotfiles/SlotStore.h"
#include "ui/app/AppContext.h"
#include "ui/autoplaylist/AutoPlaylistFilterPicker.h"
#include "ui/autoplaylist/AutoPlaylistGeneratedRowView.h"
#include "ui/autoplaylist/AutoPlaylistWindowController.h"
#include "ui/autoplaylist/AutoPlaylistYearRangeSlider.h"
#include "ui/autoplaylist/GeneratedTitlesModel.h"
#include "ui/autoplaylist/GeneratedTitlesView.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <functional>

using Button = AutoPlaylistGeneratedRowView::Button;
using DialogAnswer = std::function<void(QDialog *)>;
Q_DECLARE_METATYPE(Button)
Q_DECLARE_METATYPE(DialogAnswer)

namespace {

QString book(const char *name)
{
    return TestHarness::testData(QStringLiteral("books/") + QLatin1String(name));
}

BookmarkEntry song(const QString &path, qint64 page, const QString &title)
{
    BookmarkEntry entry;
    entry.pdfFilePath = path;
    entry.pdfFileName = QFileInfo(path).fileName();
    entry.pageNumber = page;
    entry.title = title;
    return entry;
}

// Six songs in two real books.
BookmarkList songs()
{
    const QString hymnal = book("songs-from-the-public-domain.pdf");
    BookmarkList rows;
    for (int i = 0; i < 5; ++i)
        rows.append(song(hymnal, 3 + i, QStringLiteral("Hymn %1").arg(i)));
    rows.append(song(book("joplin-pineapple-rag.pdf"), 1, QStringLiteral("Pineapple Rag")));
    return rows;
}

template <typename T> T *child(const QObject *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

// The window on a library, shown; it deletes itself when closed.
struct Opened {
    AppContext context;
    QPointer<AutoPlaylistWindowController> window;

    explicit Opened(const BookmarkList &rows)
    {
        Fixtures::setRows(context.library(), rows);
        window = AutoPlaylistWindowController::open(context, nullptr);
        window->activateWindow();
        if (!QTest::qWaitForWindowExposed(window.data(), TestHarness::hangGuardMs))
            qWarning("the window was not shown");
    }
    ~Opened() { delete window.data(); }

    QString status() const { return child<QLabel>(window, "statusField")->text(); }
    GeneratedTitlesView *table() const { return child<GeneratedTitlesView>(window, "resultsTable"); }
    GeneratedTitlesModel *titles() const { return static_cast<GeneratedTitlesModel *>(table()->model()); }
    QStringList shownTitles() const
    {
        QStringList shown;
        for (int row = 0; row < titles()->rowCount(); ++row)
            shown.append(titles()->entry(row)->title);
        return shown;
    }
    void generate(int count)
    {
        child<QSpinBox>(window, "titlesField")->setValue(count);
        child<QPushButton>(window, "generateButton")->click();
    }
    // A point of a row's card: its middle, its handle or one of its buttons.
    QPoint cardPoint(int row, std::optional<Button> button, bool handle = false) const
    {
        const QRect card = AutoPlaylistGeneratedRowView::cardRect(table()->visualRect(titles()->index(row)));
        if (button)
            return AutoPlaylistGeneratedRowView::buttonRect(*button, card).center();
        return handle ? AutoPlaylistGeneratedRowView::handleRect(card).center() : card.center();
    }
};

} // namespace

class AutoPlaylistWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestHarness::clearUserFiles();
        LyrafoldLanguageService::setCurrent(LyrafoldLanguage::en);
    }

    void freshWindow()
    {
        BookmarkList rows = songs();
        rows += {song("/b/Zeta.pdf", 1, "Z"), song("/b/alpha.pdf", 1, "A"),
                 song("/b/Custom Single 3.pdf", 1, "C"), song("/b/x.pdf", 1, "D")};
        rows.last().pdfFileName = SlotStore::customSinglesBookName;
        Opened opened(rows);
        QCOMPARE(child<QSpinBox>(opened.window, "titlesField")->value(), 10);
        QCOMPARE(child<QSpinBox>(opened.window, "setsField")->value(), 1);
        QCOMPARE(child<QComboBox>(opened.window, "tempoTemplatePopup")->currentText(),
                 QStringLiteral("Club gig   M-MU-F-B-M-MU-MB"));
        QCOMPARE(child<QLineEdit>(opened.window, "playlistNameField")->text(),
                 QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        QCOMPARE(child<QLabel>(opened.window, "resultsTitleLabel")->text(),
                 QStringLiteral("Generated titles — click Generate above to create a list."));
        QCOMPARE(child<QLabel>(opened.window, "yearRangeLabel")->text(),
                 QStringLiteral("From 1900   To %1").arg(QDate::currentDate().year()));
        QStringList books;
        auto *bookTable = child<QListWidget>(opened.window, "bookTable");
        for (int row = 0; row < bookTable->count(); ++row)
            books.append(bookTable->item(row)->text());
        QCOMPARE(books, QStringList({"alpha.pdf", "Custom Singles", "joplin-pineapple-rag.pdf",
                                     "songs-from-the-public-domain.pdf", "Zeta.pdf"}));
    }

    void bookListFollowsTheLibrary()
    {
        Opened opened(songs());
        auto *bookTable = child<QListWidget>(opened.window, "bookTable");
        bookTable->item(1)->setSelected(true);
        Fixtures::setRows(
            opened.context.library(),
            {song(book("joplin-pineapple-rag.pdf"), 1, QStringLiteral("Rag")), song("/b/new.pdf", 1, "N")});
        WAIT_COMPARE(bookTable->item(1)->text(), QStringLiteral("new.pdf"));
        QCOMPARE(bookTable->count(), 2);
        QCOMPARE(bookTable->selectedItems().size(), 0);
        opened.generate(5);
        QCOMPARE(opened.titles()->rowCount(), 2);
    }

    void generateShowsTheList()
    {
        Opened opened(songs());
        opened.generate(4);
        QCOMPARE(opened.titles()->rowCount(), 4);
        QCOMPARE(opened.status(), QStringLiteral("Generated 4 title(s)."));
        QCOMPARE(child<QLabel>(opened.window, "resultsTitleLabel")->text(),
                 QStringLiteral("Generated titles (4) — drag ≡ to reorder"));

        // A book selected in the list limits the next Generate.
        auto *bookTable = child<QListWidget>(opened.window, "bookTable");
        bookTable->findItems(QStringLiteral("joplin-pineapple-rag.pdf"), Qt::MatchExactly)
            .first()
            ->setSelected(true);
        opened.generate(4);
        QCOMPARE(opened.shownTitles(), QStringList{"Pineapple Rag"});
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("generated");
        QTest::addColumn<QString>("status");
        QTest::newRow("save without a name, before Generate") << "saveButton"
                                                              << "   " << false << "Enter a playlist name.";
        QTest::newRow("save before Generate") << "saveButton"
                                              << "Set" << false << "Generate a playlist first.";
        QTest::newRow("share before Generate") << "shareButton"
                                               << "" << false << "Generate a playlist first.";
        QTest::newRow("saved") << "saveButton"
                               << " Set " << true << "Saved 3 items to \"Set\".";
    }

    void refusals()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        QFETCH(bool, generated);
        QFETCH(QString, status);
        Opened opened(songs());
        if (generated)
            opened.generate(3);
        child<QLineEdit>(opened.window, "playlistNameField")->setText(name);
        child<QPushButton>(opened.window, qPrintable(button))->click();
        QCOMPARE(opened.status(), status);
        const qsizetype saved = opened.context.playlists().indexOf(QStringLiteral("Set"));
        QCOMPARE(saved >= 0, generated);
        if (generated) {
            QStringList titles;
            for (const PlaylistItem &item : opened.context.playlists().playlists()[saved].items)
                titles.append(item.title);
            QCOMPARE(titles, opened.shownTitles());
        }
    }

    // The main window opens the window and tells in its own status line what Save put into the playlists.
    void saveIsToldInTheMainWindow()
    {
        AppContext context;
        MainWindowController main(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        Fixtures::setRows(context.library(), songs());
        MainWindowParts::pressTile(main, "autoPlaylistTile");
        QPointer window = main.findChild<AutoPlaylistWindowController *>();
        QVERIFY(window);
        child<QSpinBox>(window, "titlesField")->setValue(4);
        child<QPushButton>(window, "generateButton")->click();
        child<QLineEdit>(window, "playlistNameField")->setText(QStringLiteral("Gig"));
        child<QPushButton>(window, "saveButton")->click();
        QCOMPARE(MainWindowParts::statusField(main)->text(),
                 QStringLiteral("Saved auto-playlist \"Gig\" (4 titles)"));
        QCOMPARE(context.playlists()
                     .playlists()
                     .value(context.playlists().indexOf(QStringLiteral("Gig")))
                     .items.size(),
                 4);
        delete window.data();
    }

    void failedWriteReplacesTheSuccessText()
    {
        Opened opened(songs());
        opened.generate(3);
        TestHarness::FileSizeLimit fullDisk(10);
        child<QPushButton>(opened.window, "saveButton")->click();
        WAIT_VERIFY(opened.status().startsWith(QStringLiteral("Could not save playlists.json")));
    }

    void shareHandsTheListToTheFlow()
    {
        Opened opened(songs());
        opened.generate(3);
        child<QLineEdit>(opened.window, "playlistNameField")->setText(QStringLiteral("Gig"));
        QTemporaryDir target;
        ModalAnswer answer(QStringLiteral("OK"), shareBundleInto(target.path()));
        child<QPushButton>(opened.window, "shareButton")->click();
        WAIT_COMPARE(opened.status(), QStringLiteral("Saved exports to local folder."));
        const QStringList files = QDir(target.path()).entryList({QStringLiteral("*.lyf")});
        QCOMPARE(files.size(), 1);
        const auto bundle = LyfPlaylistCodec::readBundleFile(target.filePath(files.first()));
        QVERIFY(bundle);
        QCOMPARE(bundle->first().name, QStringLiteral("Gig"));
        QStringList titles;
        for (const PlaylistItem &item : bundle->first().items)
            titles.append(item.title);
        QCOMPARE(titles, opened.shownTitles());
    }

    void cardButtons_data()
    {
        QTest::addColumn<Button>("button");
        QTest::addColumn<QString>("spotifyURL");
        QTest::addColumn<QString>("opens");
        QTest::addColumn<int>("rowsLeft");
        QTest::addColumn<int>("rights"); // presses of the right arrow, then Space; 0: a click
        QTest::newRow("remove") << Button::remove << ""
                                << "" << 5 << 0;
        QTest::newRow("remove by keys: the last of five buttons") << Button::remove << ""
                                                                  << "" << 5 << 7;
        QTest::newRow("Spotify: the song's own link") << Button::spotify << "https://open.spotify.com/track/1"
                                                      << "https://open.spotify.com/track/1" << 6 << 0;
        QTest::newRow("Spotify: no usable link, a search")
            << Button::spotify << "not a link"
            << "https://open.spotify.com/search/Pineapple%20Rag" << 6 << 0;
        QTest::newRow("Spotify: a link that is no web page, a search")
            << Button::spotify << "javascript:alert(1)"
            << "https://open.spotify.com/search/Pineapple%20Rag" << 6 << 0;
        QTest::newRow("YouTube: a search")
            << Button::youtube << ""
            << "https://www.youtube.com/results?search_query=Pineapple%20Rag" << 6 << 0;
        QTest::newRow("YouTube by keys: the fourth button")
            << Button::youtube << ""
            << "https://www.youtube.com/results?search_query=Pineapple%20Rag" << 6 << 4;
    }

    void cardButtons()
    {
        QFETCH(Button, button);
        QFETCH(QString, spotifyURL);
        QFETCH(QString, opens);
        QFETCH(int, rowsLeft);
        QFETCH(int, rights);
        BookmarkList rows = songs();
        rows.last().spotifyURL = spotifyURL;
        Opened opened(rows);
        opened.generate(6);
        const int row = int(opened.shownTitles().indexOf(QStringLiteral("Pineapple Rag")));
        QVERIFY(row >= 0);
        OpenedUrls urls;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &urls, "open");
        if (rights > 0) {
            opened.table()->setFocus();
            opened.table()->setCurrentIndex(opened.table()->model()->index(row, 0));
            for (int step = 0; step < rights; ++step)
                QTest::keyClick(opened.table(), Qt::Key_Right);
            QTest::keyClick(opened.table(), Qt::Key_Space);
        } else {
            QTest::mouseClick(opened.table()->viewport(), Qt::LeftButton, {}, opened.cardPoint(row, button));
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(urls.urls.isEmpty() ? QString() : QString::fromUtf8(urls.urls.first().toEncoded()), opens);
        QCOMPARE(opened.titles()->rowCount(), rowsLeft);
        QVERIFY(topLevelWindows<PdfViewerWindowController>(true).isEmpty());
        if (button == Button::remove) {
            QVERIFY(!opened.shownTitles().contains(QStringLiteral("Pineapple Rag")));
            QCOMPARE(child<QLabel>(opened.window, "resultsTitleLabel")->text(),
                     QStringLiteral("Generated titles (5) — drag ≡ to reorder"));
        }
    }

    void swapTitleWithNothingLeft()
    {
        Opened opened(songs());
        opened.generate(6);
        const QStringList before = opened.shownTitles();
        ModalAnswer answer(QStringLiteral("OK"));
        QTest::mouseClick(opened.table()->viewport(), Qt::LeftButton, {},
                          opened.cardPoint(0, Button::titleSwap));
        WAIT_COMPARE(answer.messages, QStringList{"No other titles available"});
        QCOMPARE(answer.informativeTexts,
                 QStringList{"All matching titles are already in the generated list."});
        QCOMPARE(opened.shownTitles(), before);
    }

    void pressOpensTheTitle_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<int>("row");
        QTest::newRow("the card") << "card" << true << 2;
        QTest::newRow("the handle") << "handle" << false << 2;
        QTest::newRow("a button") << "button" << false << 2;
        QTest::newRow("Return on the selected card") << "return" << true << 2;
        // Tab rings the first card: Return opens it, and the first Down lands on it.
        QTest::newRow("Tab, Return") << "tab" << true << 0;
        QTest::newRow("Tab, Down, Return") << "tab down" << true << 0;
    }

    void pressOpensTheTitle()
    {
        QFETCH(QString, place);
        QFETCH(bool, opens);
        QFETCH(int, row);
        Opened opened(songs());
        opened.generate(4);
        const QPoint point = opened.cardPoint(
            2, place == QLatin1String("button") ? std::optional(Button::bookSwap) : std::nullopt,
            place == QLatin1String("handle"));
        QWidget *viewport = opened.table()->viewport();
        if (place == QLatin1String("return")) {
            QVERIFY(QTest::qWaitForWindowActive(opened.window.data(), TestHarness::hangGuardMs));
            opened.table()->setFocus();
            opened.table()->selectRow(2);
            QTest::keyClick(opened.table(), Qt::Key_Return);
            QCoreApplication::processEvents();
        } else if (place.startsWith(QLatin1String("tab"))) {
            QVERIFY(QTest::qWaitForWindowActive(opened.window.data(), TestHarness::hangGuardMs));
            opened.table()->setFocus(Qt::TabFocusReason);
            if (place.endsWith(QLatin1String("down")))
                QTest::keyClick(opened.table(), Qt::Key_Down);
            QTest::keyClick(opened.table(), Qt::Key_Return);
            QCoreApplication::processEvents();
        } else {
            // The window opens the title from the event loop, before the release or after it.
            QTest::mousePress(viewport, Qt::LeftButton, {}, point);
            QCoreApplication::processEvents();
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, point);
            QCoreApplication::processEvents();
        }
        const QList<PdfViewerWindowController *> viewers = topLevelWindows<PdfViewerWindowController>(true);
        QCOMPARE(viewers.size(), opens ? 1 : 0);
        if (!opens)
            return;
        // The whole list plays through in the viewer, from the title pressed.
        PdfViewerWindowController *viewer = viewers.first();
        const QStringList titles = opened.shownTitles();
        QCOMPARE(titles.size(), 4);
        QCOMPARE(ViewerParts::titleLabel(*viewer), titles[row]);
        QCOMPARE(ViewerParts::previousTitle(*viewer), titles.value(row - 1));
        QCOMPARE(ViewerParts::nextTitle(*viewer), titles[row + 1]);
        QVERIFY(viewer->findChild<QPushButton *>(QStringLiteral("addToPlaylistButton")));
        QCOMPARE(opened.table()->selectionModel()->selectedRows().first().row(), row);
        viewer->close();
    }

    void dropMovesAndSelects()
    {
        Opened opened(songs());
        opened.generate(4);
        QStringList expected = opened.shownTitles();
        expected.move(0, 2);
        std::unique_ptr<QMimeData> payload(GeneratedTitlesModel::rowMimeData(0));
        QVERIFY(opened.titles()->dropMimeData(payload.get(), Qt::MoveAction, 3, 0, {}));
        QCOMPARE(opened.shownTitles(), expected);
        QCOMPARE(opened.table()->selectionModel()->selectedRows().first().row(), 2);
        // The selected card is drawn as such; the row around it keeps the list's background.
        GeneratedTitlesView *table = opened.table();
        const QRect cell = table->visualRect(opened.titles()->index(2, 0));
        const QImage shown = table->viewport()->grab().toImage();
        QCOMPARE(shown.pixel(cell.left() + 2, cell.center().y()),
                 table->palette().color(QPalette::Base).rgb());

        QMimeData junk;
        junk.setData(opened.titles()->mimeTypes().constFirst(), "two");
        QVERIFY(!opened.titles()->dropMimeData(&junk, Qt::MoveAction, 0, 0, {}));
        QCOMPARE(opened.shownTitles(), expected);
    }

    // Steps: "p<x>" press, "m<x>" drag, "r" release; x in the view, whose track is 216 wide; "k<key>" a key.
    void yearSlider_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::newRow("a press 100 into the track") << "p108 r" << 1956 << 2020;
        QTest::newRow("left of the track: the first year") << "p116 r p0 r" << 1900 << 2020;
        QTest::newRow("right of the track: the last year") << "p200 r p232 r" << 1900 << 2020;
        QTest::newRow("the upper handle stops at the lower") << "p108 r p224 m100 m20 r" << 1956 << 1956;
        QTest::newRow("together, a press to the right moves the upper")
            << "p108 r p224 m108 r p150 r" << 1956 << 1979;
        QTest::newRow("together, a press to the left moves the lower")
            << "p108 r p224 m108 r p50 r" << 1923 << 1956;
        QTest::newRow("together, pressed on them: the drag decides")
            << "p108 r p224 m108 r p108 m150 r" << 1956 << 1979;
        QTest::newRow("keys move the lower handle") << "kRight kRight kLeft kUp" << 1902 << 2020;
        QTest::newRow("Tab moves on to the upper handle") << "kTab kPgDown kLeft" << 1900 << 2009;
        QTest::newRow("keys stop a handle at the other") << "kTab kHome kShift+Tab kEnd" << 1900 << 1900;
    }

    void yearSlider()
    {
        QFETCH(QString, steps);
        QFETCH(int, lower);
        QFETCH(int, upper);
        AutoPlaylistYearRangeSlider slider(1900, 2020);
        slider.resize(232, slider.height());
        if (steps.startsWith(QLatin1Char('k'))) {
            // Tab moves between the handles only while the slider has the focus.
            slider.show();
            QVERIFY(QTest::qWaitForWindowActive(&slider, TestHarness::hangGuardMs));
            slider.setFocus(Qt::TabFocusReason);
        }
        for (const QString &step : steps.split(QLatin1Char(' '))) {
            const QPoint at(step.mid(1).toInt(), 11);
            if (step.startsWith(QLatin1Char('k'))) {
                const QKeyCombination key = QKeySequence(step.mid(1))[0];
                QTest::keyClick(&slider, key.key(), key.keyboardModifiers());
            } else if (step.startsWith(QLatin1Char('p')))
                QTest::mousePress(&slider, Qt::LeftButton, {}, at);
            else if (step.startsWith(QLatin1Char('m')))
                QTest::mouseMove(&slider, at);
            else
                QTest::mouseRelease(&slider, Qt::LeftButton, {}, at);
        }
        QCOMPARE(slider.lowerYear(), lower);
        QCOMPARE(slider.upperYear(), upper);
    }

    void tagsLine_data()
    {
        QTest::addColumn<QString>("genre");
        QTest::addColumn<QString>("tempo");
        QTest::addColumn<std::optional<double>>("rating");
        QTest::addColumn<QString>("line");
        QTest::newRow("nothing") << ""
                                 << "" << std::optional<double>() << "Tags: —";
        QTest::newRow("half up") << "Swing"
                                 << "Medium" << std::optional(3.5) << "Tags: Swing • Medium • ★★★★☆";
        QTest::newRow("above five") << ""
                                    << "" << std::optional(7.0) << "Tags: ★★★★★";
        QTest::newRow("below one half") << ""
                                        << "" << std::optional(0.4) << "Tags: ☆☆☆☆☆";
        QTest::newRow("negative") << ""
                                  << "" << std::optional(-1.0) << "Tags: ☆☆☆☆☆";
        QTest::newRow("not a number: no stars") << "Jazz"
                                                << "" << std::optional(qQNaN()) << "Tags: Jazz";
    }

    void tagsLine()
    {
        QFETCH(QString, genre);
        QFETCH(QString, tempo);
        QFETCH(std::optional<double>, rating);
        QFETCH(QString, line);
        SongRecord entry;
        entry.genre = genre;
        entry.tempo = tempo;
        entry.rating = rating;
        QCOMPARE(AutoPlaylistGeneratedRowView::tagsLineForTesting(entry), line);
    }

    void pickersWriteBack_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<DialogAnswer>("answer");
        QTest::addColumn<QString>("written");
        const auto ok = [](QDialog *dialog) { dialog->accept(); };
        QTest::newRow("genres: OK keeps the known terms")
            << "genre"
            << "latin, JAZZ, Salsa" << DialogAnswer(ok) << "Jazz, Latin";
        QTest::newRow("styles: a ticked box")
            << "style"
            << "" << DialogAnswer([](QDialog *dialog) {
                   for (QCheckBox *box : dialog->findChildren<QCheckBox *>())
                       box->setChecked(box->text() == QLatin1String("Waltz"));
                   dialog->accept();
               })
            << "Waltz";
        QTest::newRow("tempo: (Any) empties the field")
            << "tempo"
            << "mu" << DialogAnswer([](QDialog *dialog) {
                   dialog->findChild<QComboBox *>(QStringLiteral("choicePopup"))->setCurrentIndex(0);
                   dialog->accept();
               })
            << "";
        QTest::newRow("popularity: a range")
            << "popularity"
            << "" << DialogAnswer([](QDialog *dialog) {
                   dialog->findChild<QComboBox *>(QStringLiteral("firstValuePopup"))->setCurrentIndex(4);
                   dialog->findChild<QComboBox *>(QStringLiteral("secondValuePopup"))->setCurrentIndex(2);
                   dialog->accept();
               })
            << "2-4";
        QTest::newRow("composer: appended") << "composer"
                                            << "Ellington" << DialogAnswer([](QDialog *dialog) {
                                                   dialog->findChild<QLineEdit *>(QStringLiteral("termField"))
                                                       ->setText(QStringLiteral("Jobim"));
                                                   dialog->accept();
                                               })
                                            << "Ellington, Jobim";
        QTest::newRow("composer: a term typed as it opens, then Return")
            << "composer"
            << "Ellington" << DialogAnswer([](QDialog *dialog) {
                   WAIT_VERIFY(QApplication::activeWindow() == dialog);
                   QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Jobim"));
                   QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
               })
            << "Ellington, Jobim";
        QTest::newRow("styles: Space as it opens ticks the first box")
            << "style"
            << "" << DialogAnswer([](QDialog *dialog) {
                   WAIT_VERIFY(QApplication::activeWindow() == dialog);
                   QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
                   if (dialog->isVisible())
                       QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
               })
            << "FIRST";
        QTest::newRow("cancel leaves the field")
            << "genre"
            << "latin, salsa" << DialogAnswer([](QDialog *dialog) { dialog->reject(); }) << "latin, salsa";
    }

    void pickersWriteBack()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(DialogAnswer, answer);
        QFETCH(QString, written);
        Opened opened(songs());
        auto *edit = child<QLineEdit>(opened.window, qPrintable(field + QStringLiteral("Field")));
        edit->setText(text);
        ModalAnswer answering(answer);
        child<QPushButton>(opened.window, qPrintable(field + QStringLiteral("BrowseButton")))->click();
        QCOMPARE(answering.otherDialogs, QStringList{AutoPlaylistFilterPicker::objectName});
        if (written == "FIRST")
            written = AutoPlaylistFilters::styleChoices().value(0);
        QCOMPARE(edit->text(), written);
    }

    // The controls the language table has rows for follow a switch; the title, the year range and the
    // count of generated titles, which it has none for, stay English.
    void languageFollows()
    {
        Opened opened(songs());
        LyrafoldLanguageService::setCurrent(LyrafoldLanguage::tr);
        QCOMPARE(opened.window->windowTitle(), QStringLiteral("Auto-Playlist"));
        QCOMPARE(child<QLabel>(opened.window, "resultsTitleLabel")->text(),
                 QStringLiteral("Üretilen başlıklar — liste oluşturmak için yukarıdaki Oluştur'a tıklayın."));
        WAIT_COMPARE(child<QPushButton>(opened.window, "generateButton")->text(), QStringLiteral("Oluştur"));
        QCOMPARE(child<QLabel>(opened.window, "yearRangeLabel")->text(),
                 QStringLiteral("From 1900   To %1").arg(QDate::currentDate().year()));
        child<QPushButton>(opened.window, "generateButton")->click();
        WAIT_VERIFY(
            child<QLabel>(opened.window, "resultsTitleLabel")->text().startsWith(u"Generated titles ("));
    }
};

LYRAFOLD_TEST_GUI_MAIN(AutoPlaylistWindowTest)
#include "tst_autoplaylistwindow.moc"
