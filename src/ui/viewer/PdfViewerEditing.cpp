// Edit mode of the PDF viewer: the tools and their palette, drawing and placing notes on the pages,
// undo, redo and clearing, and adding the title to a playlist.

#include "core/playlist/PlaylistLibrary.h"
#include "core/text/TextUtils.h"
#include "ui/app/AppContext.h"
#include "ui/common/AddToPlaylistDialogs.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldFormAlert.h"
#include "ui/common/LyrafoldUIAssets.h"
#include "ui/share/TitleShareFlow.h"
#include "ui/viewer/PdfEditToolPalette.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/PdfViewerWindowController.h"
#include "ui/viewer/ViewerToolbarRow.h"

#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

namespace {

// Outside edit mode, a drag moves the page once it is zoomed this far past the fit.
constexpr double panningZoom = 1.2;

QColor qColor(const ColorRecord &color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

ColorRecord colorRecord(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

QCursor toolCursor(const QString &icon, const QPoint &hotSpot)
{
    const QPixmap pixmap = LyrafoldUIAssets::image(icon, 32);
    return pixmap.isNull() ? QCursor(Qt::CrossCursor) : QCursor(pixmap, hotSpot.x(), hotSpot.y());
}

} // namespace

void PdfViewerWindowController::connectAnnotations()
{
    m_pdfView->setAnnotations(&m_annotations.document());
    connect(&m_annotations, &BookAnnotations::fileSetAside, this,
            [this](const QString &book, const QString &asidePath) {
                const QString name = QFileInfo(book).fileName();
                showNotice(
                    QStringLiteral("The annotations of %1 could not be read.").arg(name),
                    asidePath.isEmpty()
                        ? QStringLiteral("Their file could not be moved aside either, so nothing you draw "
                                         "on this book is saved while it is open.")
                        : QStringLiteral("Their file was moved aside as %1; the book starts without "
                                         "annotations.")
                              .arg(QFileInfo(asidePath).fileName()));
            });
    connect(&m_annotations, &BookAnnotations::saveFailed, this,
            [this](const QString &book, const QString &reason) {
                showNotice(
                    QStringLiteral("Could not save the annotations of %1.").arg(QFileInfo(book).fileName()),
                    reason);
            });
    connect(&m_context.playlists(), &PlaylistLibrary::saveFailed, this,
            [this](const QString &path, const QString &reason) {
                if (m_addedToPlaylist)
                    showNotice(QStringLiteral("Could not save %1.").arg(QFileInfo(path).fileName()), reason);
            });
}

void PdfViewerWindowController::showNotice(const QString &message, const QString &informativeText)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Lyrafold"), message,
                                QMessageBox::NoButton, this);
    // The viewer's texts stay English, its button too (a standard button would follow Qt's language).
    box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setObjectName(QStringLiteral("viewerNotice"));
    box->setInformativeText(informativeText);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// ---- Keeping the page in place

PdfViewerWindowController::ViewPosition PdfViewerWindowController::capturePdfViewPosition() const
{
    ViewPosition position;
    if (m_pdfDocument && m_pdfView->currentPageIndex() >= 0)
        position.pageIndex = m_pdfView->currentPageIndex();
    position.scaleFactor = m_pdfView->scaleFactor();
    position.scroll =
        QPoint(m_pdfView->horizontalScrollBar()->value(), m_pdfView->verticalScrollBar()->value());
    return position;
}

void PdfViewerWindowController::restorePdfViewPosition(const ViewPosition &position)
{
    if (position.pageIndex && *position.pageIndex != m_pdfView->currentPageIndex() && m_pdfDocument &&
        *position.pageIndex < m_pdfDocument->pageCount())
        m_pdfView->goToPage(*position.pageIndex);
    m_pdfView->setScaleFactor(position.scaleFactor);
    m_pdfView->horizontalScrollBar()->setValue(position.scroll.x());
    m_pdfView->verticalScrollBar()->setValue(position.scroll.y());
}

void PdfViewerWindowController::preservingPdfViewPosition(const std::function<void()> &body)
{
    const ViewPosition position = capturePdfViewPosition();
    body();
    restorePdfViewPosition(position);
    QTimer::singleShot(0, this, [this, position] { restorePdfViewPosition(position); });
}

// ---- Edit mode and the tools

void PdfViewerWindowController::toggleEditMode()
{
    const ViewPosition position = capturePdfViewPosition();
    m_isEditMode = !m_isEditMode;
    m_editBtnRef->setText(m_isEditMode ? QStringLiteral("Done (exit edit)") : QStringLiteral("Edit"));
    if (m_isEditMode) {
        presentEditSettingsPopover();
    } else {
        dismissEditSettingsPopover();
        dropLiveStroke();
        m_annotations.save();
    }
    setEditTool(PdfEditTool::pen);
    restorePdfViewPosition(position);
    QTimer::singleShot(0, this, [this, position] { restorePdfViewPosition(position); });
}

void PdfViewerWindowController::setEditTool(PdfEditTool tool)
{
    m_tools.setTool(tool);
    if (m_editInspectorView) {
        m_editInspectorView->showTool(tool);
        m_editInspectorView->showThickness(m_tools.drawThickness());
        m_editInspectorView->showOpacity(m_tools.drawOpacity());
    }
    applyToolCursor();
    updateStatusTextForEditMode();
}

void PdfViewerWindowController::applyToolCursor()
{
    QWidget *area = m_pdfView->viewport();
    if (!m_isEditMode) {
        area->unsetCursor();
        return;
    }
    switch (m_tools.tool()) {
    case PdfEditTool::pen:
        area->setCursor(toolCursor(QStringLiteral("pencil"), QPoint(2, 2)));
        break;
    case PdfEditTool::text:
        area->setCursor(Qt::IBeamCursor);
        break;
    case PdfEditTool::highlighter:
        area->setCursor(toolCursor(QStringLiteral("highlighter_marker"), QPoint(4, 28)));
        break;
    }
}

void PdfViewerWindowController::updateStatusTextForEditMode()
{
    if (m_isEditMode && m_tools.addTextMode())
        m_currentBookmarkTitleLabel->setText(QStringLiteral("Edit mode: click page to add text"));
    else
        updateCurrentBookmarkTitle();
}

void PdfViewerWindowController::editPopoverPenToggled()
{
    if (m_isEditMode)
        preservingPdfViewPosition([this] { setEditTool(PdfEditTool::pen); });
}

void PdfViewerWindowController::editPopoverTextToggled(bool on)
{
    toolButtonToggled(PdfEditTool::text, on);
}

void PdfViewerWindowController::editPopoverHighlighterToggled(bool on)
{
    toolButtonToggled(PdfEditTool::highlighter, on);
}

void PdfViewerWindowController::toolButtonToggled(PdfEditTool tool, bool on)
{
    if (!m_isEditMode)
        return;
    // Pressing the chosen tool's button again returns to the pen; the buttons then follow the tool.
    preservingPdfViewPosition([this, tool, on] {
        if (on != (m_tools.tool() == tool))
            setEditTool(on ? tool : PdfEditTool::pen);
        setEditTool(m_tools.tool());
    });
}

void PdfViewerWindowController::editPopoverThicknessChanged(double value)
{
    if (!m_isEditMode)
        return;
    m_tools.setThickness(value);
    if (m_editInspectorView)
        m_editInspectorView->showThickness(value);
}

void PdfViewerWindowController::editPopoverOpacityChanged(double value)
{
    if (!m_isEditMode)
        return;
    m_tools.setOpacity(value);
    if (m_editInspectorView)
        m_editInspectorView->showOpacity(value);
}

void PdfViewerWindowController::editPopoverColorChanged(const QColor &color)
{
    if (!m_isEditMode)
        return;
    m_tools.setDrawColor(colorRecord(color));
    if (m_editInspectorView)
        m_editInspectorView->colorWell()->setColor(color);
}

void PdfViewerWindowController::highlighterColorChanged(const QColor &color)
{
    if (!m_isEditMode)
        return;
    m_tools.setHighlighterColor(colorRecord(color));
    if (m_editInspectorView)
        m_editInspectorView->highlighterColorWell()->setColor(color);
}

void PdfViewerWindowController::presentEditSettingsPopover()
{
    dismissEditSettingsPopover();
    auto *palette = new PdfEditInspectorView(this);
    m_editInspectorView = palette;
    connect(palette->penButton(), &QPushButton::clicked, this, [this] { editPopoverPenToggled(); });
    connect(palette->textButton(), &QPushButton::clicked, this,
            [this](bool on) { editPopoverTextToggled(on); });
    connect(palette->highlighterButton(), &QPushButton::clicked, this,
            [this](bool on) { editPopoverHighlighterToggled(on); });
    connect(palette, &PdfEditInspectorView::thicknessChanged, this,
            [this](double value) { editPopoverThicknessChanged(value); });
    connect(palette, &PdfEditInspectorView::opacityChanged, this,
            [this](double value) { editPopoverOpacityChanged(value); });
    connect(palette->colorWell(), &ColorWell::colorChanged, this,
            [this](const QColor &color) { editPopoverColorChanged(color); });
    connect(palette->highlighterColorWell(), &ColorWell::colorChanged, this,
            [this](const QColor &color) { highlighterColorChanged(color); });
    connect(palette->undoButton(), &QPushButton::clicked, this, [this] { undoEdit(); });
    connect(palette->redoButton(), &QPushButton::clicked, this, [this] { redoEdit(); });
    // Undo and Redo are on while there is something to take back or bring back.
    const AnnotationDocument &document = m_annotations.document();
    palette->undoButton()->setEnabled(document.canUndo());
    palette->redoButton()->setEnabled(document.canRedo());
    connect(&document, &AnnotationDocument::canUndoChanged, palette->undoButton(), &QWidget::setEnabled);
    connect(&document, &AnnotationDocument::canRedoChanged, palette->redoButton(), &QWidget::setEnabled);
    connect(palette->clearPageButton(), &QPushButton::clicked, this, [this] { clearCurrentPageEdits(); });
    connect(palette->clearBookButton(), &QPushButton::clicked, this, [this] { clearBookEdits(); });
    palette->colorWell()->setColor(qColor(m_tools.drawColor()));
    palette->highlighterColorWell()->setColor(qColor(m_tools.highlighterColor()));
    palette->placeInitially();
    palette->show();
}

PdfEditInspectorView *PdfViewerWindowController::editInspectorView() const
{
    return m_editInspectorView;
}

void PdfViewerWindowController::dismissEditSettingsPopover()
{
    if (!m_editInspectorView)
        return;
    m_editInspectorView->hide();
    m_editInspectorView->deleteLater();
    m_editInspectorView = nullptr;
}

// ---- Input on the pages

std::optional<int> PdfViewerWindowController::pageIndexFor(const QPointF &point) const
{
    if (!m_pdfDocument)
        return std::nullopt;
    return m_pdfView->nearestPageAt(point);
}

bool PdfViewerWindowController::handlePageMouseEvent(QMouseEvent *event)
{
    const QPointF point = event->position();
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (event->button() != Qt::LeftButton)
            return false;
        // The tooltip of "Fullscreen" promises it: a double click leaves presentation mode, also while
        // drawing, and its first click leaves no stroke behind.
        if (m_isPresentationMode) {
            if (m_isEditMode && m_lastReleaseCommittedStroke && m_annotations.document().withdrawLastStroke())
                m_annotations.save();
            m_lastReleaseCommittedStroke = false;
            exitPresentationMode();
            return true;
        }
        if (!m_isEditMode) {
            fitCurrentPageToView();
            refreshPageUi();
            return true;
        }
        [[fallthrough]];
    case QEvent::MouseButtonPress:
        if (event->button() != Qt::LeftButton)
            return false;
        m_lastReleaseCommittedStroke = false;
        if (m_isEditMode) {
            m_pdfView->setFocus();
            applyToolCursor();
            if (handleOverlayMouseDown(point))
                return true;
        }
        m_lastDragLocation = point;
        return true;
    case QEvent::MouseMove:
        if (!(event->buttons() & Qt::LeftButton))
            return false;
        if (m_isEditMode && handleOverlayMouseDragged(point))
            return true;
        if (m_pdfView->scaleFactor() >= m_fittedScaleFactor * panningZoom) {
            if (m_lastDragLocation)
                panPDFBy(point.x() - m_lastDragLocation->x(), point.y() - m_lastDragLocation->y());
            m_lastDragLocation = point;
        }
        return true;
    case QEvent::MouseButtonRelease:
        if (event->button() != Qt::LeftButton)
            return false;
        if (m_isEditMode)
            handleOverlayMouseUp();
        m_lastDragLocation.reset();
        return true;
    default:
        return false;
    }
}

