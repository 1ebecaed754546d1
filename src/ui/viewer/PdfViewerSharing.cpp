// The viewer's notices about its annotations and playlists, the edit mode's status text, adding the
// title to a playlist and sharing it.

#include "core/playlist/PlaylistLibrary.h"
#include "ui/app/AppContext.h"
#include "ui/common/AddToPlaylistDialogs.h"
#include "ui/share/TitleShareFlow.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include "ui/viewer/ViewerAnnotationEditor.h"
#include "ui/viewer/ViewerToolbarRow.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

namespace {

// The folder as the user's file manager would lead there: under the home folder as "~/…".
QString shownFolder(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QString home = QDir::homePath();
    return folder.startsWith(home + QLatin1Char('/')) ? QLatin1Char('~') + folder.mid(home.size()) : folder;
}

// Where a book's unreadable annotations went: their folder and the end of their file's name, which
// alone tells the user's book from the others there (the rest of the name encodes the book's path and
// runs to some 80 characters, which would stretch the notice far past its window).
QString asideText(const QString &asidePath)
{
    const QString name = QFileInfo(asidePath).fileName();
    const qsizetype mark = name.lastIndexOf(QStringLiteral(".unreadable-"));
    const QString tail = mark >= 0 ? name.mid(mark) : name;
    return QStringLiteral("They were moved aside, unchanged, to the folder %1, in the file whose name ends "
                          "in %2. The book starts without annotations.")
        .arg(shownFolder(asidePath), tail);
}

} // namespace

void PdfViewerWindowController::connectAnnotations()
{
    BookAnnotations &annotations = m_editor->annotations();
    connect(&annotations, &BookAnnotations::fileSetAside, this,
            [this](const QString &book, const QString &asidePath) {
                const QString name = QFileInfo(book).fileName();
                showNotice(QStringLiteral("The annotations of %1 could not be read.").arg(name),
                           asidePath.isEmpty()
                               ? QStringLiteral("Their file could not be moved aside either, so nothing you "
                                                "draw on this book is saved while it is open.")
                               : asideText(asidePath));
            });
    connect(&annotations, &BookAnnotations::saveFailed, this,
            [this](const QString &book, const QString &reason) {
                showNotice(
                    QStringLiteral("Could not save the annotations of %1.").arg(QFileInfo(book).fileName()),
                    reason);
            });
}

void PdfViewerWindowController::showNotice(const QString &message, const QString &informativeText,
                                           QMessageBox::Icon icon)
{
    auto *box = new QMessageBox(icon, QStringLiteral("Lyrafold"), message, QMessageBox::NoButton, this);
    box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setObjectName(QStringLiteral("viewerNotice"));
    box->setInformativeText(informativeText);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void PdfViewerWindowController::updateStatusTextForEditMode()
{
    if (m_editor->addsText())
        m_currentBookmarkTitleLabel->setText(QStringLiteral("Edit mode: click page to add text"));
    else
        updateCurrentBookmarkTitle();
}

// ---- Playlists and sharing

void PdfViewerWindowController::addToPlaylist()
{
    // The title the viewer was opened for, whatever it shows now.
    if (!bookmarkEntry())
        return;
    // A save that fails is told over this window (StateFileAlerts).
    AddToPlaylistDialogs::addToPlaylist(this, m_context.playlists(), *bookmarkEntry());
}

void PdfViewerWindowController::shareCurrentPdf()
{
    BookAnnotations &held = m_editor->annotations();
    held.save();
    const BookmarkEntry entry = currentShareBookmarkEntry();
    // What is on screen is what is exported; a title of another book (a list's title whose book could
    // not be opened) takes what that book's annotation file holds.
    std::optional<PdfEditCacheFile> annotations;
    if (held.isReady() && entry.pdfFilePath == held.bookPath())
        annotations = held.document().pages();
    QWidget *anchor = this;
    if (m_shareButtonRef && m_shareButtonRef->isVisible())
        anchor = m_shareButtonRef;
    else if (m_toolbarRow->overflowButton()->isVisible())
        anchor = m_toolbarRow->overflowButton();
    // A tool tip beside the button is lost under some window managers: the save is told as the
    // viewer's other notices are.
    TitleShareFlow::start(this, anchor, entry, annotations, [viewer = QPointer(this)](const QString &text) {
        if (viewer)
            viewer->showNotice(text, QString(), QMessageBox::Information);
    });
}
