#pragma once

#include "ui/common/StatusLine.h"
#include "ui/mainwindow/BookmarkTableDelegate.h"
#include "ui/mainwindow/BookmarkTableModel.h"
#include "ui/mainwindow/BookmarkTableView.h"
#include "ui/mainwindow/LibraryTableController.h"
#include "ui/mainwindow/WindowsStyleSlotTileView.h"
#include "ui/mainwindow/WindowsStyleToggleToolTileView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

// The main window's controls as the tests reach them: by object name.
namespace MainWindowParts {

template <typename T> T *child(const QObject &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("no %s", qPrintable(name));
    return found;
}

inline BookmarkTableView *tableView(const QObject &window)
{
    return child<BookmarkTableView>(window, QStringLiteral("libraryTable"));
}

inline BookmarkTableModel *tableModel(const QObject &window)
{
    return static_cast<BookmarkTableModel *>(tableView(window)->model());
}

inline BookmarkTableDelegate *delegate(const QObject &window)
{
    return static_cast<BookmarkTableDelegate *>(tableView(window)->itemDelegate());
}

// A click on a tile, where the user clicks: on its picture, which lets the click through to the tile.
inline void clickTile(QWidget *tile)
{
    QTest::mouseClick(tile, Qt::LeftButton, {}, tile->rect().center());
}

// A field of the metadata dialog, by the name of its row ("Genre", "Year", "Rating (0-5)").
inline QLineEdit *metadataField(const QWidget *dialog, const QString &row)
{
    return child<QLineEdit>(*dialog, row);
}

// The gear menu, as a click on the gear button pops it up; closing it deletes it.
inline QMenu *openSettingsMenu(const QObject &window)
{
    child<QToolButton>(window, QStringLiteral("settingsButton"))->click();
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu)
        qFatal("no settings menu");
    return menu;
}

inline LibraryTableController *table(const QObject &window)
{
    return child<LibraryTableController>(window, QStringLiteral("libraryTableController"));
}

// A plain click on a row acts a moment after it: true from the click until it has.
inline bool rowActionPending(const QObject &window)
{
    return !table(window)->findChildren<QTimer *>(QStringLiteral("rowActionTimer")).isEmpty();
}

// The rows selected in the table, in their order.
inline QList<int> selectedRows(const QObject &window)
{
    QList<int> rows;
    for (const QModelIndex &index : tableView(window)->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Picks the item of the row's context menu, as a right click on the row opens it.
inline void chooseFromRowMenu(const QObject &window, int row, const QString &item)
{
    QTimer::singleShot(0, [item] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            qFatal("no row menu");
        for (QAction *action : menu->actions()) {
            if (action->text() == item) {
                menu->close();
                action->trigger();
                return;
            }
        }
        qFatal("no item %s", qPrintable(item));
    });
    BookmarkTableView *view = tableView(window);
    Q_EMIT view->customContextMenuRequested(view->visualRect(tableModel(window)->index(row, 2)).center());
}

inline StatusLine *statusField(const QObject &window)
{
    return child<StatusLine>(window, QStringLiteral("statusField"));
}

// A press on a tile of the tool strip, by its object name ("playlistsTile", "bookmarkWorkshopTile").
inline void pressTile(const QObject &window, const char *name)
{
    QTest::mouseClick(child<QWidget>(window, QLatin1String(name)), Qt::LeftButton);
}

// The item of the window's "Slots" or "Tools" menu with that text.
inline QAction *menuItem(const QObject &window, const QString &text)
{
    for (QAction *action : window.findChildren<QAction *>()) {
        if (action->text() == text)
            return action;
    }
    qFatal("no menu item %s", qPrintable(text));
}

inline QLineEdit *searchField(const QObject &window)
{
    return child<QLineEdit>(window, QStringLiteral("searchField"));
}

inline QLabel *searchResultsLabel(const QObject &window)
{
    return child<QLabel>(window, QStringLiteral("searchResultsLabel"));
}

inline QPushButton *button(const QObject &window, const char *name)
{
    return child<QPushButton>(window, QLatin1String(name));
}

inline WindowsStyleToggleToolTileView *toggleTile(const QObject &window, const char *name)
{
    return child<WindowsStyleToggleToolTileView>(window, QLatin1String(name));
}

inline QPushButton *customModeToggle(const QObject &window)
{
    return toggleTile(window, "customToggleTile")->hitButton();
}

inline WindowsStyleSlotTileView *slotTile(const QObject &window, int slot)
{
    return child<WindowsStyleSlotTileView>(window, QStringLiteral("slotTile%1").arg(slot));
}

// The glass a tile is drawn on: its border, its selection ring and its focus ring.
inline TileGlassView *glassOf(const TileView *tile)
{
    return tile->findChild<TileGlassView *>();
}

// Whether a slot tile shows the ring of the slot chosen.
inline bool ringed(const WindowsStyleSlotTileView *tile)
{
    return glassOf(tile)->ringWidthForTesting() > 0;
}

} // namespace MainWindowParts