bool PdfViewerWindowController::handleOverlayMouseDown(const QPointF &point)
{
    if (!m_isEditMode || !m_annotations.isReady())
        return false;
    const std::optional<int> page = pageIndexFor(point);
    if (!page)
        return false;
    const QPointF pagePoint = m_pdfView->convertToPage(point, *page);
    if (m_tools.addTextMode()) {
        placeTextNote(*page, pagePoint);
        return true;
    }
    m_liveStrokePageIndex = page;
    m_liveStrokePagePoints = {PointRecord{pagePoint.x(), pagePoint.y()}};
    m_pdfView->setLiveStroke(*page, m_tools.stroke(m_liveStrokePagePoints));
    return true;
}

bool PdfViewerWindowController::handleOverlayMouseDragged(const QPointF &point)
{
    if (!m_isEditMode || !m_liveStrokePageIndex)
        return false;
    // A stroke stays on its page: positions over another page are dropped.
    if (pageIndexFor(point) != m_liveStrokePageIndex)
        return true;
    const QPointF pagePoint = m_pdfView->convertToPage(point, *m_liveStrokePageIndex);
    m_liveStrokePagePoints.append(PointRecord{pagePoint.x(), pagePoint.y()});
    m_pdfView->setLiveStroke(*m_liveStrokePageIndex, m_tools.stroke(m_liveStrokePagePoints));
    return true;
}

