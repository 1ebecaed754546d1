#include "Fixtures.h"
#include "MainWindowParts.h"
#include "ModalAnswer.h"
#include "TestHarnessGui.h"
#include "ViewerParts.h"
#include "core/annotations/PdfEditCacheFile.h"
#include "core/bookmarks/LibraryColumns.h"
#include "core/common/AppPaths.h"
#include "core/common/AppSettings.h"
#include "core/common/HoverLog.h"
#include "core/playlist/PlaylistStore.h"
#include "core/session/SongOpening.h"
#include "core/slotfiles/SlotStore.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/mainwindow/BookmarkHoverOverlay.h"
#include "ui/mainwindow/BookmarkTableModel.h"
#include "ui/mainwindow/BookmarkTableView.h"
#include "ui/mainwindow/MainSettingsMenu.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/mainwindow/WindowsStyleSlotTileView.h"
#include "ui/mainwindow/WindowsStyleToggleToolTileView.h"
#include "ui/mainwindow/WindowsStyleToolTileView.h"
#include "ui/playlists/PlaylistsWindowController.h"
#include "ui/services/LyrafoldHelpService.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>

#include <memory>

namespace {

using Window = std::unique_ptr<MainWindowController>;

using namespace MainWindowParts;

QString books()
{
    return TestHarness::home() + QStringLiteral("/Books");
}

BookmarkList songs(const QString &book, int count, int firstPage = 1)
{
    BookmarkList list;
    for (int i = 0; i < count; ++i)
        list.append(
            Fixtures::bookmark(book, firstPage + i, QStringLiteral("%1 %2").arg(book).arg(firstPage + i)));
    return list;
}

void writeMeta(const QByteArray &json)
{
    TestHarness::writeFile(SlotStore::metaFilePath(), json);
}

QList<bool> selectedTiles(const MainWindowController &window)
{
    QList<bool> flags;
    for (int slot = 0; slot < LibrarySession::slotCount; ++slot) {
        const WindowsStyleSlotTileView *tile = slotTile(window, slot);
        flags.append(ringed(tile));
    }
    return flags;
}

QList<bool> onlyTile(int slot)
{
    QList<bool> flags(6, false);
    flags[slot] = true;
    return flags;
}

QString status(const MainWindowController &window)
{
    return statusField(window)->text();
}

MainSettingsMenu *settingsMenu(const MainWindowController &window)
{
    return child<MainSettingsMenu>(window, QStringLiteral("mainSettingsMenu"));
}

QAction *itemWithData(QMenu *menu, const QVariant &data)
{
    for (QAction *item : menu->actions()) {
        if (item->menu()) {
            if (QAction *inner = itemWithData(item->menu(), data))
                return inner;
        } else if (!item->isSeparator() && item->data() == data) {
            return item;
        }
    }
    return nullptr;
}

QStringList checkedItems(QMenu *menu)
{
    QStringList titles;
    for (QAction *item : menu->actions()) {
        if (item->menu())
            titles += checkedItems(item->menu());
        else if (item->isChecked())
            titles.append(item->text());
    }
    return titles;
}

// What of the widget's text does not show: empty when all of it does.
QString clippedText(const QWidget *widget)
{
    QString text;
    int needed = 0;
    int room = widget->width();
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        text = label->text();
        if (label->wordWrap())
            return label->heightForWidth(label->contentsRect().width()) > label->contentsRect().height()
                       ? text
                       : QString();
        needed = label->fontMetrics().horizontalAdvance(text);
        room = label->contentsRect().width();
    } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        text = button->text();
        needed = button->sizeHint().width();
    } else if (const auto *edit = qobject_cast<const QLineEdit *>(widget); edit && edit->text().isEmpty()) {
        // The placeholder starts where the cursor stands; the clear button keeps as much room at the end
        // as the frame and a leading icon take at the start.
        text = edit->placeholderText();
        needed = edit->fontMetrics().horizontalAdvance(text);
        room = edit->width() - 2 * edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    }
    return !text.isEmpty() && needed > room ? text : QString();
}

