#pragma once

#include "core/storage/SafeReplace.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Saving exports out of the private export folder to where the user wants them, without ever losing
// what was there (SafeReplace), on a worker, with a progress dialog when it takes a moment. Main thread
// only; the callbacks come only while the window lives.
namespace ExportFolderSave {

inline const QString exportsPanelTitle = QStringLiteral("Choose folder to save exports");

// One export and where it goes.
struct Copy {
    QString source;
    QString destination;
};

struct Report {
    QString folder;     // the chosen folder; empty when the panel was cancelled
    QStringList saved;  // names saved, in the order copied
    QStringList kept;   // names of existing folders the user chose to keep
    QStringList failed; // "name: reason"
    bool cancelled = false;
};

using Done = std::function<void(const Report &)>;

// The folder panel (folders only, may create folders, one choice, the given title, prompt "Save").
// Empty when cancelled. Starts in the folder chosen last.
QString chooseFolder(QWidget *window, const QString &title = exportsPanelTitle);

// Asks for a folder, then copies each export into it under its own name in the given order. An
// existing folder of the same name is replaced only if the user agrees; an existing file is replaced.
// done gets the report, also when the panel was cancelled (with no folder).
void saveIntoChosenFolder(QWidget *window, const QStringList &exports, const Done &done,
                          const QString &panelTitle = exportsPanelTitle,
                          FileOperations &operations = FileOperations::system());

// Copies on a worker, one after another; the window-modal progress dialog appears when the copies
// take longer than a moment, and its Cancel stops before the next file. report.folder is left empty.
void copy(QWidget *window, const QList<Copy> &copies, const Done &done,
          FileOperations &operations = FileOperations::system());

// Asks whether the existing folder at path may be replaced; true for "Replace".
bool confirmFolderReplace(QWidget *window, const QString &path);

} // namespace ExportFolderSave