bool PdfViewerWindowController::handleOverlayMouseUp()
{
    if (!m_isEditMode)
        return false;
    if (m_liveStrokePageIndex && m_liveStrokePagePoints.size() >= 2) {
        m_annotations.document().addStroke(*m_liveStrokePageIndex, m_tools.stroke(m_liveStrokePagePoints));
        m_annotations.save();
        m_lastReleaseCommittedStroke = true;
    }
    dropLiveStroke();
    return true;
}

void PdfViewerWindowController::dropLiveStroke()
{
    m_liveStrokePageIndex.reset();
    m_liveStrokePagePoints.clear();
    m_pdfView->clearLiveStroke();
}

void PdfViewerWindowController::placeTextNote(int pageIndex, const QPointF &pagePoint)
{
    const std::optional<QString> typed =
        LyrafoldFormAlert::askText(this, QStringLiteral("textNotePrompt"), QStringLiteral("Add text"),
                                   QStringLiteral("Type text annotation"), QStringLiteral("OK"), 260);
    const QString text = typed ? TextUtils::trimmed(*typed) : QString();
    // The book may have changed under the prompt.
    if (!text.isEmpty() && m_isEditMode && m_annotations.isReady() && m_pdfDocument &&
        pageIndex < m_pdfDocument->pageCount()) {
        m_annotations.document().addText(pageIndex,
                                         m_tools.note(PointRecord{pagePoint.x(), pagePoint.y()}, text));
        m_annotations.save();
    }
    // One note per choice of the text tool; the next press draws with the pen.
    setEditTool(PdfEditTool::pen);
}

