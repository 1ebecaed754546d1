#pragma once

#include "core/library/BookmarkEntry.h"
#include "core/playlist/PlaylistItem.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/view/SwipeAccumulator.h"

#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class KeepAwake;
class PDFScrollZoomWrapper;
class PdfPageView;
class QLabel;
class QLineEdit;
class QWheelEvent;
class ViewerToolbarRow;

// The PDF viewer: one window that shows one book at a page, optionally while playing through a list
// of titles. Every window that opens songs follows the same protocol (see openFrom()): construct,
// set onWindowClose, keep the viewer in its own list, showWindow(). Showing a viewer closes the one
// that was current, so normally one viewer is open.
//
// The window keeps the system and the display awake while it is open, and traces its steps in the
// viewer log (pdfLog, "Lyrafold_pdfview.log" in the temporary folder).
//
// Annotation editing, sharing and adding the title to a playlist are not here yet: their toolbar
// buttons ("Edit", "Share", "+") are in place and do nothing.
class PdfViewerWindowController : public QWidget {
    Q_OBJECT

public:
    static constexpr double horizontalPageSwipeThreshold = SwipeAccumulator::threshold;
    static constexpr int fitDelayAfterShowMs = 250;
    static constexpr int activateDelayAfterPresentationMs = 350;

    // pageNumber counts from 1 (below 1 opens page 1); playlistCurrentIndex is kept within 0 and the
    // number of items; sourcePdfBookmarks are the library's titles of the same book, in any order.
    // Builds the window and loads the book, but shows nothing until showWindow().
    PdfViewerWindowController(const QString &pdfPath, qint64 pageNumber,
                              const std::optional<BookmarkEntry> &bookmarkEntry,
                              const std::optional<QList<PlaylistItem>> &playlistItems,
                              qint64 playlistCurrentIndex, const BookmarkList &sourcePdfBookmarks);
    ~PdfViewerWindowController() override;

    // The viewer shown last, while it is open.
    static PdfViewerWindowController *current();

    // The opening protocol: onWindowClose removes the viewer from openViewers (while opener lives)
    // and deletes it later; the viewer joins the list and is shown. Returns the viewer.
    static PdfViewerWindowController *openFrom(QObject *opener,
                                               QList<PdfViewerWindowController *> &openViewers,
                                               PdfViewerWindowController *viewer);

    // Shows the window in front, closes the viewer that was current and takes its place.
    void showWindow();
    // Called once when the window closes, after the viewer has stopped being current; then cleared.
    std::function<void()> onWindowClose;

    static void centerWindowOnActiveScreen(QWidget *window);
    // Puts the window with its title bar and borders into frame (screen coordinates). A window
    // manager tells the size of its frame only once the window is shown; the window fits itself
    // again then.
    void placeFrame(const QRect &frame);

    // ---- Loading and fitting
    void loadDocument(const QString &path, qint64 page, bool preserveViewMode);
    void refreshPageUi();
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
    void goToNextTitle();
    void goToPreviousTitle();
    void updateCurrentBookmarkTitle();
    qint64 currentTitlePageSpan() const;
    void closeViewer();
    // True when the event is used up here; otherwise the page view scrolls.
    bool handleScrollWheel(QWheelEvent *event);
    bool handleScrollSample(const SwipeAccumulator::Sample &sample);

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

    void updatePlaylistNavButtons();
    void refreshFloatingOverlayButtonStyles();

    // ---- State
    const QString &pdfPath() const { return m_pdfPath; }
    qint64 pageNumber() const { return m_pageNumber; }
    const std::optional<BookmarkEntry> &bookmarkEntry() const { return m_bookmarkEntry; }
    const QString &currentPdfPath() const { return m_currentPdfPath; }
    // The book whose pages are shown (and whose annotations are in memory); empty when none is.
    const QString &loadedPdfPath() const { return m_loadedPdfPath; }
    qint64 currentPageNumber() const { return m_currentPageNumber; }
    const std::optional<QList<PlaylistItem>> &playlistItems() const { return m_playlistItems; }
    qint64 playlistCurrentIndex() const { return m_playlistCurrentIndex; }
    const BookmarkList &sourcePdfBookmarks() const { return m_sourcePdfBookmarks; }
    const std::optional<QString> &initialTitle() const { return m_initialTitle; }
    const PdfDocumentPtr &pdfDocument() const { return m_pdfDocument; }
    bool coverPageRemoved() const { return m_coverPageRemoved; }
    double fittedScaleFactor() const { return m_fittedScaleFactor; }
    bool userHasBrowsedPages() const { return m_userHasBrowsedPages; }
    bool isPresentationMode() const { return m_isPresentationMode; }
    bool isEditMode() const { return m_isEditMode; }
    const KeepAwake &keepAwake() const { return *m_keepAwake; }

