#pragma once

#include "core/bookmarks/BookmarkEntry.h"
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
class ViewerToolbarRow;

// The PDF viewer: one window that shows one book at a page, optionally while playing through a list
// of titles. Windows open songs through OpenViewers::openSong(), which keeps the viewers open in the
// application and shows them. Showing a viewer closes the one that was current, so normally one viewer
// is open.
//
// The window keeps the system and the display awake while it is open, and traces its steps in the
// viewer log (pdfLog, "Lyrafold_pdfview.log" in the temporary folder). Its parts are objects of their
// own that tell it what the user asks by signals: the page area's input (PDFScrollZoomWrapper), edit
// mode and the book's annotations (ViewerAnnotationEditor), the floating title and exit buttons
// (ViewerFloatingButtons). "+" adds the title the viewer was opened for to a playlist; "Share" exports
// the title shown, with its annotations. Everything else the user reaches through the controls, which
// carry object names.
class PdfViewerWindowController : public QWidget {
    Q_OBJECT

public:
    // pageNumber counts from 1 (below 1 opens page 1); playlistCurrentIndex is kept within 0 and the
    // number of items; sourcePdfBookmarks are the library's titles of the same book, in any order.
    // Builds the window and loads the book, but shows nothing until showWindow().
    PdfViewerWindowController(AppContext &context, const QString &pdfPath, qint64 pageNumber,
                              const std::optional<BookmarkEntry> &bookmarkEntry,
                              const std::optional<QList<PlaylistItem>> &playlistItems,
                              qint64 playlistCurrentIndex, const BookmarkList &sourcePdfBookmarks);
    ~PdfViewerWindowController() override;

    // Shows the window in front; OpenViewers::show() makes it the application's current viewer first.
    void showWindow();
    // Why the book last asked for could not be opened (naming the file); nothing while it is open.
    const std::optional<QString> &openError() const { return m_openError; }

Q_SIGNALS:
    // The window has closed, after it stopped being current; sent once.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The widget and those inside it, now and later, show their key presses to eventFilter first.
    void watchKeysOf(QWidget *widget);

    static constexpr int fitDelayAfterShowMs = 250;
    static constexpr int activateDelayAfterPresentationMs = 350;

    // Layout (PdfViewerLayout.cpp)
    void setupUI();
    void buildToolbar();
    QPushButton *makeToolbarButton(const QString &text, const QString &objectName,
                                   const std::function<void()> &action);
    QPushButton *addToolbarButton(const QString &text, const QString &objectName, int keep,
                                  const std::function<void()> &action);
    void buildPageArea();
    void applyPresentationColors(bool black);
    void updatePlaylistNavButtons();
    // "Edit", or how to leave edit mode, in the interface language.
    void showEditButtonTitle(bool editing);

    // Lifecycle
    void windowWillClose();
    void windowDidBecomeKey();
    void windowDidEnterFullScreen();
    void windowDidExitFullScreen();
    void installPdfViewObservers();
    void restoreHiddenAppWindowsBelowPdfWindow();
    void keepDeviceAwake();
    void releasePowerAssertion();

    // Loading and fitting
    void loadDocument(const QString &path, qint64 page, bool preserveViewMode);
    void refreshPageUi();
    void fitCurrentPageToView();
    void windowDidResize();

    // Page and title navigation (PdfViewerNavigation.cpp)
    void goToFirstPage();
    void goToLastPage();
    void goToPageFromField();
    // One display step: two pages in two-up mode.
    void turnPageByHorizontalSwipe(int direction);
    // Shows the page as the user's own step through the book.
    void showPageBrowsed(int pageIndex);
    void goToNextTitle();
    void goToPreviousTitle();
    void updateCurrentBookmarkTitle();
    qint64 currentTitlePageSpan() const;
    BookmarkEntry currentShareBookmarkEntry() const;
    // Sets the pairing of two-page mode and shows the current title's start page, fitted.
    void applyPairingAtTitleStart(bool coverPageRemoved);

    // Display modes and zoom
    void singlePage();
    void twoPage();
    void coverPageToggled();
    void zoomIn();
    void zoomOut();
    void fitPage();
    void magnifyZoom(double magnification);

    // Presentation mode
    void fullscreenToggled();
    void enterPresentationMode();
    void exitPresentationMode();

    // Annotations, playlists and sharing (PdfViewerSharing.cpp)
    void connectAnnotations();
    void updateStatusTextForEditMode();
    // A message the user sees once, over the window, without stopping anything.
    void showNotice(const QString &message, const QString &informativeText,
                    QMessageBox::Icon icon = QMessageBox::Warning);
    void addToPlaylist();
    // Exports the title the viewer shows, with the annotations it holds for its book.
    void shareCurrentPdf();

    // ---- State
    const QString &currentPdfPath() const { return m_session.currentPdfPath(); }
    qint64 currentPageNumber() const { return m_session.currentPageNumber(); }
    const std::optional<QList<PlaylistItem>> &playlistItems() const { return m_session.playlistItems(); }
    qint64 playlistCurrentIndex() const { return m_session.playlistCurrentIndex(); }
    const std::optional<BookmarkEntry> &bookmarkEntry() const { return m_session.bookmarkEntry(); }

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
    bool m_closed = false;
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
