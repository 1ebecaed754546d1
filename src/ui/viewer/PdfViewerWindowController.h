#pragma once

#include "core/annotations/BookAnnotations.h"
#include "core/annotations/EditToolState.h"
#include "core/library/BookmarkEntry.h"
#include "core/playlist/PlaylistItem.h"
#include "core/viewer/SwipeAccumulator.h"
#include "core/viewer/ViewerSession.h"
#include "pdf/engine/PdfDocument.h"

#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class AppContext;
class KeepAwake;
class PDFScrollZoomWrapper;
class PdfEditInspectorView;
class PdfPageView;
class QLabel;
class QLineEdit;
struct ViewerOpenRequest;
class QMouseEvent;
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
// In edit mode the user draws on the pages with a pen or a highlighter and places text notes; the
// annotations belong to the book shown and are kept in its annotation file (BookAnnotations), read
// when the book opens and written after every change. "+" adds the title the viewer was opened for to
// a playlist; "Share" exports the title shown, with its annotations.
class PdfViewerWindowController : public QWidget {
    Q_OBJECT

public:
    static constexpr double horizontalPageSwipeThreshold = SwipeAccumulator::threshold;
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

    // ---- Edit mode and the tools
    void toggleEditMode();
    // The one way the tool changes.
    void setEditTool(PdfEditTool tool);
    void editPopoverPenToggled();
    void editPopoverTextToggled(bool on);
    void editPopoverHighlighterToggled(bool on);
    void editPopoverThicknessChanged(double value);
    void editPopoverOpacityChanged(double value);
    void editPopoverColorChanged(const QColor &color);
    void highlighterColorChanged(const QColor &color);
    void updateStatusTextForEditMode();

    // ---- Annotation input on the page view (view coordinates); true when the tools took the event
    bool handleOverlayMouseDown(const QPointF &point);
    bool handleOverlayMouseDragged(const QPointF &point);
    bool handleOverlayMouseUp();
    // Press, drag, release and double click on the page, routed to the tools or to panning.
    bool handlePageMouseEvent(QMouseEvent *event);
    void panPDFBy(double dx, double dy);
    std::optional<int> pageIndexFor(const QPointF &point) const;

    // ---- Undo, redo and clearing
    void undoEdit();
    void redoEdit();
    void clearCurrentPageEdits();
    void clearBookEdits();

    // ---- Playlists and sharing
    void addToPlaylist();
    // Exports the title the viewer shows, with the annotations it holds for its book.
    void shareCurrentPdf();

    void updatePlaylistNavButtons();
    void refreshFloatingOverlayButtonStyles();

    // ---- State
    const ViewerSession &session() const { return m_session; }
    const QString &pdfPath() const { return m_session.pdfPath(); }
    qint64 pageNumber() const { return m_session.pageNumber(); }
    const std::optional<BookmarkEntry> &bookmarkEntry() const { return m_session.bookmarkEntry(); }
    const QString &currentPdfPath() const { return m_session.currentPdfPath(); }
    // The book whose pages are shown (and whose annotations are in memory); empty when none is.
    const QString &loadedPdfPath() const { return m_loadedPdfPath; }
    // Why the book last asked for could not be opened (naming the file); nothing while it is open.
    const std::optional<QString> &openError() const { return m_openError; }
    qint64 currentPageNumber() const { return m_session.currentPageNumber(); }
    const std::optional<QList<PlaylistItem>> &playlistItems() const { return m_session.playlistItems(); }
    qint64 playlistCurrentIndex() const { return m_session.playlistCurrentIndex(); }
    const BookmarkList &sourcePdfBookmarks() const { return m_session.sourcePdfBookmarks(); }
    const std::optional<QString> &initialTitle() const { return m_session.initialTitle(); }
    BookmarkEntry currentShareBookmarkEntry() const;
    const PdfDocumentPtr &pdfDocument() const { return m_pdfDocument; }
    bool coverPageRemoved() const { return m_coverPageRemoved; }
    double fittedScaleFactor() const { return m_fittedScaleFactor; }
    bool userHasBrowsedPages() const { return m_userHasBrowsedPages; }
    bool isPresentationMode() const { return m_isPresentationMode; }
    const EditToolState &tools() const { return m_tools; }
    const BookAnnotations &annotations() const { return m_annotations; }

