#pragma once

#include <QStringList>

#include <functional>

class QFrame;
class QWidget;

// The share-or-save popup that follows an export: "Share" opens the share menu for the files and the
// popup gives way to it; "Save to local disc" closes it and calls the save. It closes when the user
// clicks elsewhere. Main thread only.
namespace SharePopover {

// Shows the popup under the anchor (above it where the screen ends), replacing an open one of the
// same window. Without onSave there is no save button. Nothing for an empty list of files. The popup
// deletes itself when it closes.
QFrame *show(QWidget *anchor, const QStringList &files, const std::function<void()> &onSave = {});

} // namespace SharePopover
