// Page and title navigation, display modes and zoom, and presentation mode of the PDF viewer.

#include "core/common/DiagnosticLog.h"
#include "core/common/PdfViewLog.h"
#include "core/viewer/ViewerNavigation.h"
#include "core/viewer/ViewerZoom.h"
#include "ui/viewer/PDFScrollZoomWrapper.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/PdfViewerWindowController.h"
#include "ui/viewer/ViewerFloatingButtons.h"
#include "ui/viewer/ViewerToolbarRow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

// ---- Pages

void PdfViewerWindowController::showPageBrowsed(int pageIndex)
{
    m_pdfView->goToPage(pageIndex);
    m_userHasBrowsedPages = true;
    refreshPageUi();
}

void PdfViewerWindowController::goToFirstPage()
{
    if (!m_pdfDocument || m_pdfDocument->pageCount() < 1)
        return;
    showPageBrowsed(0);
}

void PdfViewerWindowController::goToLastPage()
{
    if (!m_pdfDocument || m_pdfDocument->pageCount() < 1)
        return;
    showPageBrowsed(m_pdfDocument->pageCount() - 1);
}

void PdfViewerWindowController::turnPageByHorizontalSwipe(int direction)
{
    if (!m_pdfDocument)
        return;
    const std::optional<int> target = ViewerNavigation::turnedPage(
        m_pdfView->currentPageIndex(), m_pdfDocument->pageCount(), m_pdfView->displayMode(), direction);
    if (!target)
        return;
    showPageBrowsed(*target);
}

void PdfViewerWindowController::goToPageFromField()
{
    if (!m_pdfDocument)
        return;
    const std::optional<qint64> number = ViewerNavigation::parsePageNumber(m_pageNumberField->text());
    if (!number) {
        refreshPageUi();
        return;
    }
    const int count = m_pdfDocument->pageCount();
    if (count > 0)
        showPageBrowsed(ViewerNavigation::pageIndexForNumber(*number, count));
}

// ---- Titles

void PdfViewerWindowController::goToNextTitle()
{
    const std::optional<PlaylistItem> item = m_session.stepTitle(1);
    if (!item)
        return;
    loadDocument(item->pdfFilePath, item->pageNumber, true);
    updatePlaylistNavButtons();
}

void PdfViewerWindowController::goToPreviousTitle()
{
    const std::optional<PlaylistItem> item = m_session.stepTitle(-1);
    if (!item)
        return;
    loadDocument(item->pdfFilePath, item->pageNumber, true);
    updatePlaylistNavButtons();
}

void PdfViewerWindowController::updateCurrentBookmarkTitle()
{
    if (!m_currentBookmarkTitleLabel)
        return;
    ViewerNavigation::TitleContext context;
    context.failedFileName = m_failedFileName;
    context.playlistItems = playlistItems() ? &*playlistItems() : nullptr;
    context.playlistCurrentIndex = playlistCurrentIndex();
    if (m_pdfDocument && m_pdfView->currentPageIndex() >= 0)
        context.currentPageIndex = m_pdfView->currentPageIndex();
    context.userHasBrowsedPages = m_userHasBrowsedPages;
    context.initialTitle = m_session.initialTitle();
    context.sourcePdfBookmarks = &m_session.sourcePdfBookmarks();
    m_currentBookmarkTitleLabel->setText(ViewerNavigation::currentTitle(context));
}

qint64 PdfViewerWindowController::currentTitlePageSpan() const
{
    return m_session.currentTitlePageSpan();
}

BookmarkEntry PdfViewerWindowController::currentShareBookmarkEntry() const
{
    return m_session.currentShareBookmarkEntry(m_pdfDocument ? std::optional<int>(m_pdfDocument->pageCount())
                                                             : std::nullopt);
}

// ---- Display modes

void PdfViewerWindowController::singlePage()
{
    pdfLog(QStringLiteral("Single button clicked"));
    m_pdfView->setDisplayMode(PageDisplayMode::singlePage);
    m_pdfView->setDisplaysAsBook(false);
    m_coverPageRemoved = false;
    if (m_coverPageBtn)
        m_coverPageBtn->setChecked(false);
    if (m_pdfDocument && currentPageNumber() - 1 < m_pdfDocument->pageCount())
        m_pdfView->goToPage(int(currentPageNumber() - 1));
    fitCurrentPageToView();
    refreshPageUi();
}

void PdfViewerWindowController::twoPage()
{
    pdfLog(QStringLiteral("2-Page button clicked"));
    m_pdfView->setDisplayMode(PageDisplayMode::twoUp);
    if (!m_pdfDocument) {
        fitCurrentPageToView();
        return;
    }
    applyPairingAtTitleStart(
        ViewerNavigation::coverPageRemovedForTwoPage(currentTitlePageSpan(), currentPageNumber()));
}