// What Tab reaches in the window that shows no ring as wide as the buttons' when it has the focus: the
// controls of its focus chain, each pictured without the focus and with it.
QStringList focusFaults(QWidget *window)
{
    const auto isRing = [](const QColor &pixel) {
        const QColor ring = LyrafoldTheme::focusRing();
        return qAbs(pixel.red() - ring.red()) + qAbs(pixel.green() - ring.green()) +
                   qAbs(pixel.blue() - ring.blue()) <
               40;
    };
    const auto ringPixels = [&isRing](const QImage &image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += isRing(image.pixelColor(x, y)) ? 1 : 0;
        }
        return count;
    };
    // The widest run of the ring's colour along the picture's middle line.
    const auto ringWidth = [&isRing](const QImage &image) {
        int widest = 0;
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = isRing(image.pixelColor(x, image.height() / 2)) ? run + 1 : 0;
            widest = std::max(widest, run);
        }
        return widest;
    };
    QList<QWidget *> chain;
    for (QWidget *widget = window->nextInFocusChain(); widget != window;
         widget = widget->nextInFocusChain()) {
        if (widget->window() == window && widget->isVisible() && widget->isEnabled() &&
            (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy() && !chain.contains(widget))
            chain.append(widget);
    }
    QStringList faults;
    if (chain.isEmpty())
        faults.append(QStringLiteral("nothing takes the focus"));
    for (QWidget *widget : std::as_const(chain)) {
        if (QWidget *focused = window->focusWidget())
            focused->clearFocus();
        QCoreApplication::processEvents();
        const int without = ringPixels(widget->grab().toImage());
        widget->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        const QString name = widget->metaObject()->className() + QStringLiteral("#") + widget->objectName();
        if (!widget->hasFocus()) {
            faults.append(name + QStringLiteral(" takes no focus"));
            continue;
        }
        const QImage focused = widget->grab().toImage();
        if (ringPixels(focused) < without + 20)
            faults.append(name + QStringLiteral(" shows no ring"));
        // Where the ring crosses the middle line (a list rings its current item, which the line may miss).
        else if (!qobject_cast<QAbstractItemView *>(widget) && ringWidth(focused) < 2)
            faults.append(name + QStringLiteral(" rings %1 unit wide").arg(ringWidth(focused)));
    }
    return faults;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("rowsOverParts", "nothingOverlapsOrClips")

private Q_SLOTS:
    void init()
    {
        LibrarySession::waitForPendingSaves();
        TestHarness::clearUserFiles();
    }

    void cleanup() { LibrarySession::waitForPendingSaves(); }

    void startsOnTheStoredSlot_data()
    {
        QTest::addColumn<QByteArray>("meta"); // null: no file
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("status"); // how the status line begins
        QTest::newRow("9 gives slot 5") << QByteArray(R"({"activeSlot":9,"slotNames":{}})") << 5 << "Ready";
        QTest::newRow("-2 gives slot 0") << QByteArray(R"({"activeSlot":-2,"slotNames":{}})") << 0 << "Ready";
        QTest::newRow("corrupt gives slot 0")
            << QByteArray("{\"activeSlot\":3,") << 0 << "slots_meta.json could not be read and was set aside";
        QTest::newRow("missing gives slot 0") << QByteArray() << 0 << "Ready";
        QTest::newRow("stored 4") << QByteArray(R"({"activeSlot":4,"slotNames":{"4":" Gig "}})") << 4
                                  << "Ready";
    }

    void startsOnTheStoredSlot()
    {
        QFETCH(QByteArray, meta);
        QFETCH(int, slot);
        QFETCH(QString, status);
        if (!meta.isNull())
            writeMeta(meta);
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        QCOMPARE(window.windowTitle(), "LYRAFOLD (beta)");
        QCOMPARE(window.size(), QSize(1380, 640));
        QCOMPARE(window.minimumSize(), QSize(1200, 480));
        QCOMPARE(context.library().currentSlotId(), slot);
        QCOMPARE(selectedTiles(window), onlyTile(slot));
        QCOMPARE(slotTile(window, 4)->numberField()->text(), slot == 4 ? "Gig" : "Slot 4");
        QVERIFY2(::status(window).startsWith(status), qPrintable(::status(window)));
    }

    // A slot's folder comes back with it, is shown and unlocks Extract Bookmarks; the status line
    // tells the books, found by lower-cased name.
    void loadsTheSlotWithItsFolder()
    {
        TestHarness::writeFile(books() + "/Alpha.pdf", "%PDF-1.4");
        BookmarkList rows = songs(books() + "/Alpha.pdf", 2);
        rows += songs(books() + "/Beta.pdf", 1);
        rows[1].pdfFileName = QStringLiteral("ALPHA.PDF");
        QVERIFY(SlotStore::saveSlot(2, rows, books()));
        writeMeta(R"({"activeSlot":2,"slotNames":{}})");
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        QCOMPARE(status(window), "Loaded 3 bookmarks from Slot 2 • 2 books (1 available, 1 unavailable)");
        QCOMPARE(child<QLineEdit>(window, "folderPathField")->text(), books());
        QVERIFY(button(window, "extractButton")->isEnabled());
        QCOMPARE(tableModel(window)->rowCount(), 3);
        QCOMPARE(searchResultsLabel(window)->text(), "3 results");

        context.library().saveCurrentSlot();
        QCOMPARE(SlotStore::selectedFolder(2), books());
    }

    // The window shows before the slot is read: it says so, and what the user does meanwhile is not
    // lost: a search typed applies to the rows when they arrive, a menu item chosen runs then.
    void showsBeforeTheSlotIsRead()
    {
        const BookmarkList rows = songs(books() + "/Alpha.pdf", 3) + songs(books() + "/Beta.pdf", 2);
        QVERIFY(SlotStore::saveSlot(2, rows, books()));
        writeMeta(R"({"activeSlot":2,"slotNames":{}})");
        AppContext context;
        MainWindowController window(context);
        QCOMPARE(status(window), "Loading Slot 2…");
        QCOMPARE(tableModel(window)->rowCount(), 0);
        QCOMPARE(searchResultsLabel(window)->text(), QString());
        searchField(window)->setText(QStringLiteral("beta"));
        QAction *save = window.menuBar()->actions().constFirst()->menu()->actions().constFirst();
        QCOMPARE(save->text(), "Save Slot to Disk");
        save->trigger();

        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        QCOMPARE(searchField(window)->text(), "beta");
        WAIT_COMPARE(tableModel(window)->rowCount(), 2);
        QCOMPARE(searchResultsLabel(window)->text(), "2 results");
        QCOMPARE(status(window), "Slot 2 saved");
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlot(2), rows);
    }

    void customAndDefaultStayOpposite_data()
    {
        QTest::addColumn<QString>("presses"); // C: the CUSTOM tile, D: the DEFAULT tile
        QTest::addColumn<bool>("customOn");
        QTest::newRow("at start") << "" << true;
        QTest::newRow("DEFAULT") << "D" << false;
        QTest::newRow("DEFAULT twice") << "DD" << false;
        QTest::newRow("DEFAULT then CUSTOM") << "DC" << true;
        QTest::newRow("CUSTOM while on stays on") << "C" << true;
    }

    void customAndDefaultStayOpposite()
    {
        QFETCH(QString, presses);
        QFETCH(bool, customOn);
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        for (QChar press : presses) {
            WindowsStyleToggleToolTileView *tile = press == 'C' ? toggleTile(window, "customToggleTile")
                                                                : toggleTile(window, "defaultToggleTile");
            clickTile(tile);
        }
        const auto borderOf = [](WindowsStyleToggleToolTileView *tile) {
            return glassOf(tile)->borderWidth();
        };
        QCOMPARE(customModeToggle(window)->isChecked(), customOn);
        QCOMPARE(toggleTile(window, "defaultToggleTile")->hitButton()->isChecked(), !customOn);
        QCOMPARE(borderOf(toggleTile(window, "customToggleTile")), customOn ? 3.0 : 1.0);
        QCOMPARE(borderOf(toggleTile(window, "defaultToggleTile")), customOn ? 1.0 : 3.0);
    }

    // The slot shown comes with its own folder, which the folder field names and Extract works on; a
    // slot without one leaves the field empty and Extract off.
    void switchingSlotsSavesTheOneLeft_data()
    {
        QTest::addColumn<QString>("folder"); // stored with the slot switched to
        QTest::newRow("a slot with its folder") << "/elsewhere";
        QTest::newRow("a slot without a folder") << "";
    }

    void switchingSlotsSavesTheOneLeft()
    {
        QFETCH(QString, folder);
        writeMeta(R"({"activeSlot":1,"slotNames":{"3":"Band"}})");
        QVERIFY(SlotStore::saveSlot(1, songs("/b/One.pdf", 3), books()));
        QVERIFY(SlotStore::saveSlot(3, songs("/b/Three.pdf", 2), folder));
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        QCOMPARE(child<QLineEdit>(window, "folderPathField")->text(), books());
        context.library().setSelectedFolder(books());
        Fixtures::setSavedRows(context.library(), songs("/b/One.pdf", 4));
        searchField(window)->setText(QStringLiteral("leftover"));
        tableView(window)->selectRow(0);

        // The tile follows the click at once, while the slot loads.
        QTest::mouseClick(slotTile(window, 3), Qt::LeftButton);
        QCOMPARE(selectedTiles(window), onlyTile(3));
        QCOMPARE(status(window), "Loading Band…");
        WAIT_COMPARE(context.library().currentSlotId(), 3);
        QCOMPARE(selectedTiles(window), onlyTile(3));
        QCOMPARE(status(window), "Switched to Band (2 bookmarks) • 1 books (0 available, 1 unavailable)");
        QCOMPARE(tableModel(window)->rowCount(), 2);
        QVERIFY(searchField(window)->text().isEmpty());
        QVERIFY(tableView(window)->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(child<QLineEdit>(window, "folderPathField")->text(), folder);
        QCOMPARE(button(window, "extractButton")->isEnabled(), !folder.isEmpty());
        const SlotStore::SlotContents left = SlotStore::loadSlotContents(1);
        QCOMPARE(left.bookmarks, songs("/b/One.pdf", 4));
        QCOMPARE(left.selectedFolder, books());
        const auto meta = SlotStore::loadMeta();
        QCOMPARE(meta->activeSlot, 3);
        QCOMPARE(meta->slotNames.value(3), "Band");
    }

    void clickingTheCurrentSlotWritesNothing()
    {
        const QByteArray meta = R"({ "activeSlot" : 2, "slotNames" : {} })";
        writeMeta(meta);
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        statusField(window)->setStatus(QStringLiteral("untouched"));
        clickTile(slotTile(window, 2));
        LibrarySession::waitForPendingSaves();
        QCOMPARE(status(window), "untouched");
        QCOMPARE(TestHarness::readFile(SlotStore::metaFilePath()), meta);
        QVERIFY(!QFileInfo::exists(SlotStore::slotFilePath(2)));
        QVERIFY(!QFileInfo::exists(AppPaths::bookmarkCachePath()));
    }

    // The table shows at most 2000 rows; the count says how many there are, in the interface
    // language, and the headers follow the language while the identifiers stay English.
    void languageAndTheRowCap_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("status");
        QTest::newRow("English") << "en"
                                 << "2500 results"
                                 << "Language set to English.";
        QTest::newRow("Turkish") << "tr"
                                 << "2500 sonuç"
                                 << "Dil Türkçe olarak ayarlandı.";
        QTest::newRow("Spanish") << "es"
                                 << "2500 resultados"
                                 << "Idioma cambiado a Español.";
    }

    void languageAndTheRowCap()
    {
        QFETCH(QString, language);
        QFETCH(QString, count);
        QFETCH(QString, status);
        QVERIFY(SlotStore::saveSlot(0, songs("/b/Big.pdf", 2500), QString()));
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        QMenu *menu = openSettingsMenu(window);
        itemWithData(menu, language)->trigger();
        menu->close();
        QCOMPARE(searchResultsLabel(window)->text(), count);
        QCOMPARE(::status(window), status);
        QCOMPARE(tableModel(window)->rowCount(), 2000);
        QVERIFY(!tableModel(window)->index(2000, 2).isValid());

        const auto lang = *LyrafoldLanguageService::languageFromRawValue(language);
        QHeaderView *header = tableView(window)->horizontalHeader();
        for (int column = 0; column < 12; ++column) {
            const QString id = LibraryColumns::identifiers().at(column);
            QCOMPARE(tableModel(window)->headerData(column, Qt::Horizontal).toString(),
                     LyrafoldLanguageService::localized(id, lang));
            QCOMPARE(header->model()
                         ->headerData(column, Qt::Horizontal, BookmarkTableModel::columnIdentifierRole)
                         .toString(),
                     id);
        }
        if (language == "tr")
            QCOMPARE(tableModel(window)->headerData(2, Qt::Horizontal).toString(), "Bookmark Başlığı");
        AppSettings::remove(AppSettings::uiLanguageKey);
    }

    // The texts the language service looks up follow the language, also those of controls whose own
    // text the window writes (the selection buttons' titles without a count); the menus do not.
    void routedTextsFollowTheLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("Turkish") << "tr";
        QTest::newRow("Spanish") << "es";
    }

    void routedTextsFollowTheLanguage()
    {
        QFETCH(QString, language);
        QVERIFY(SlotStore::saveSlot(2, songs("/b/A.pdf", 3), QString()));
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        const auto lang = *LyrafoldLanguageService::languageFromRawValue(language);
        LyrafoldLanguageService::setCurrent(lang);
        // Qt's own texts go back to English too, or later tests of this program meet them translated.
        const auto restore = qScopeGuard([] {
            AppSettings::remove(AppSettings::uiLanguageKey);
            LyrafoldLanguageService::loadQtTranslations();
        });
        QCoreApplication::processEvents();
        const auto in = [lang](const QString &english) {
            return LyrafoldLanguageService::localized(english, lang).replace(QChar(0xFF0B), QLatin1Char('+'));
        };
        QPushButton *edit = button(window, "editModeButton");
        QCOMPARE(edit->text(), in("Edit"));
        QCOMPARE(edit->toolTip(),
                 in("Toggle column edit mode. Then click a column header to edit that column."));
        QCOMPARE(button(window, "tagSelectedButton")->text(), in("Tag selected"));
        QCOMPARE(button(window, "tagSelectedButton")->toolTip(),
                 in("Auto-tag selected title rows with MusicBrainz-based metadata."));
        QCOMPARE(button(window, "deleteSelectedButton")->text(), in("Delete selected"));
        QCOMPARE(button(window, "deleteSelectedButton")->toolTip(),
                 in("Delete selected title rows from the current slot."));
        QCOMPARE(child<QLineEdit>(window, QStringLiteral("folderPathField"))->placeholderText(),
                 in("No folder selected"));
        QCOMPARE(status(window), in("Ready")); // nothing loaded yet
        QCOMPARE(tableView(window)->horizontalHeader()->accessibleName(), in("Sort by column"));
        QCOMPARE(child<QLabel>(window, QStringLiteral("tipsLabel"))->text().replace(QChar(0xFF0B), '+'),
                 in("Tips: press ＋ to add to playlist • hover to preview • click once to open page"));
        // The menus and the slots' names stay English.
        QCOMPARE(window.menuBar()->actions().constFirst()->text(), "Slots");
        QCOMPARE(slotTile(window, 4)->numberField()->text(), "Slot 4");
        QCOMPARE(slotTile(window, 4)->hitButton()->toolTip(), in("Switch to slot %1").arg(4));
        // Whole on the tile, or named in full by its tool tip.
        QVERIFY(slotTile(window, 0)->numberField()->text() == in("Default") ||
                slotTile(window, 0)->hitButton()->toolTip().startsWith(in("Default") + '\n'));
        QCOMPARE(window.menuBar()->actions().constLast()->menu()->actions().constLast()->text(),
                 "Discogs API Token…");

        // Back to English with the window open.
        LyrafoldLanguageService::setCurrent(LyrafoldLanguage::en);
        QCoreApplication::processEvents();
        QCOMPARE(button(window, "tagSelectedButton")->text(), "Tag selected");
        QCOMPARE(edit->text(), "Edit");
        QCOMPARE(window.menuBar()->actions().constFirst()->text(), "Slots");
        QCOMPARE(slotTile(window, 4)->numberField()->text(), "Slot 4");
    }

    void editableCells_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("editMode");
        QTest::addColumn<QStringList>("editable");
        const QStringList seven{"Bookmark Title", "Genre", "Style (rhythm/feel)", "Year", "Composer",
                                "Tempo",          "Rating"};
        QTest::newRow("slot 2, edit mode") << 2 << true << seven;
        QTest::newRow("slot 2, no edit mode") << 2 << false << QStringList();
        QTest::newRow("slot 0 stays read-only") << 0 << true << QStringList();
    }

    void editableCells()
    {
        QFETCH(int, slot);
        QFETCH(bool, editMode);
        QFETCH(QStringList, editable);
        writeMeta(QStringLiteral(R"({"activeSlot":%1,"slotNames":{}})").arg(slot).toUtf8());
        QVERIFY(SlotStore::saveSlot(slot, songs("/b/A.pdf", 2), QString()));
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        if (editMode)
            button(window, "editModeButton")->click();
        QStringList open;
        for (int column = 0; column < 12; ++column) {
            if (tableModel(window)->flags(tableModel(window)->index(1, column)) & Qt::ItemIsEditable)
                open.append(BookmarkTableModel::columnIdentifier(column));
        }
        QCOMPARE(open, editable);
        if (!editable.isEmpty()) {
            QVERIFY(tableModel(window)->setData(tableModel(window)->index(0, 3), QStringLiteral(" Bebop\n")));
            WAIT_COMPARE(status(window), "Updated Genre for 1 matching title(s).");
            QCOMPARE(context.library().allBookmarks().at(0).genre, "Bebop");
            QVERIFY(customModeToggle(window)->isChecked());
            // A title edited to blanks is refused; the cell keeps its title.
            QVERIFY(tableModel(window)->setData(tableModel(window)->index(1, 2), QStringLiteral("  ")));
            WAIT_COMPARE(status(window), "A title cannot be empty.");
            QCOMPARE(tableModel(window)->index(1, 2).data().toString(), "/b/A.pdf 2");
        }
    }

    // The header's sections pressed from the keyboard, which is what a click on them does.
    void headerClicks_data()
    {
        QTest::addColumn<bool>("editMode");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("presses");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("editButton");
        QTest::addColumn<QString>("sorted");
        // "-": the status stays as it was.
        const QString title = QStringLiteral("Editing: Bookmark Title");
        QTest::newRow("Add neither sorts nor edits")
            << true << 0 << int(Qt::Key_Space) << 1 << "-" << title << "";
        QTest::newRow("Share neither sorts nor edits")
            << true << 1 << int(Qt::Key_Return) << 1 << "-" << title << "";
        QTest::newRow("Genre sorts") << false << 3 << int(Qt::Key_Space) << 1 << "-"
                                     << "Edit"
                                     << "Genre ascending";
        QTest::newRow("Genre again reverses") << false << 3 << int(Qt::Key_Return) << 2 << "-"
                                              << "Edit"
                                              << "Genre descending";
        QTest::newRow("Genre in edit mode")
            << true << 3 << int(Qt::Key_Enter) << 1 << "Edit mode column: Genre"
            << "Editing: Genre"
            << "Genre ascending";
        QTest::newRow("Page in edit mode only sorts")
            << true << 6 << int(Qt::Key_Space) << 1 << "-" << title << "Page ascending";
    }

    void headerClicks()
    {
        QFETCH(bool, editMode);
        QFETCH(int, column);
        QFETCH(int, key);
        QFETCH(int, presses);
        QFETCH(QString, status);
        QFETCH(QString, editButton);
        QFETCH(QString, sorted);
        QVERIFY(SlotStore::saveSlot(0, songs("/b/A.pdf", 3), QString()));
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        if (editMode)
            button(window, "editModeButton")->click();
        const QString before = ::status(window);
        QHeaderView *header = tableView(window)->horizontalHeader();
        // One section past the one wanted, and back.
        for (int step = 0; step <= column; ++step)
            QTest::keyClick(header, Qt::Key_Right);
        QTest::keyClick(header, Qt::Key_Left);
        for (int press = 0; press < presses; ++press)
            QTest::keyClick(header, Qt::Key(key));
        QCOMPARE(::status(window), status == QLatin1String("-") ? before : status);
        QCOMPARE(button(window, "editModeButton")->text(), editButton);
        const std::optional<QString> sortColumn = context.shownRows().sortColumn();
        QCOMPARE(sortColumn
                     ? *sortColumn + (context.shownRows().sortAscending() ? " ascending" : " descending")
                     : QString(),
                 sorted);
        QCOMPARE(header->isSortIndicatorShown(), bool(sortColumn));
        if (sortColumn)
            QCOMPARE(header->sortIndicatorSection(), column);
    }

    // Selected songs stay selected when the rows come back in another order; the buttons count them
    // and look active only outside the Default slot.
    void selectionFollowsSongs_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("active");
        QTest::newRow("slot 1") << 1 << true;
        QTest::newRow("Default slot") << 0 << false;
    }

    void selectionFollowsSongs()
    {
        QFETCH(int, slot);
        QFETCH(bool, active);
        writeMeta(QStringLiteral(R"({"activeSlot":%1,"slotNames":{}})").arg(slot).toUtf8());
        const BookmarkList rows = songs("/b/A.pdf", 5);
        QVERIFY(SlotStore::saveSlot(slot, rows, QString()));
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        QCOMPARE(button(window, "tagSelectedButton")->text(), "Tag selected");
        tableView(window)->selectionModel()->select(
            QItemSelection(tableModel(window)->index(1, 0), tableModel(window)->index(2, 11)),
            QItemSelectionModel::Select);
        QCOMPARE(button(window, "tagSelectedButton")->text(), "Tag 2 selected");
        QCOMPARE(button(window, "deleteSelectedButton")->text(), "Delete 2 selected");
        QCOMPARE(button(window, "tagSelectedButton")->property("lyrafoldActiveLook").toBool(), active);
        QVERIFY(button(window, "tagSelectedButton")->isEnabled());

        // The rows in reverse: by page, descending.
        context.shownRows().sortFilteredByColumn(LibraryColumns::page);
        context.shownRows().sortFilteredByColumn(LibraryColumns::page);
        table(window)->reload(LibraryTableController::SelectionAfterReload::keepSongs);
        QCOMPARE(selectedRows(window), (QList<int>{2, 3}));
        QCOMPARE(context.shownRows().uniqueAllBookmarksIndices(selectedRows(window)),
                 (QList<qsizetype>{2, 1}));
        QCOMPARE(button(window, "deleteSelectedButton")->text(), "Delete 2 selected");
    }

    void settingsMenuCheckMarks_data()
    {
        QTest::addColumn<QString>("storedLanguage"); // empty: none stored
        QTest::addColumn<QString>("storedMicrophone");
        QTest::addColumn<QStringList>("checked");
        QTest::newRow("nothing stored") << ""
                                        << "" << QStringList{"English", "System default microphone"};
        QTest::newRow("unknown language") << "fr"
                                          << "mic-2" << QStringList{"English", "USB Mic"};
        QTest::newRow("Spanish, device gone")
            << "es"
            << "unplugged" << QStringList{"Español"}; // not even the default microphone
    }

    void settingsMenuCheckMarks()
    {
        QFETCH(QString, storedLanguage);
        QFETCH(QString, storedMicrophone);
        QFETCH(QStringList, checked);
        if (!storedLanguage.isEmpty())
            AppSettings::setValue(AppSettings::uiLanguageKey, storedLanguage);
        if (!storedMicrophone.isEmpty())
            AppSettings::setValue(AppSettings::listenMicrophoneUidKey, storedMicrophone);
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        settingsMenu(window)->setMicrophonesForTesting(
            {{"mic-1", "Built-in Microphone"}, {"mic-2", "USB Mic"}});
        QMenu *menu = openSettingsMenu(window);
        QCOMPARE(checkedItems(menu), checked);
        QCOMPARE(menu->actions().last()->text(), "AudD API Token…"); // in every language
        menu->close();
        AppSettings::remove(AppSettings::uiLanguageKey);
    }

    void storesMicrophoneAndToken()
    {
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        settingsMenu(window)->setMicrophonesForTesting({{"mic-2", "USB Mic"}});
        const auto choose = [&window](const QVariant &data) {
            QMenu *menu = openSettingsMenu(window);
            itemWithData(menu, data)->trigger();
            menu->close();
        };
        choose(QStringLiteral("mic-2"));
        QCOMPARE(AppSettings::stringValue(AppSettings::listenMicrophoneUidKey), "mic-2");
        QCOMPARE(status(window), "Listen microphone set to USB Mic.");
        choose(QString());
        QVERIFY(!AppSettings::contains(AppSettings::listenMicrophoneUidKey));
        QCOMPARE(status(window), "Listen microphone set to system default.");

        // The token item's dialog, answered by typing into its field and pressing a button.
        const auto answer = [&window](const QString &item, const QString &typed, const QString &button) {
            ModalAnswer dialog(QList<ModalAnswer::Step>{[typed, button](QDialog *shown) {
                shown->findChild<QLineEdit *>()->setText(typed);
                ModalAnswer::press(shown, button);
            }});
            QMenu *menu = openSettingsMenu(window);
            for (QAction *action : menu->actions()) {
                if (action->text() == item)
                    action->trigger();
            }
            menu->close();
            QCOMPARE(dialog.stepsLeft(), 0);
        };
        const QString discogs = QStringLiteral("Discogs API Token…");
        answer(discogs, QStringLiteral("  abc123 \n"), QStringLiteral("Save"));
        QCOMPARE(AppSettings::stringValue(AppSettings::discogsUserTokenKey), "abc123");
        answer(discogs, QStringLiteral("other"), QStringLiteral("Cancel"));
        QCOMPARE(AppSettings::stringValue(AppSettings::discogsUserTokenKey), "abc123");
        answer(discogs, QStringLiteral(" \t "), QStringLiteral("Save"));
        QVERIFY(!AppSettings::contains(AppSettings::discogsUserTokenKey));
        QCOMPARE(status(window), "Discogs token saved.");
        AppSettings::setValue(AppSettings::discogsUserTokenKey, QStringLiteral("x"));
        answer(discogs, QString(), QStringLiteral("Clear"));
        QVERIFY(!AppSettings::contains(AppSettings::discogsUserTokenKey));
        QCOMPARE(status(window), "Discogs token cleared.");

        const QString audd = QStringLiteral("AudD API Token…");
        answer(audd, QStringLiteral(" audd-1\n"), QStringLiteral("Save"));
        QCOMPARE(AppSettings::stringValue(AppSettings::recognitionTokenKey), "audd-1");
        QCOMPARE(status(window), "AudD token saved.");
        answer(audd, QString(), QStringLiteral("Clear"));
        QVERIFY(!AppSettings::contains(AppSettings::recognitionTokenKey));
        QCOMPARE(status(window), "AudD token cleared.");
    }

    void menusFollowTheApplicationMenu()
    {
        auto *bar = new QMenuBar;
        bar->addMenu(QStringLiteral("Lyrafold"));
        AppContext context;
        MainWindowController window(context, bar);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        QStringList titles;
        for (QAction *menu : window.menuBar()->actions())
            titles.append(menu->text());
        QCOMPARE(titles, (QStringList{"Lyrafold", "Slots", "Tools"}));
        for (QAction *menu : window.menuBar()->actions().mid(1)) {
            for (QAction *item : menu->menu()->actions())
                QVERIFY(item->shortcut().isEmpty());
        }
        QCOMPARE(window.menuBar()->actions().at(1)->menu()->actions().size(), 7);
        QCOMPARE(window.menuBar()->actions().at(2)->menu()->actions().size(), 8);
    }

    // At the smallest, the default and a large size, in each language: the panels follow each other
    // without overlapping, every control lies inside its panel and shows its whole text (the built-in
    // slot's name too), the tiles all fit without scrolling, the column headers are whole, and the help
    // button covers nothing.
    void nothingOverlapsOrClips_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("selected");
        for (const QSize size : {QSize(1200, 480), QSize(1380, 640), QSize(1920, 1080)}) {
            for (const char *language : {"en", "tr", "es"}) {
                TestHarness::partAddRow("%dx%d %s", size.width(), size.height(), language)
                    << size << QString::fromLatin1(language) << false;
            }
        }
        // Every row selected: the selection buttons show their counted titles.
        for (const char *language : {"en", "tr", "es"})
            TestHarness::partAddRow("1200x480 %s, rows selected", language)
                << QSize(1200, 480) << QString::fromLatin1(language) << true;
    }

    void nothingOverlapsOrClips()
    {
        QFETCH(QSize, size);
        QFETCH(QString, language);
        QFETCH(bool, selected);
        QVERIFY(SlotStore::saveSlot(0, Fixtures::realisticLibrary(40), QString()));
        // A name longer than its tile ends in an ellipsis and is named in full by the tool tip.
        writeMeta(R"({"activeSlot":0,"slotNames":{"3":"Rehearsal Set for Sunday"}})");
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        window.resize(size);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, TestHarness::hangGuardMs));
        // Switched while the window shows: the texts change in place.
        LyrafoldLanguageService::setCurrent(*LyrafoldLanguageService::languageFromRawValue(language));
        // Qt's own texts go back to English too, or later tests of this program meet them translated.
        const auto restore = qScopeGuard([] {
            AppSettings::remove(AppSettings::uiLanguageKey);
            LyrafoldLanguageService::loadQtTranslations();
        });
        if (selected)
            tableView(window)->selectAll();
        TestHarness::settleWorkers(); // the texts' and layouts' posted updates
        QCOMPARE(window.size(), size);

        QWidget *content = window.centralWidget();
        QVERIFY(content->layout()->minimumSize().height() <= content->height());
        int previousBottom = -1;
        for (int i = 0; i < content->layout()->count(); ++i) {
            const QRect panel = content->layout()->itemAt(i)->geometry();
            QVERIFY2(panel.top() > previousBottom, qPrintable(QString::number(i)));
            previousBottom = panel.bottom();
        }
        QVERIFY(previousBottom < content->height());

        auto *strip = child<QScrollArea>(window, QStringLiteral("toolStrip"));
        QCOMPARE(strip->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(tableView(window)->horizontalScrollBar()->maximum(), 0);
        QWidget *help = child<QWidget>(window, QLatin1String(LyrafoldHelpService::helpButtonName));
        const QRect helpArea(help->mapTo(content, QPoint()), help->size());

        QStringList faults;
        for (QWidget *widget : content->findChildren<QWidget *>()) {
            if (!widget->isVisibleTo(&window) || widget->isWindow() || widget == help ||
                tableView(window)->isAncestorOf(widget))
                continue;
            const QString name =
                widget->objectName().isEmpty() ? widget->metaObject()->className() : widget->objectName();
            if (!widget->parentWidget()->rect().contains(widget->geometry()))
                faults.append(name + QStringLiteral(" sticks out of its panel"));
            const QString clipped =
                qobject_cast<TileView *>(widget->parentWidget()) && qobject_cast<QLabel *>(widget)
                    ? (TileView::captionFitsForTesting(static_cast<QLabel *>(widget))
                           ? QString()
                           : static_cast<QLabel *>(widget)->text())
                    : clippedText(widget);
            if (!clipped.isEmpty())
                faults.append(name + QStringLiteral(" cuts \"%1\"").arg(clipped));
            const QRect area(widget->mapTo(content, QPoint()), widget->size());
            if (!qobject_cast<QScrollArea *>(widget) && widget->children().isEmpty() &&
                area.intersects(helpArea))
                faults.append(name + QStringLiteral(" lies under the help button"));
        }
        QHeaderView *header = tableView(window)->horizontalHeader();
        const QFontMetrics headerFont(LyrafoldTheme::playlistCardTitleFontBold(12));
        for (int column = 0; column < header->count(); ++column) {
            const QString title = tableModel(window)->headerData(column, Qt::Horizontal).toString();
            if (headerFont.horizontalAdvance(title) >= header->sectionSize(column))
                faults.append(QStringLiteral("header cuts \"%1\"").arg(title));
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
        // The tiles keep their square and the name its type: a name longer than the line ("Varsayılan",
        // "Predeterminado") is cut, and the tool tip names it whole.
        const QString builtIn = LyrafoldLanguageService::localized(QStringLiteral("Default"));
        const QString shownName = slotTile(window, 0)->numberField()->text();
        QVERIFY2(shownName == builtIn ||
                     (shownName.endsWith(u'…') && builtIn.startsWith(shownName.chopped(1)) &&
                      slotTile(window, 0)->hitButton()->toolTip().startsWith(builtIn + '\n')),
                 qPrintable(shownName));
        for (int slot = 0; slot < LibrarySession::slotCount; ++slot)
            QCOMPARE(slotTile(window, slot)->size(), QSize(60, 60));
        const WindowsStyleSlotTileView *named = slotTile(window, 3);
        QVERIFY2(named->numberField()->text().endsWith(u'…'), qPrintable(named->numberField()->text()));
        QVERIFY(named->hitButton()->toolTip().contains(QStringLiteral("Rehearsal Set for Sunday")));
    }

    // A tile takes a click anywhere on it, also when its hit button is disabled (Extract Bookmarks
    // starts so and still has to let the user pick a folder).
    void tilesTakeClicksAnywhere()
    {
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        QVERIFY(!button(window, "extractButton")->isEnabled());
        auto *extract =
            qobject_cast<WindowsStyleToolTileView *>(button(window, "extractButton")->parentWidget());
        QCOMPARE(extract->sizeHint(), QSize(104, 132));
        QString asked;
        {
            ModalAnswer answer([&](QDialog *dialog) {
                asked = dialog->windowTitle();
                dialog->reject();
            });
            clickTile(extract);
        }
        QCOMPARE(asked, "Select folder containing PDF fakebooks");
        QCOMPARE(toggleTile(window, "customToggleTile")->sizeHint(), QSize(104, 63));
        QCOMPARE(slotTile(window, 0)->size(), QSize(60, 60));
    }

    // Every control that Tab reaches, in every window and dialog, shows the keyboard focus with the
    // theme's ring: its picture with the focus holds the ring's colour where its picture without it has
    // none, at least as wide as the buttons' ring; an alert's buttons too.
    void focusRings_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *window :
             {"main", "playlists", "auto playlist", "workshop", "custom files", "viewer", "viewer editing",
              "help", "alert", "picture import", "metadata editor", "song data", "token"})
            QTest::newRow(window) << QString::fromLatin1(window);
    }

    void focusRings()
    {
        QFETCH(QString, window);
        LyrafoldTheme::installFocusRings();
        const QString book = books() + QStringLiteral("/Rag.pdf");
        QVERIFY(QDir().mkpath(books()));
        QFile::remove(book);
        QVERIFY(QFile::copy(TestHarness::testData(QStringLiteral("books/joplin-pineapple-rag.pdf")), book));
        QVERIFY(SlotStore::saveSlot(1, songs(book, 3), books()));
        QVERIFY(SlotStore::saveMeta(SlotMeta{1, {}}));
        QVERIFY(PlaylistStore::savePlaylists(
            {Playlist{QStringLiteral("Set"), {PlaylistItem(songs(book, 1).first())}}}));
        AppContext context;
        MainWindowController main(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        TestHarness::settleWorkers();
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main, TestHarness::hangGuardMs));

        QStringList faults{QStringLiteral("not reached")};
        // A dialog of the application is walked while it runs, then closed.
        ModalAnswer walkDialogs(QList<ModalAnswer::Step>{[&faults](QDialog *dialog) {
            faults = QTest::qWaitForWindowActive(dialog, TestHarness::hangGuardMs)
                         ? focusFaults(dialog)
                         : QStringList{QStringLiteral("the dialog is not active")};
            dialog->reject();
        }});
        const auto opened = [](const std::function<void()> &open) {
            const QList<QWidget *> before = QApplication::topLevelWidgets();
            open();
            TestHarness::settleWorkers();
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (!before.contains(top) && top->isVisible())
                    return top;
            }
            return static_cast<QWidget *>(nullptr);
        };
        const auto tile = [&main](const char *name) {
            return [&main, name] { child<TileView>(main, QLatin1String(name))->hitButton()->click(); };
        };
        QWidget *shown = nullptr;
        QMessageBox alert(&main);
        if (window == "main") {
            shown = &main;
        } else if (window == "playlists") {
            shown = opened(tile("playlistsTile"));
            QVERIFY(shown);
            child<QTableView>(*shown, QStringLiteral("playlistTable"))->selectRow(0);
        } else if (window == "auto playlist") {
            shown = opened(tile("autoPlaylistTile"));
            QVERIFY(shown);
            child<QPushButton>(*shown, QStringLiteral("generateButton"))->click();
        } else if (window == "workshop") {
            shown = opened(tile("bookmarkWorkshopTile"));
        } else if (window == "custom files") {
            shown = opened(tile("customFilesTile"));
        } else if (window == "viewer" || window == "viewer editing") {
            ViewerOpenRequest request;
            request.pdfPath = book;
            request.pageNumber = 1;
            shown = context.viewers().openSong(request);
            if (window == "viewer editing")
                ViewerParts::press(*shown, "editButton");
        } else if (window == "help") {
            shown = opened([&main] {
                main.findChild<QToolButton *>(QLatin1String(LyrafoldHelpService::helpButtonName))->click();
            });
        } else if (window == "alert") {
            alert.addButton(QStringLiteral("Delete"), QMessageBox::AcceptRole);
            alert.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
            alert.exec();
        } else if (window == "picture import") {
            const QString picture = books() + QStringLiteral("/Scan.png");
            QImage(40, 20, QImage::Format_RGB32).save(picture);
            context.libraryFlows().importImagesAndPDFs(*statusField(main), {picture}, std::nullopt);
        } else if (window == "metadata editor") {
            tableView(main)->selectRow(0);
            table(main)->editSelectedMetadata();
        } else if (window == "song data") {
            tile("importMetadataTile")();
        } else if (window == "token") {
            for (QAction *menu : main.menuBar()->actions()) {
                for (QAction *item : menu->menu()->actions()) {
                    if (item->text() == QStringLiteral("Discogs API Token…"))
                        item->trigger();
                }
            }
        }
        TestHarness::settleWorkers();
        if (shown) {
            shown->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(shown, TestHarness::hangGuardMs));
            faults = focusFaults(shown);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
        if (shown && shown != &main)
            shown->close();
    }

    // The ring marks the list's current row. Down or Up while that row is not selected selects it, however
    // the focus came to the list: Tab on a first visit, Shift+Tab back from the next control, the window
    // shown again over the row the ring stayed on. A selected row moves on as the arrows always move it.
    void arrowsSelectTheRingedRow_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("arrival");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("selected");
        for (const char *list : {"main table", "playlists"}) {
            const QString name = QString::fromLatin1(list);
            QTest::addRow("%s, first visit", list) << name << "first visit" << int(Qt::Key_Down) << 0;
            QTest::addRow("%s, Tab back", list) << name << "Tab back" << int(Qt::Key_Down) << 0;
            QTest::addRow("%s, window shown again", list) << name << "shown again" << int(Qt::Key_Up) << 0;
            QTest::addRow("%s, row selected", list) << name << "row selected" << int(Qt::Key_Down) << 1;
        }
    }

    void arrowsSelectTheRingedRow()
    {
        QFETCH(QString, list);
        QFETCH(QString, arrival);
        QFETCH(int, key);
        QFETCH(int, selected);
        QVERIFY(SlotStore::saveSlot(1, songs(QStringLiteral("/b/A.pdf"), 3), QString()));
        QVERIFY(SlotStore::saveMeta(SlotMeta{1, {}}));
        QVERIFY(PlaylistStore::savePlaylists({Playlist{QStringLiteral("Set"), {}},
                                              Playlist{QStringLiteral("Encore"), {}},
                                              Playlist{QStringLiteral("Late"), {}}}));
        AppContext context;
        MainWindowController main(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        main.show();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        const auto openPlaylists = [&main] {
            child<TileView>(main, QStringLiteral("playlistsTile"))->hitButton()->click();
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (auto *window = qobject_cast<PlaylistsWindowController *>(top);
                    window && window->isVisible())
                    return static_cast<QWidget *>(window);
            }
            return static_cast<QWidget *>(nullptr);
        };
        QWidget *window = &main;
        QAbstractItemView *view = tableView(main);
        if (list == "playlists") {
            window = openPlaylists();
            QVERIFY(window);
            QVERIFY(QTest::qWaitForWindowActive(window));
            view = child<QAbstractItemView>(*window, QStringLiteral("playlistTable"));
        }
        const auto guard = qScopeGuard([&] {
            if (window != &main)
                window->close();
        });
        const auto selectedRows = [view] {
            QList<int> rows;
            for (const QModelIndex &index : view->selectionModel()->selectedIndexes()) {
                if (!rows.contains(index.row()))
                    rows.append(index.row());
            }
            return rows;
        };

        view->setFocus(Qt::TabFocusReason);
        if (arrival == "Tab back") {
            QTest::keyClick(view, Qt::Key_Tab);
            QVERIFY(!view->hasFocus());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        } else if (arrival == "shown again") {
            QWidget elsewhere;
            elsewhere.show();
            elsewhere.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
            if (window == &main)
                main.activateWindow();
            else
                QCOMPARE(openPlaylists(), window);
            QVERIFY(QTest::qWaitForWindowActive(window));
        } else if (arrival == "row selected") {
            view->selectionModel()->select(view->currentIndex(),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        QVERIFY(view->hasFocus());
        QCOMPARE(view->currentIndex().row(), 0);
        QCOMPARE(selectedRows(), arrival == "row selected" ? QList<int>{0} : QList<int>{});

        QTest::keyClick(view, Qt::Key(key));
        QCOMPARE(selectedRows(), QList<int>{selected});
        QCOMPARE(view->currentIndex().row(), selected);
    }

    // Each change of the hovered row is traced once; the band never hides the row it lies on.
    void hoverOverlayTrace()
    {
        QVERIFY(SlotStore::saveSlot(0, songs("/b/A.pdf", 5), QString()));
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, TestHarness::hangGuardMs));
        QFile::remove(HoverLog::path());
        const auto lines = [] {
            return QString::fromUtf8(TestHarness::readFile(HoverLog::path())).split('\n', Qt::SkipEmptyParts);
        };
        BookmarkHoverOverlay *overlay = tableView(window)->hoverOverlay();
        overlay->setHoveredRow(2);
        overlay->setHoveredRow(2);
        QStringList traced = lines();
        QCOMPARE(traced.filter(" overlay hoveredRow=").size(), 1);
        QVERIFY(traced.first().contains(" overlay hoveredRow=2 oldValue=-1 bounds=(0.0, 0.0, "));
        QVERIFY(traced.last().contains(" draw row=2 rowRect=(0.0, "));

        overlay->setHoveredRow(5); // one past the last row
        QVERIFY(lines().last().endsWith(" draw SKIP hoveredRow=5 tableView=true rows=5"));
        QVERIFY(overlay->hoverBandColourForTesting().alphaF() < 0.5);
    }

    // An undecodable state file is told, also the playlists file, which is read before the window
    // exists; a book's annotation file is left to the viewer, which names the book. A save that fails
    // later is told too, in the status line and in an alert over the window.
    void reportsFilesSetAsideAndFailedSaves_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("slot") << SlotStore::slotFilePath(0);
        QTest::newRow("playlists") << AppPaths::playlistsPath();
        QTest::newRow("annotations") << *PdfEditCacheCodec::filePath(QStringLiteral("/b/Book.pdf"));
    }

    void reportsFilesSetAsideAndFailedSaves()
    {
        QFETCH(QString, file);
        TestHarness::writeFile(file, "{ not json");
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        const QString name = QFileInfo(file).fileName();
        if (file.startsWith(AppPaths::annotationCacheDir())) {
            statusField(window)->setStatus(QStringLiteral("before"));
            QVERIFY(PdfEditCacheCodec::setAside(QStringLiteral("/b/Book.pdf")));
            QCoreApplication::sendPostedEvents();
            QCOMPARE(status(window), QStringLiteral("before"));
        } else {
            WAIT_VERIFY(status(window).startsWith(
                QStringLiteral("%1 could not be read and was set aside as %1.unreadable-").arg(name)));
        }

        // Written once, so that the failure after it is told as a new one.
        Fixtures::setSavedRows(context.library(), Fixtures::realisticLibrary(40));
        LibrarySession::waitForPendingSaves();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, TestHarness::hangGuardMs));
        {
            TestHarness::FileSizeLimit fullDisk(2048);
            Fixtures::setSavedRows(context.library(), Fixtures::realisticLibrary(50));
            LibrarySession::waitForPendingSaves();
        }
        WAIT_VERIFY(status(window).startsWith("Could not save "));
        // The slot's file and its spare copy fail together: one alert over the window tells both.
        const auto alert = [&] { return window.findChild<QMessageBox *>(QStringLiteral("stateFileAlert")); };
        WAIT_VERIFY(alert());
        WAIT_VERIFY(
            (alert()->text() + alert()->informativeText())
                .contains(QStringLiteral("Your bookmarks in Default could not be saved: the file is larger "
                                         "than the system allows. The changes stay in Lyrafold until they "
                                         "can be saved, and a quit tells you what it could not save.")));
        QVERIFY(alert()->informativeText().contains(SlotStore::slotFilePath(0)) ||
                alert()->text().contains(QStringLiteral("spare copy")));
        alert()->accept();
    }

    // A plain click on a row opens its song in the viewer at its page, with the book's songs as its
    // library titles; the next one takes its place. A click with Ctrl or on a row button does not. A
    // book that cannot be opened is never reported as opened.
    void rowClicksOpenTheViewer()
    {
        // The books must exist: a missing one stops at the "File not found" alert.
        const QString a = TestHarness::home() + QStringLiteral("/b/A.pdf");
        const QString b = TestHarness::home() + QStringLiteral("/b/B.pdf");
        QDir().mkpath(QFileInfo(a).absolutePath());
        QVERIFY(QFile::copy(TestHarness::testData(QStringLiteral("books/joplin-pineapple-rag.pdf")), a));
        TestHarness::writeFile(b, "%PDF-1.4\n%%EOF\n");
        QVERIFY(SlotStore::saveSlot(0, songs(a, 3, 4) + songs(b, 2), QString()));
        AppContext context;
        MainWindowController window(context);
        QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
        window.resize(1200, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, TestHarness::hangGuardMs));
        QWidget *rows = tableView(window)->viewport();
        const auto cell = [&](int row, int column) {
            return tableView(window)->visualRect(tableModel(window)->index(row, column)).center();
        };
        const int titleColumn = BookmarkTableModel::columnOf(LibraryColumns::title);

        QTest::mouseClick(rows, Qt::LeftButton, Qt::ControlModifier, cell(1, titleColumn));
        {
            ModalAnswer cancel(QStringLiteral("Cancel"));
            QTest::mouseClick(rows, Qt::LeftButton, Qt::NoModifier,
                              cell(1, BookmarkTableModel::columnOf(LibraryColumns::add)));
            // The row's "+" is answered at once: no click action follows it.
            QVERIFY(!rowActionPending(window));
        }
        QVERIFY(ViewerParts::openViewers().isEmpty());

        QTest::mouseClick(rows, Qt::LeftButton, Qt::NoModifier, cell(1, titleColumn));
        WAIT_COMPARE(ViewerParts::openViewers().size(), 1);
        PdfViewerWindowController *first = ViewerParts::openViewer();
        QCOMPARE(first, ViewerParts::openViewers().first());
        QCOMPARE(ViewerParts::shownBook(*first), a);
        QCOMPARE(ViewerParts::titleLabel(*first), a + QStringLiteral(" 5"));
        QCOMPARE(status(window), "Opened: A.pdf at page 5");
        // The book's other songs name the pages the user turns to (the book has four).
        ViewerParts::press(*first, "lastPageButton");
        QCOMPARE(ViewerParts::titleLabel(*first), a + QStringLiteral(" 4"));

        QTest::mouseClick(rows, Qt::LeftButton, Qt::NoModifier, cell(3, titleColumn));
        WAIT_VERIFY(ViewerParts::openViewer() != first);
        QCOMPARE(ViewerParts::openViewers().size(), 1);
        QCOMPARE(ViewerParts::openViewer()->windowTitle(), QStringLiteral("B.pdf"));
        QCOMPARE(ViewerParts::shownBook(*ViewerParts::openViewer()), QString());
        QCOMPARE(status(window), QStringLiteral("The file %1 is damaged and cannot be read.").arg(b));
        ViewerParts::openViewer()->close();
        QVERIFY(ViewerParts::openViewers().isEmpty());
    }
};

LYRAFOLD_TEST_GUI_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
