#include "ui/viewer/PdfViewerWindowController.h"

#include "core/common/AppSettings.h"

#include "core/common/DiagnosticLog.h"
#include "core/common/PdfViewLog.h"
#include "core/session/LibrarySession.h"
#include "core/viewer/ViewerNavigation.h"
#include "core/viewer/ViewerZoom.h"
#include "pdf/view/PageGeometry.h"
#include "platform/power/KeepAwake.h"
#include "ui/app/AppContext.h"
#include "ui/common/WindowPlacement.h"
#include "ui/viewer/PDFScrollZoomWrapper.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/ViewerAnnotationEditor.h"
#include "ui/viewer/ViewerFloatingButtons.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

QString fileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

} // namespace

PdfViewerWindowController::PdfViewerWindowController(AppContext &context, const QString &pdfPath,
                                                     qint64 pageNumber,
                                                     const std::optional<BookmarkEntry> &bookmarkEntry,
                                                     const std::optional<QList<PlaylistItem>> &playlistItems,
                                                     qint64 playlistCurrentIndex,
                                                     const BookmarkList &sourcePdfBookmarks)
    : m_context(context),
      m_session(pdfPath, pageNumber, bookmarkEntry, playlistItems, playlistCurrentIndex, sourcePdfBookmarks)
{
    m_keepAwake = std::make_unique<KeepAwake>(
        KeepAwake::Reasons{QStringLiteral("Lyrafold PDF Viewer prevents system sleep"),
                           QStringLiteral("Lyrafold PDF Viewer prevents display sleep")},
        &pdfLog);

    setWindowTitle(fileNameOf(pdfPath));
    resize(900, 700);
    setMinimumSize(520, 420);
    WindowPlacement::centreOnScreen(this);
    pdfLog(QStringLiteral("PdfViewerWindowController init path=") + pdfPath + QStringLiteral(" page=") +
           QString::number(pageNumber));

    setupUI();
    connectAnnotations();
    // The arrow keys work wherever the focus is in this window, the page field included: its widgets,
    // those made later too, show their keys to the window first.
    watchKeysOf(this);
    loadDocument(currentPdfPath(), currentPageNumber(), false);
}

PdfViewerWindowController::~PdfViewerWindowController()
{
    // The page area outlives this body by a little: its input must neither reach a viewer that is
    // already half gone nor the editor, which goes before it.
    m_scrollZoomWrapper->watchInputOf(nullptr, nullptr);
    m_scrollZoomWrapper->disconnect(this);
    removeEventFilter(this);
    for (QWidget *widget : findChildren<QWidget *>())
        widget->removeEventFilter(this);
    for (const QMetaObject::Connection &observer : std::as_const(m_pdfViewObservers))
        disconnect(observer);
}

void PdfViewerWindowController::showWindow()
{
    pdfLog(QStringLiteral("showWindow called"));
    show();
    keepDeviceAwake();
    WindowPlacement::centreOnScreen(this);
    raise();
    activateWindow();
    // Window managers may still stack a window they have just mapped; bring it forward once more.
    QTimer::singleShot(0, this, [this] {
        raise();
        activateWindow();
    });
    pdfLog(QStringLiteral("PDF scroll handling installed on overlay, scheduling fit in 0.25s"));
    QTimer::singleShot(fitDelayAfterShowMs, this, [this] {
        pdfLog(QStringLiteral("delayed fit block running"));
        fitCurrentPageToView();
    });
}

// ---- Closing and window events

void PdfViewerWindowController::closeEvent(QCloseEvent *event)
{
    windowWillClose();
    event->accept();
}

void PdfViewerWindowController::windowWillClose()
{
    if (m_editor->isEditMode())
        m_editor->toggleEditMode();
    m_editor->annotations().save();
    if (m_isPresentationMode)
        exitPresentationMode();
    // The registry of viewers hears it: the viewer stops being current and leaves the open viewers.
    if (!std::exchange(m_closed, true))
        Q_EMIT closed();
    releasePowerAssertion();
}

