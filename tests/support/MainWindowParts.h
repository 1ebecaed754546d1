#pragma once

#include "ui/mainwindow/BookmarkTableModel.h"
#include "ui/mainwindow/BookmarkTableView.h"
#include "ui/mainwindow/WindowsStyleSlotTileView.h"
#include "ui/mainwindow/WindowsStyleToggleToolTileView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

inline QLabel *statusField(const QObject &window)
{
    return child<QLabel>(window, QStringLiteral("statusField"));
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

} // namespace MainWindowParts
