#include "ui/playlists/PlaylistsWindowController.h"

#include "core/common/Hop.h"
#include "core/common/NotificationBus.h"
#include "core/imports/ImportableFiles.h"
#include "core/playlist/PlaylistBookPaths.h"
#include "core/session/LibrarySession.h"
#include "core/session/SongOpening.h"
#include "core/text/TextUtils.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldFormAlert.h"
#include "ui/common/StatusLine.h"
#include "ui/common/TablePagePreview.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/playlists/PlaylistCardView.h"
#include "ui/playlists/PlaylistListModels.h"
#include "ui/share/PlaylistShareFlow.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeData>

namespace {

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

// ---- The buttons

void PlaylistsWindowController::createNewPlaylist()
{
    const std::optional<QString> typed = LyrafoldFormAlert::askText(
        this, QStringLiteral("newPlaylistPrompt"), QStringLiteral("New playlist"),
        QStringLiteral("Enter a name for the new playlist."), QStringLiteral("Create"), 280);
    if (!typed)
        return;
    const QString name = TextUtils::trimmed(*typed);
    if (name.isEmpty())
        return;
    if (m_library.createPlaylist(name) != PlaylistLibrary::Outcome::created) {
        LyrafoldAlert::run(
            this, LyrafoldAlert::Style::warning, QStringLiteral("Could not create playlist"),
            QStringLiteral("A playlist with that name already exists, or the name is invalid."));
        return;
    }
    playlistRowClicked(m_library.indexOf(name));
    setStatus(QStringLiteral("Created playlist %1.").arg(quoted(name)));
}

void PlaylistsWindowController::deleteSelectedPlaylist()
{
    const Playlist *playlist = selectedPlaylist();
    if (!playlist)
        return;
    const QString name = playlist->name;
    const int answer = LyrafoldAlert::run(
        this, LyrafoldAlert::Style::warning, QStringLiteral("Delete playlist \"%1\"?").arg(name),
        QStringLiteral("This cannot be undone."), {QStringLiteral("Delete"), QStringLiteral("Cancel")});
    if (answer != 0)
        return;
    // The selection follows every change while the question is open; the name tells whether it is
    // still the playlist the user agreed to delete.
    if (m_library.deletePlaylist(m_selectedPlaylistIndex, name) == PlaylistLibrary::Outcome::done) {
        setStatus(QStringLiteral("Deleted playlist %1.").arg(quoted(name)));
        // Nothing is selected now and the Delete button is off: the keys go on in the list, where the
        // next playlist is picked, rather than to whatever control follows the button.
        m_playlistTableView->setFocus(Qt::OtherFocusReason);
    } else
        setStatus(
            QStringLiteral("The playlist %1 changed meanwhile; nothing was deleted.").arg(quoted(name)));
}

void PlaylistsWindowController::addSongsTapped()
{
    const Playlist *playlist = selectedPlaylist();
    if (!playlist)
        return;
    setStatus(QString());
    m_preview->close();
    m_context.notifications().post(NotificationBus::addToPlaylistModeName,
                                   {{NotificationBus::playlistNameKey, playlist->name}});
    lower();
}

void PlaylistsWindowController::shareTapped()
{
    const Playlist *playlist = selectedPlaylist();
    if (!playlist || playlist->items.isEmpty() || PlaylistShareFlow::isBuilding(this))
        return;
    setStatus(QString());
    withResolvedItems(playlist->items, [this, name = playlist->name](const QList<PlaylistItem> &items) {
        PlaylistShareFlow::start(this, m_shareButton, items, name);
    });
}

// ---- The titles

void PlaylistsWindowController::withResolvedItems(const QList<PlaylistItem> &items,
                                                  std::function<void(QList<PlaylistItem>)> then)
{
    const LibrarySession &library = m_context.library();
    Hop::run(
        this,
        [paths = m_bookPaths, slotPaths = m_slotBookPaths, items, rows = library.allBookmarks(),
         folder = library.selectedFolder()] {
            return PlaylistBookPaths::resolvedInLibrary(paths->get(), items, rows, folder, *slotPaths);
        },
        [then = std::move(then)](const QList<PlaylistItem> &resolved) { then(resolved); });
}

const SongRecord *PlaylistsWindowController::previewSongAt(int row)
{
    // Asked at every move of the pointer: the answer for a row holds until the titles change.
    if (row == m_previewSong.row && m_previewSong.titlesVersion == m_titlesVersion)
        return m_previewSong.song ? &*m_previewSong.song : nullptr;
    const PlaylistItem *item = m_titlesModel->item(row);
    if (!item)
        return nullptr;
    if (m_resolvedVersion != m_titlesVersion || row >= m_resolvedTitles.size()) {
        // Until the books are found again a title stands as it is: its own book when that is there,
        // otherwise no page yet; the preview asks again once they are known.
        resolvePreviewTitles();
        m_previewSong = PreviewSong{row, 0, *item};
        return &*m_previewSong.song;
    }
    const PlaylistItem &resolved = m_resolvedTitles.at(row);
    m_previewSong = PreviewSong{row, m_titlesVersion, std::nullopt};
    if (!QFileInfo(resolved.pdfFilePath).isFile())
        return nullptr;
    m_previewSong.song = resolved;
    return &*m_previewSong.song;
}

void PlaylistsWindowController::resolvePreviewTitles()
{
    if (m_resolvingVersion == m_titlesVersion)
        return;
    m_resolvingVersion = m_titlesVersion;
    withResolvedItems(m_titlesModel->items(), [this, version = m_titlesVersion](QList<PlaylistItem> items) {
        if (version != m_titlesVersion)
            return;
        m_resolvedTitles = std::move(items);
        m_resolvedVersion = version;
        m_preview->songsChanged();
    });
}

void PlaylistsWindowController::recheckMissingBook()
{
    if (!m_missingBook)
        return;
    if (m_statusField->text() != m_missingBook->status) {
        m_missingBook.reset();
        return;
    }
    withResolvedItems(
        {m_missingBook->item}, [this, status = m_missingBook->status](QList<PlaylistItem> items) {
            if (!m_missingBook || m_missingBook->status != status || m_statusField->text() != status)
                return;
            if (!items.isEmpty() && QFileInfo(items.first().pdfFilePath).isFile()) {
                m_missingBook.reset();
                setStatus(QString());
            }
        });
}

void PlaylistsWindowController::openTitleAtRow(int row)
{
    const PlaylistItem *item = m_titlesModel->item(row);
    if (!item)
        return;
    m_preview->close();
    selectTitleRow(row);
    const PlaylistItem asked = *item;
    withResolvedItems(m_titlesModel->items(), [this, row, asked](const QList<PlaylistItem> &items) {
        const PlaylistItem &chosen = items.at(row);
        if (!QFileInfo(chosen.pdfFilePath).isFile()) {
            const QString status = QStringLiteral("The book of %1 was not found: %2")
                                       .arg(quoted(asked.title), chosen.pdfFilePath);
            setStatus(status);
            m_missingBook = MissingBook{asked, status};
            return;
        }
        ViewerOpenRequest request;
        request.pdfPath = chosen.pdfFilePath;
        request.pageNumber = chosen.pageNumber;
        request.bookmarkEntry = BookmarkEntry(chosen);
        request.playlistItems = items;
        request.playlistCurrentIndex = row;
        const PdfViewerWindowController *viewer = m_context.viewers().openSong(request);
        setStatus(viewer->openError().value_or(
            QStringLiteral("Opened: %1 at page %2").arg(chosen.title, QString::number(chosen.pageNumber))));
    });
}

void PlaylistsWindowController::removeTitleAtRow(int row)
{
    const PlaylistItem *item = m_titlesModel->item(row);
    if (!item)
        return;
    const QString title = item->title;
    const PlaylistItemRef ref = PlaylistItemRef::at(m_titlesModel->items(), row);
    if (m_library.removeItemAt(m_selectedPlaylistIndex, m_selectedPlaylistName, ref) ==
        PlaylistLibrary::Outcome::done)
        setStatus(QStringLiteral("Removed %1 from %2.").arg(quoted(title), quoted(m_selectedPlaylistName)));
}

void PlaylistsWindowController::openLinkForTitleRow(int row, PlaylistRows::Link link)
{
    const PlaylistItem *item = m_titlesModel->item(row);
    if (!item)
        return;
    setStatus(QString());
    const QUrl address = PlaylistRows::linkAddress(*item, link);
    if (address.isValid() && !address.isEmpty())
        QDesktopServices::openUrl(address);
}

Qt::DropAction PlaylistsWindowController::dropActionFor(const QMimeData *data) const
{
    return selectedPlaylist() && !ImportableFiles::importablePaths(data).isEmpty() ? Qt::CopyAction
                                                                                   : Qt::IgnoreAction;
}

bool PlaylistsWindowController::dropOnTitles(const QMimeData *data, int dropRow)
{
    const auto dragged = std::exchange(m_draggedTitle, std::nullopt);
    const Playlist *playlist = selectedPlaylist();
    if (!playlist || !data)
        return false;
    setStatus(QString());
    if (const QStringList files = ImportableFiles::importablePaths(data); !files.isEmpty()) {
        m_context.libraryFlows().importImagesAndPDFs(*m_statusField, files, playlist->name);
        return true;
    }
    const std::optional<qsizetype> row = PlaylistRows::rowFromPayload(data->data(PlaylistRows::rowDragType));
    if (!row)
        return false;
    const QList<PlaylistItem> &items = playlist->items;
    // The title as it was when the drag began: the list may have changed under the drag.
    const PlaylistItemRef ref =
        dragged && dragged->first == *row ? dragged->second : PlaylistItemRef::at(items, *row);
    const qsizetype from = ref.indexIn(items);
    if (from < 0)
        return false;
    const qsizetype to = PlaylistRows::moveDestination(from, dropRow, items.size());
    if (m_library.moveItem(m_selectedPlaylistIndex, m_selectedPlaylistName, ref, to) !=
        PlaylistLibrary::Outcome::done)
        return false;
    selectTitleRow(int(to));
    return true;
}
