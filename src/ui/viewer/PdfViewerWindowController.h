#pragma once

#include "core/library/BookmarkEntry.h"
#include "core/playlist/PlaylistItem.h"
#include "core/viewer/ViewerSession.h"
#include "pdf/engine/PdfDocument.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class AppContext;
class KeepAwake;
class PDFScrollZoomWrapper;
class PdfPageView;
class QLabel;
class QLineEdit;
class QTimer;
class ViewerAnnotationEditor;
class ViewerFloatingButtons;
struct ViewerOpenRequest;
class ViewerToolbarRow;

// The PDF viewer: one window that shows one book at a page, optionally while playing through a list
// of titles. Windows open songs through openSong(), which puts the viewer among the application's open
// viewers (OpenViewers) and shows it. Showing a viewer closes the one that was current, so normally one
// viewer is open.
//
// The window keeps the system and the display awake while it is open, and traces its steps in the
// viewer log (pdfLog, "Lyrafold_pdfview.log" in the temporary folder). Its parts are objects of their
// own: the page area's input (PDFScrollZoomWrapper), edit mode and the book's annotations
// (ViewerAnnotationEditor), the floating title and exit buttons (ViewerFloatingButtons). "+" adds the
// title the viewer was opened for to a playlist; "Share" exports the title shown, with its annotations.
class PdfViewerWindowController : public QWidget {
    Q_OBJECT

public:
    static constexpr int fitDelayAfterShowMs = 250;
    static constexpr int activateDelayAfterPresentationMs = 350;

    // pageNumber counts from 1 (below 1 opens page 1); playlistCurrentIndex is kept within 0 and the
    // number of items; sourcePdfBookmarks are the library's titles of the same book, in any order.
    // Builds the window and loads the book, but shows nothing until showWindow().
    PdfViewerWindowController(AppContext &context, const QString &pdfPath, qint64 pageNumber,
                              const std::optional<BookmarkEntry> &bookmarkEntry,
                              const std::optional<QList<PlaylistItem>> &playlistItems,
                              qint64 playlistCurrentIndex, const BookmarkList &sourcePdfBookmarks);
    ~PdfViewerWindowController() override;

    // The viewer shown last, while it is open.
    static PdfViewerWindowController *current();

    // A song opened from a window's list: the viewer joins the application's open viewers and shows.
    // With study mode on it takes the left half of its screen (studyModeFrame()) and the chosen
    // provider's web search for the title opens beside it.
    static PdfViewerWindowController *openSong(AppContext &context, const ViewerOpenRequest &request);
    static QRect studyModeFrame(const QRect &visibleFrame);

    // Shows the window in front, closes the viewer that was current and takes its place.
    void showWindow();
    // Called once when the window closes, after the viewer has stopped being current; then cleared.
    std::function<void()> onWindowClose;

    // ---- Loading and fitting
    void loadDocument(const QString &path, qint64 page, bool preserveViewMode);
    void refreshPageUi();
    // "Edit", or how to leave edit mode, in the interface language.
    void showEditButtonTitle(bool editing);
    void fitCurrentPageToView();
    void windowDidResize();

    // ---- Page and title navigation
    void goToFirstPage();
    void goToLastPage();
    // From a button (sender set): a turn, two pages in two-up mode. Without a sender: one page.
    void goToPreviousPage(QObject *sender);
    void goToNextPage(QObject *sender);
    void goToPageFromField();
    void turnPageByHorizontalSwipe(int direction);
    // Shows the page as the user's own step through the book.
    void showPageBrowsed(int pageIndex);
    void goToNextTitle();
    void goToPreviousTitle();
    void updateCurrentBookmarkTitle();
    qint64 currentTitlePageSpan() const;
    void closeViewer();

    // ---- Display modes and zoom
    void singlePage();
    void twoPage();
    void coverPageToggled();
    void zoomIn();
    void zoomOut();
    void fitPage();
    void magnifyZoom(double magnification);

    // ---- Presentation mode and keep-awake
    void fullscreenToggled();
    void enterPresentationMode();
    void exitPresentationMode();
    void keepDeviceAwake();
    void releasePowerAssertion();

