#pragma once

#include <QApplication>
#include <QList>
#include <QWidget>

// The application's top-level windows of a type, as the tests find the windows that others open;
// shownOnly leaves out those closed and not yet deleted.
template <typename T> QList<T *> topLevelWindows(bool shownOnly = false)
{
    QList<T *> found;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *typed = qobject_cast<T *>(window); typed && (!shownOnly || typed->isVisible()))
            found.append(typed);
    }
    return found;
}