void PdfViewerWindowController::panPDFBy(double dx, double dy)
{
    QScrollBar *horizontal = m_pdfView->horizontalScrollBar();
    QScrollBar *vertical = m_pdfView->verticalScrollBar();
    horizontal->setValue(horizontal->value() - int(std::lround(dx)));
    vertical->setValue(vertical->value() - int(std::lround(dy)));
}

// ---- Undo, redo and clearing

void PdfViewerWindowController::undoEdit()
{
    if (m_annotations.document().undo())
        m_annotations.save();
}

void PdfViewerWindowController::redoEdit()
{
    if (m_annotations.document().redo())
        m_annotations.save();
}

bool PdfViewerWindowController::confirmEditClear(const QString &title, const QString &message)
{
    return LyrafoldAlert::run(this, LyrafoldAlert::Style::warning, title, message,
                              {QStringLiteral("Clear"), QStringLiteral("Cancel")}) == 0;
}

void PdfViewerWindowController::clearCurrentPageEdits()
{
    if (!m_pdfDocument || m_pdfView->currentPageIndex() < 0)
        return;
    // The pages shown: in two-page mode the current page may be either side of the spread.
    QList<qint64> pages;
    for (const int page : m_pdfView->visiblePages())
        pages.append(page);
    AnnotationDocument &document = m_annotations.document();
    if (std::none_of(pages.begin(), pages.end(),
                     [&](qint64 page) { return document.pageHasAnnotations(page); }))
        return;
    if (!confirmEditClear(
            QStringLiteral("Clear page edits?"),
            QStringLiteral("This will remove drawings, highlights, and text annotations from the "
                           "visible page(s).")))
        return;
    if (document.clearPages(pages, m_pdfDocument->pageCount()) > 0)
        m_annotations.save();
}