    // ---- Playlists and sharing
    void addToPlaylist();
    // Exports the title the viewer shows, with the annotations it holds for its book.
    void shareCurrentPdf();
    void updatePlaylistNavButtons();

    // ---- State
    const QString &pdfPath() const { return m_session.pdfPath(); }
    qint64 pageNumber() const { return m_session.pageNumber(); }
    const std::optional<BookmarkEntry> &bookmarkEntry() const { return m_session.bookmarkEntry(); }
    const QString &currentPdfPath() const { return m_session.currentPdfPath(); }
    // Why the book last asked for could not be opened (naming the file); nothing while it is open.
    const std::optional<QString> &openError() const { return m_openError; }
    qint64 currentPageNumber() const { return m_session.currentPageNumber(); }
    const std::optional<QList<PlaylistItem>> &playlistItems() const { return m_session.playlistItems(); }
    qint64 playlistCurrentIndex() const { return m_session.playlistCurrentIndex(); }
    const BookmarkList &sourcePdfBookmarks() const { return m_session.sourcePdfBookmarks(); }
    const std::optional<QString> &initialTitle() const { return m_session.initialTitle(); }
    BookmarkEntry currentShareBookmarkEntry() const;
    double fittedScaleFactor() const { return m_fittedScaleFactor; }
    bool isPresentationMode() const { return m_isPresentationMode; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Layout (PdfViewerLayout.cpp)
    void setupUI();
    void buildToolbar();
    QPushButton *makeToolbarButton(const QString &text, const std::function<void()> &action);
    QPushButton *addToolbarButton(const QString &text, int keep, const std::function<void()> &action);
    void buildPageArea();
    void applyPresentationColors(bool black);

    // Lifecycle
    void windowWillClose();
    void windowDidBecomeKey();
    void windowDidEnterFullScreen();
    void windowDidExitFullScreen();
    void installPdfViewObservers();
    void restoreHiddenAppWindowsBelowPdfWindow();
    // Sets the pairing of two-page mode and shows the current title's start page, fitted.
    void applyPairingAtTitleStart(bool coverPageRemoved);
    void connectAnnotations();
    void updateStatusTextForEditMode();
    // A message the user sees once, over the window, without stopping anything.
    void showNotice(const QString &message, const QString &informativeText,
                    QMessageBox::Icon icon = QMessageBox::Warning);

    AppContext &m_context;
    ViewerSession m_session;

    PdfDocumentPtr m_pdfDocument;
    QString m_loadedPdfPath;
    // The file name of the book whose load failed last, while its failure is what the viewer shows.
    std::optional<QString> m_failedFileName;
    std::optional<QString> m_openError;
    bool m_coverPageRemoved = false;
    double m_fittedScaleFactor = 1;
    bool m_userHasBrowsedPages = false;
    bool m_isPresentationMode = false;
    bool m_wasFullScreen = false;
    bool m_maximizedBeforePresentation = false;
    QList<QPointer<QWidget>> m_windowsHiddenForFullscreen;
    std::unique_ptr<KeepAwake> m_keepAwake;
    QList<QMetaObject::Connection> m_pdfViewObservers;

    QWidget *m_mainStackView = nullptr;
    ViewerToolbarRow *m_toolbarRow = nullptr;
    PDFScrollZoomWrapper *m_scrollZoomWrapper = nullptr;
    QWidget *m_pdfContainer = nullptr;
    PdfPageView *m_pdfView = nullptr;
    // Made with the page view, gone before it.
    std::unique_ptr<ViewerAnnotationEditor> m_editor;
    ViewerFloatingButtons *m_floatingButtons = nullptr;
    QLineEdit *m_pageNumberField = nullptr;
    QLabel *m_totalPagesLabel = nullptr;
    QLabel *m_currentBookmarkTitleLabel = nullptr;
    QPointer<QPushButton> m_coverPageBtn;
    QPushButton *m_editBtnRef = nullptr;
    QPointer<QPushButton> m_shareButtonRef;
};
