#pragma once

#include "platform/share/ShareMenuService.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

class QMenu;
class QPoint;
class QPushButton;
class QWidget;

// The content of the small popup that comes before sharing exported files, and the share menu that
// the "Share" button opens (show in folder, copy, send by e-mail: the desktop has no sharing picker).
// Callers own their popup: they create it, host the content, close it. Main thread only.
struct LyrafoldShareContent {
    QWidget *view = nullptr; // of a fixed size, 300 units wide, no parent: the caller takes it
};

namespace LyrafoldShareHelper {

// Sent with the button that was pressed.
using ButtonAction = std::function<void(QPushButton *sender)>;

// The two button titles are the same in every language.
inline const QString shareButtonTitle = QStringLiteral("Share");
inline const QString saveButtonTitle = QStringLiteral("Save to local disc");

// The share button with its hint and, when includeSave is set and a save target and action are
// given, the save button with its hint, stacked. The view's height is 24 + 40 for each hint + 32 for each
// button + 8 between two views: 104 without the save button, 192 with it, the room the four views
// take with their spacing and margins. An action runs only while its target lives.
LyrafoldShareContent makeShareOrSaveContent(QObject *shareTarget, const ButtonAction &shareAction,
                                            QObject *saveTarget, const ButtonAction &saveAction,
                                            bool includeSave);

// Shows the share menu for the items beside the anchor, on the preferred edge, replacing any share
// menu still open, then calls dismissHost so the caller's popup gives way to the menu. Nothing
// happens for an empty list. An anchor that is not on screen yet is tried once more from the event
// loop; if it is still not shown then, nothing happens.
void showSystemSharePicker(const QList<QUrl> &items, QWidget *anchor, Qt::Edge preferredEdge,
                           const std::function<void()> &dismissHost = {});

// Tells what a share or save did where the user is looking: a note at the global position for a few
// seconds, once the window is active (as it is again a moment after a dialog over it has closed), and
// the status line of the window when it has one.
void tellDone(QWidget *window, const QString &text, const QPoint &at);
// The same beside the anchor (the button the action came from), or the middle of the window once the
// anchor is gone.
void tellDone(QWidget *window, QWidget *anchor, const QString &text);

// The share menu on screen, if any; it is gone once the user has chosen or cancelled.
QMenu *activeSharePicker();

// The share menu for the items, its entries in the interface language. Exposed for tests, which pass
// their own program lookup.
QMenu *makeShareMenu(const QList<QUrl> &items, QWidget *parent,
                     const ShareMenuService::ExecutableFinder &findExecutable = {});

} // namespace LyrafoldShareHelper