void PdfViewerWindowController::windowDidBecomeKey()
{
    keepDeviceAwake();
}

void PdfViewerWindowController::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        windowDidBecomeKey();
    } else if (event->type() == QEvent::WindowStateChange) {
        const bool fullScreen = windowState() & Qt::WindowFullScreen;
        if (fullScreen != m_wasFullScreen) {
            m_wasFullScreen = fullScreen;
            if (fullScreen)
                windowDidEnterFullScreen();
            else
                windowDidExitFullScreen();
        }
    }
}

void PdfViewerWindowController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Before the window is built it has nothing to lay out.
    if (m_floatingButtons)
        m_floatingButtons->layout();
    if (m_editor)
        m_editor->windowResized();
}

void PdfViewerWindowController::windowDidResize()
{
    pdfLog(QStringLiteral("windowDidResize called"));
    fitCurrentPageToView();
}

void PdfViewerWindowController::watchKeysOf(QWidget *widget)
{
    widget->installEventFilter(this);
    for (QWidget *child : widget->findChildren<QWidget *>())
        child->installEventFilter(this);
}

bool PdfViewerWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ChildAdded) {
        if (QObject *child = static_cast<QChildEvent *>(event)->child(); child->isWidgetType())
            watchKeysOf(static_cast<QWidget *>(child));
    } else if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
               static_cast<QWidget *>(watched)->window() == this) {
        // A widget of its own made a window (a pop-up) keeps its keys.
        return m_scrollZoomWrapper->handleWindowKey(static_cast<QKeyEvent *>(event));
    }
    return QWidget::eventFilter(watched, event);
}

void PdfViewerWindowController::keyPressEvent(QKeyEvent *event)
{
    // Keys that neither the viewer's own handling nor the focused control took end here.
    if (!m_scrollZoomWrapper->handleViewKey(event))
        QWidget::keyPressEvent(event);
}

// ---- Keep-awake

void PdfViewerWindowController::keepDeviceAwake()
{
    m_keepAwake->hold();
}

void PdfViewerWindowController::releasePowerAssertion()
{
    m_keepAwake->release();
}

// ---- Loading and fitting

void PdfViewerWindowController::loadDocument(const QString &path, qint64 page, bool preserveViewMode)
{
    pdfLog(QStringLiteral("loadDocument path=") + path + QStringLiteral(" page=") + QString::number(page));
    const PageDisplayMode rememberedMode = m_pdfView->displayMode();
    // The annotations of the book being left are saved under its name while it is still open.
    m_editor->annotations().save();
    m_editor->dropLiveStroke();
    m_session.setCurrent(path, page);

    // A step to another title of the book in view keeps the open book, and with it the pages
    // already rendered.
    Result<PdfDocumentPtr> opened = m_pdfDocument && path == m_loadedPdfPath
                                        ? Result<PdfDocumentPtr>(m_pdfDocument)
                                        : PdfDocument::open(path);
    if (!opened) {
        pdfLog(QStringLiteral("loadDocument FAILED: PDFDocument nil (") + opened.error().message +
               QLatin1Char(')'));
        // The previous book's pages are not shown under a title they do not belong to; the label says
        // what went wrong instead.
        m_pdfDocument.reset();
        m_loadedPdfPath.clear();
        // The annotations belonged to the book that was shown: nothing is kept under the new name.
        m_editor->annotations().close();
        m_failedFileName = fileNameOf(path);
        m_openError = opened.error().message;
        m_pdfView->setDocument(nullptr);
        m_pdfView->setMessage(*m_openError);
        setWindowTitle(fileNameOf(path));
        refreshPageUi();
        return;
    }
    m_failedFileName.reset();
    m_openError.reset();
    m_pdfDocument = std::move(opened).value();
    m_loadedPdfPath = path;
    m_editor->annotations().open(path);
    m_coverPageRemoved = preserveViewMode && m_coverPageRemoved;
    if (m_coverPageBtn)
        m_coverPageBtn->setChecked(m_coverPageRemoved);

    m_pdfView->setDocument(m_pdfDocument);
    const PageDisplayMode mode = preserveViewMode ? rememberedMode : PageDisplayMode::singlePage;
    m_pdfView->setDisplayMode(mode);
    m_pdfView->setDisplaysAsBook(mode == PageDisplayMode::twoUp && !m_coverPageRemoved);
    // A page past the book's end shows its first page, also when the book was open already and the
    // view still shows the previous title's page.
    const int pageCount = m_pdfDocument->pageCount();
    if (pageCount > 0)
        m_pdfView->goToPage(currentPageNumber() - 1 < pageCount ? int(currentPageNumber() - 1) : 0);

    refreshPageUi();
    setWindowTitle(fileNameOf(path));
    fitCurrentPageToView();
    pdfLog(QStringLiteral("loadDocument done"));
}