void PdfViewerWindowController::coverPageToggled()
{
    if (!m_pdfDocument) {
        // The toggle flips itself when clicked; without a book it keeps showing the pairing in force.
        if (m_coverPageBtn)
            m_coverPageBtn->setChecked(m_coverPageRemoved);
        return;
    }
    applyPairingAtTitleStart(!m_coverPageRemoved);
}

void PdfViewerWindowController::applyPairingAtTitleStart(bool coverPageRemoved)
{
    m_coverPageRemoved = coverPageRemoved;
    if (m_coverPageBtn)
        m_coverPageBtn->setChecked(m_coverPageRemoved);
    m_pdfView->setDisplaysAsBook(!m_coverPageRemoved);
    if (m_pdfDocument->pageCount() > 0)
        m_pdfView->goToPage(
            int(std::clamp<qint64>(currentPageNumber() - 1, 0, m_pdfDocument->pageCount() - 1)));
    fitCurrentPageToView();
    refreshPageUi();
}

// ---- Zoom

void PdfViewerWindowController::zoomIn()
{
    pdfLog(QStringLiteral("Zoom+ clicked"));
    m_pdfView->setScaleFactor(ViewerZoom::zoomedIn(m_pdfView->scaleFactor(), m_pdfView->maxScaleFactor()));
}

void PdfViewerWindowController::zoomOut()
{
    pdfLog(QStringLiteral("Zoom- clicked"));
    m_pdfView->setScaleFactor(ViewerZoom::zoomedOut(m_pdfView->scaleFactor(), m_pdfView->minScaleFactor()));
}

void PdfViewerWindowController::fitPage()
{
    pdfLog(QStringLiteral("Fit button clicked"));
    fitCurrentPageToView();
    refreshPageUi();
}

void PdfViewerWindowController::magnifyZoom(double magnification)
{
    const std::optional<double> scale = ViewerZoom::magnified(
        m_pdfView->scaleFactor(), magnification, m_pdfView->minScaleFactor(), m_pdfView->maxScaleFactor());
    if (!scale)
        return;
    m_pdfView->setScaleFactor(*scale);
    pdfLog(QStringLiteral("magnifyZoom magnification=") + DiagnosticLog::formatNumber(magnification) +
           QStringLiteral(" scaleFactor=") + DiagnosticLog::formatNumber(m_pdfView->scaleFactor()));
}

// ---- Presentation mode and full screen

void PdfViewerWindowController::fullscreenToggled()
{
    if (m_isPresentationMode)
        exitPresentationMode();
    else
        enterPresentationMode();
}

void PdfViewerWindowController::enterPresentationMode()
{
    if (m_isPresentationMode)
        return;
    m_isPresentationMode = true;
    m_scrollZoomWrapper->setPresentationMode(true);
    m_toolbarRow->hide();
    applyPresentationColors(true);
    m_floatingButtons->setPresentationMode(true);
    updatePlaylistNavButtons();
    m_pdfView->setScrollBarsShown(false);
    m_windowsHiddenForFullscreen.clear();
    for (QWidget *window : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        if (window == this || !window->isVisible() || (type != Qt::Window && type != Qt::Dialog))
            continue;
        window->hide();
        m_windowsHiddenForFullscreen.append(window);
    }
    m_maximizedBeforePresentation = isMaximized();
    raise();
    activateWindow();
    showFullScreen();
}

void PdfViewerWindowController::exitPresentationMode()
{
    if (!m_isPresentationMode)
        return;
    m_isPresentationMode = false;
    m_scrollZoomWrapper->setPresentationMode(false);
    m_toolbarRow->show();
    m_floatingButtons->setPresentationMode(false);
    m_pdfView->setScrollBarsShown(true);
    applyPresentationColors(false);
    restoreHiddenAppWindowsBelowPdfWindow();
    if (windowState() & Qt::WindowFullScreen) {
        if (m_maximizedBeforePresentation)
            showMaximized();
        else
            showNormal();
    }
    QTimer::singleShot(activateDelayAfterPresentationMs, this, [this] {
        raise();
        activateWindow();
    });
}

void PdfViewerWindowController::restoreHiddenAppWindowsBelowPdfWindow()
{
    const QList<QPointer<QWidget>> hidden = std::exchange(m_windowsHiddenForFullscreen, {});
    for (const QPointer<QWidget> &window : hidden) {
        if (window)
            window->show();
    }
    if (!hidden.isEmpty())
        raise();
}

void PdfViewerWindowController::windowDidEnterFullScreen()
{
    raise();
    activateWindow();
    QTimer::singleShot(0, this, [this] { m_pdfView->setScrollBarsShown(false); });
}

void PdfViewerWindowController::windowDidExitFullScreen()
{
    restoreHiddenAppWindowsBelowPdfWindow();
    // Full screen entered through the window's own control hid them; presentation mode brings them
    // back when it ends.
    if (!m_isPresentationMode)
        m_pdfView->setScrollBarsShown(true);
    raise();
    activateWindow();
}