    // ---- Views
    PdfPageView *pdfView() const { return m_pdfView; }
    PDFScrollZoomWrapper *scrollZoomWrapper() const { return m_scrollZoomWrapper; }
    ViewerToolbarRow *toolbarRow() const { return m_toolbarRow; }
    QLineEdit *pageNumberField() const { return m_pageNumberField; }
    QLabel *totalPagesLabel() const { return m_totalPagesLabel; }
    QLabel *currentBookmarkTitleLabel() const { return m_currentBookmarkTitleLabel; }
    QPushButton *coverPageBtn() const { return m_coverPageBtn; }
    QWidget *floatingTitleNavContainer() const { return m_floatingTitleNavContainer; }
    QPushButton *floatingPrevTitleBtn() const { return m_floatingPrevTitleBtn; }
    QPushButton *floatingNextTitleBtn() const { return m_floatingNextTitleBtn; }
    QPushButton *floatingExitFullscreenBtn() const { return m_floatingExitFullscreenBtn; }
    QPushButton *editButton() const { return m_editBtnRef; }
    QPushButton *shareButton() const { return m_shareButtonRef; }
    // The tool palette, while in edit mode.
    PdfEditInspectorView *editInspectorView() const;
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

    // Editing (PdfViewerEditing.cpp)
    struct ViewPosition {
        std::optional<int> pageIndex;
        double scaleFactor = 1;
        QPoint scroll;
    };
    ViewPosition capturePdfViewPosition() const;
    void restorePdfViewPosition(const ViewPosition &position);
    void preservingPdfViewPosition(const std::function<void()> &body);
    void toolButtonToggled(PdfEditTool tool, bool on);
    void presentEditSettingsPopover();
    void dismissEditSettingsPopover();
    void dropLiveStroke();
    void applyToolCursor();
    void placeTextNote(int pageIndex, const QPointF &pagePoint);
    bool confirmEditClear(const QString &title, const QString &message);
    void connectAnnotations();
    // A message the user sees once, over the window, without stopping anything.
    void showNotice(const QString &message, const QString &informativeText);

    AppContext &m_context;
    ViewerSession m_session;

    PdfDocumentPtr m_pdfDocument;
    QString m_loadedPdfPath;
    // The file name of the book whose load failed last, while its failure is what the viewer shows.
    std::optional<QString> m_failedFileName;
    std::optional<QString> m_openError;
    bool m_coverPageRemoved = false;
    double m_fittedScaleFactor = 1;
    SwipeAccumulator m_swipe;
    bool m_userHasBrowsedPages = false;
    bool m_isEditMode = false;
    EditToolState m_tools;
    BookAnnotations m_annotations;
    // The stroke being drawn: its page and its points, in the page's space.
    std::optional<int> m_liveStrokePageIndex;
    QList<PointRecord> m_liveStrokePagePoints;
    // The last release committed a stroke: a double click that follows takes it back.
    bool m_lastReleaseCommittedStroke = false;
    // Where the pointer was at the last step of a drag that pans the page.
    std::optional<QPointF> m_lastDragLocation;
    // A title went into a playlist from here: a failed save of the playlists is told here too.
    bool m_addedToPlaylist = false;
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
    QPointer<PdfEditInspectorView> m_editInspectorView;
    QWidget *m_floatingTitleNavContainer = nullptr;
    QPushButton *m_floatingPrevTitleBtn = nullptr;
    QPushButton *m_floatingNextTitleBtn = nullptr;
    QPushButton *m_floatingExitFullscreenBtn = nullptr;
};