    // ---- Views
    PdfPageView *pdfView() const { return m_pdfView; }
    PDFScrollZoomWrapper *scrollZoomWrapper() const { return m_scrollZoomWrapper; }
    QWidget *pdfContainer() const { return m_pdfContainer; }
    QWidget *mainStackView() const { return m_mainStackView; }
    ViewerToolbarRow *toolbarRow() const { return m_toolbarRow; }
    QLineEdit *pageNumberField() const { return m_pageNumberField; }
    QLabel *totalPagesLabel() const { return m_totalPagesLabel; }
    QLabel *currentBookmarkTitleLabel() const { return m_currentBookmarkTitleLabel; }
    QPushButton *coverPageBtn() const { return m_coverPageBtn; }
    QWidget *floatingTitleNavContainer() const { return m_floatingTitleNavContainer; }
    QPushButton *floatingPrevTitleBtn() const { return m_floatingPrevTitleBtn; }
    QPushButton *floatingNextTitleBtn() const { return m_floatingNextTitleBtn; }
    QPushButton *floatingExitFullscreenBtn() const { return m_floatingExitFullscreenBtn; }
    // The toolbar button with this text, if there is one.
    QPushButton *toolbarButton(const QString &text) const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Layout (PdfViewerLayout.cpp)
    void setupUI();
    void buildToolbar();
    QPushButton *makeToolbarButton(const QString &text, const std::function<void()> &action);
    QPushButton *addToolbarButton(const QString &text, int keep, const std::function<void()> &action);
    void buildPageArea();
    void buildFloatingButtons();
    QPushButton *makeFloatingTitleNavButton(const std::function<void()> &action);
    QPushButton *makeFloatingExitFullscreenButton();
    void layoutFloatingButtons();
    void applyFloatingOverlayButtonStyle(QPushButton *button, bool enabled);
    void applyFloatingOverlayIconButtonStyle(QPushButton *button);
    void applyPresentationColors(bool black);

    // Lifecycle
    void windowWillClose();
    void windowDidBecomeKey();
    void windowDidEnterFullScreen();
    void windowDidExitFullScreen();
    bool handleKeyDown(QKeyEvent *event);
    // The page view's own keys (paging, scrolling, first and last page); false for other keys.
    bool handleViewKey(QKeyEvent *event);
    void installPdfViewObservers();
    void hidePDFScrollBars();
    void showPDFScrollBars();
    void restoreHiddenAppWindowsBelowPdfWindow();
    void markBrowsedAndRefresh();
    void fitIntoPlacedFrame();
    // Sets the pairing of two-page mode and shows the current title's start page, fitted.
    void applyPairingAtTitleStart(bool coverPageRemoved);
    void showPage(int pageIndex);

    const QString m_pdfPath;
    const qint64 m_pageNumber;
    const std::optional<BookmarkEntry> m_bookmarkEntry;
    QString m_currentPdfPath;
    qint64 m_currentPageNumber;
    std::optional<QList<PlaylistItem>> m_playlistItems;
    qint64 m_playlistCurrentIndex = 0;
    BookmarkList m_sourcePdfBookmarks;
    std::optional<QString> m_initialTitle;

    PdfDocumentPtr m_pdfDocument;
    QString m_loadedPdfPath;
    // The file name of the book whose load failed last, while its failure is what the viewer shows.
    std::optional<QString> m_failedFileName;
    bool m_coverPageRemoved = false;
    double m_fittedScaleFactor = 1;
    SwipeAccumulator m_swipe;
    bool m_userHasBrowsedPages = false;
    bool m_isEditMode = false;
    bool m_isPresentationMode = false;
    bool m_wasFullScreen = false;
    bool m_maximizedBeforePresentation = false;
    // Set by placeFrame() until the window's frame is known and the window fits it.
    std::optional<QRect> m_placedFrame;
    QList<QPointer<QWidget>> m_windowsHiddenForFullscreen;
    std::unique_ptr<KeepAwake> m_keepAwake;
    QList<QMetaObject::Connection> m_pdfViewObservers;

    QWidget *m_mainStackView = nullptr;
    ViewerToolbarRow *m_toolbarRow = nullptr;
    PDFScrollZoomWrapper *m_scrollZoomWrapper = nullptr;
    QWidget *m_pdfContainer = nullptr;
    PdfPageView *m_pdfView = nullptr;
    QLineEdit *m_pageNumberField = nullptr;
    QLabel *m_totalPagesLabel = nullptr;
    QLabel *m_currentBookmarkTitleLabel = nullptr;
    QPointer<QPushButton> m_coverPageBtn;
    QPushButton *m_editBtnRef = nullptr;
    QPointer<QPushButton> m_shareButtonRef;
    QWidget *m_floatingTitleNavContainer = nullptr;
    QPushButton *m_floatingPrevTitleBtn = nullptr;
    QPushButton *m_floatingNextTitleBtn = nullptr;
    QPushButton *m_floatingExitFullscreenBtn = nullptr;
};