void PdfViewerWindowController::refreshPageUi()
{
    if (m_pdfDocument && m_pdfView->document()) {
        int index = m_pdfView->currentPageIndex();
        if (index < 0)
            index = int(std::max<qint64>(currentPageNumber() - 1, 0));
        m_pageNumberField->setText(QString::number(index + 1));
    } else {
        m_pageNumberField->setText(QStringLiteral("1"));
    }
    m_totalPagesLabel->setText(QStringLiteral("of %1").arg(m_pdfDocument ? m_pdfDocument->pageCount() : 0));
    updateCurrentBookmarkTitle();
}

void PdfViewerWindowController::installPdfViewObservers()
{
    for (const QMetaObject::Connection &observer : std::as_const(m_pdfViewObservers))
        disconnect(observer);
    m_pdfViewObservers = {
        connect(m_pdfView, &PdfPageView::pageChanged, this, &PdfViewerWindowController::refreshPageUi),
        connect(m_pdfView, &PdfPageView::bookUnreadable, this,
                [this](const QString &reason) {
                    showNotice(QStringLiteral("%1 can no longer be read.").arg(fileNameOf(m_loadedPdfPath)),
                               reason + QStringLiteral(" The pages not shown yet stay blank; open the song "
                                                       "again once the file is whole."));
                }),
    };
}

void PdfViewerWindowController::fitCurrentPageToView()
{
    pdfLog(QStringLiteral("fitCurrentPageToView ENTER"));
    const int index = m_pdfView->currentPageIndex();
    if (!m_pdfDocument || index < 0) {
        pdfLog(QStringLiteral("fitCurrentPageToView SKIP: no page"));
        return;
    }
    if (layout())
        layout()->activate();
    const QRectF bounds(QPointF(), m_pdfView->pageGeometry(index).shownSize());
    if (!(bounds.width() > 0) || !(bounds.height() > 0)) {
        pdfLog(QStringLiteral("fitCurrentPageToView SKIP: invalid pageBounds ") +
               PdfViewLog::formatRect(bounds));
        return;
    }
    const QSizeF available = m_scrollZoomWrapper->size();
    const std::optional<double> scale =
        ViewerZoom::fitScale(bounds.size(), available, m_pdfView->displayMode() == PageDisplayMode::twoUp,
                             m_pdfView->minScaleFactor(), m_pdfView->maxScaleFactor());
    m_fittedScaleFactor = *scale;
    m_scrollZoomWrapper->setFittedScale(*scale);
    m_pdfView->setScaleFactor(*scale);
    pdfLog(QStringLiteral("fitCurrentPageToView: container=") + PdfViewLog::formatSize(available) +
           QStringLiteral(" pageBounds=") + PdfViewLog::formatRect(bounds) + QStringLiteral(" scaleFactor=") +
           DiagnosticLog::formatNumber(*scale));
}
