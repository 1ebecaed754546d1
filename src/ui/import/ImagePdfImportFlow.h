#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/common/BuildProgress.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>

class AppContext;
class QWidget;
struct BookmarkedPdfImportOptions;
struct ImagePdfImportOptions;

// Importing pictures and PDFs into a slot: the form that fits the files, the import on a worker, the new
// songs appended to the chosen slot (which becomes the current one) and, when asked, to a playlist. The
// window opens the first new song when told (firstTitleImported) and shows the status texts. Several
// imports may run at once; each ends on its own. When the application quits or the flow goes, the
// imports still running stop before their next file or page, so that the process ends without waiting
// for them; what they wrote goes with them.
class ImagePdfImportFlow : public QObject {
    Q_OBJECT

public:
    // window: the parent of the flow's panels and alerts, the window the import was started in.
    ImagePdfImportFlow(AppContext &context, QWidget *window, QObject *parent);
    ~ImagePdfImportFlow() override;

    QWidget *window() const { return m_window; }

    // The open panel for pictures and PDFs, then the import of the chosen files.
    void importImagesAndPDFsToLibrary();
    // paths as chosen or dropped; with a playlist name the new songs go into that playlist too. A single
    // PDF whose outline gives two or more bookmarks is offered as a book with those bookmarks first.
    void importImagesAndPDFs(const QStringList &paths, const std::optional<QString> &targetPlaylistName);

    bool isBusy() const { return m_running > 0; }

Q_SIGNALS:
    void statusChanged(const QString &text);
    void failed(const QString &text);
    void busyChanged(bool busy);
    // Emitted before the closing status text, which replaces what opening the song says.
    void firstTitleImported(const BookmarkEntry &entry);

private:
    void askImagePdfOptions(const QStringList &paths, const std::optional<QString> &targetPlaylistName);
    void showImagePdfOptions(const QStringList &paths, const std::optional<QString> &targetPlaylistName,
                             const QStringList &userSlotBookNames);
    void startFileImport(const QStringList &paths, const ImagePdfImportOptions &options,
                         const std::optional<QString> &targetPlaylistName);
    void startBookmarkedImport(const QString &path, const BookmarkedPdfImportOptions &options,
                               const std::optional<QString> &targetPlaylistName);
    // Appends to the slot and then to the playlist, opens the first song and tells status, once no field
    // holds text typed for a row. Dropped at a quit, the import removes the files it wrote.
    void take(const BookmarkList &rows, qint64 slot, const QString &folder,
              const std::optional<QString> &targetPlaylistName, const QString &status,
              const QStringList &written);
    QString slotName(qint64 slot) const;
    void fail(const QString &title, const QString &message, const QString &status);
    void setRunning(int delta);

    AppContext &m_context;
    QPointer<QWidget> m_window;
    int m_running = 0;
    // Shared with the workers of every import this flow started; cancelled once, for good.
    std::shared_ptr<BuildProgress> m_imports = std::make_shared<BuildProgress>();
};