void PdfViewerWindowController::clearBookEdits()
{
    if (!m_annotations.document().hasAnnotations())
        return;
    if (!confirmEditClear(
            QStringLiteral("Clear entire book edits?"),
            QStringLiteral("This will remove all drawings, highlights, and text annotations saved "
                           "for this PDF.")))
        return;
    if (m_annotations.document().clearBook())
        m_annotations.save();
}

// ---- Playlists and sharing

void PdfViewerWindowController::addToPlaylist()
{
    // The title the viewer was opened for, whatever it shows now.
    if (!bookmarkEntry())
        return;
    const AddToPlaylistDialogs::Result result =
        AddToPlaylistDialogs::addToPlaylist(this, m_context.playlists(), *bookmarkEntry());
    // Each of these writes the playlists.
    if (result.kind != AddToPlaylistDialogs::Result::Kind::cancelled &&
        result.kind != AddToPlaylistDialogs::Result::Kind::nameTaken)
        m_addedToPlaylist = true;
}

void PdfViewerWindowController::shareCurrentPdf()
{
    m_annotations.save();
    const BookmarkEntry entry = currentShareBookmarkEntry();
    // What is on screen is what is exported; a title of another book (a list's title whose book could
    // not be opened) takes what that book's annotation file holds.
    std::optional<PdfEditCacheFile> annotations;
    if (m_annotations.isReady() && entry.pdfFilePath == m_annotations.bookPath())
        annotations = m_annotations.document().pages();
    QWidget *anchor = this;
    if (m_shareButtonRef && m_shareButtonRef->isVisible())
        anchor = m_shareButtonRef;
    else if (m_toolbarRow->overflowButton()->isVisible())
        anchor = m_toolbarRow->overflowButton();
    TitleShareFlow::start(this, anchor, entry, annotations);
}
