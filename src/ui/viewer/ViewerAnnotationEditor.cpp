#include "ui/viewer/ViewerAnnotationEditor.h"

#include "core/text/TextUtils.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldFormAlert.h"
#include "ui/common/LyrafoldUIAssets.h"
#include "ui/viewer/PdfEditToolPalette.h"
#include "ui/viewer/PdfPageView.h"

#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace {

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

ViewerAnnotationEditor::ViewerAnnotationEditor(QWidget *window, PdfPageView *view)
    : QObject(window), m_window(window), m_view(view)
{
    setObjectName(QStringLiteral("annotationEditor"));
    m_view->setAnnotations(&m_annotations.document());
}

ViewerAnnotationEditor::~ViewerAnnotationEditor()
{
    // The annotations go before the page view that shows them.
    m_view->setAnnotations(nullptr);
    m_annotations.save();
}

int ViewerAnnotationEditor::pageCount() const
{
    return m_view->document() ? m_view->document()->pageCount() : 0;
}

// ---- Keeping the page in place

ViewerAnnotationEditor::ViewPosition ViewerAnnotationEditor::capturePosition() const
{
    ViewPosition position;
    if (m_view->document() && m_view->currentPageIndex() >= 0)
        position.pageIndex = m_view->currentPageIndex();
    position.scaleFactor = m_view->scaleFactor();
    position.scroll = QPoint(m_view->horizontalScrollBar()->value(), m_view->verticalScrollBar()->value());
    return position;
}

void ViewerAnnotationEditor::restorePosition(const ViewPosition &position)
{
    if (position.pageIndex && *position.pageIndex != m_view->currentPageIndex() &&
        *position.pageIndex < pageCount())
        m_view->goToPage(*position.pageIndex);
    m_view->setScaleFactor(position.scaleFactor);
    m_view->horizontalScrollBar()->setValue(position.scroll.x());
    m_view->verticalScrollBar()->setValue(position.scroll.y());
}

void ViewerAnnotationEditor::preservingPosition(const std::function<void()> &body)
{
    const ViewPosition position = capturePosition();
    body();
    restorePosition(position);
    QTimer::singleShot(0, this, [this, position] { restorePosition(position); });
}

// ---- Edit mode and the tools

void ViewerAnnotationEditor::toggleEditMode()
{
    preservingPosition([this] {
        m_isEditMode = !m_isEditMode;
        if (m_isEditMode) {
            presentPalette();
        } else {
            dismissPalette();
            dropLiveStroke();
            m_annotations.save();
            m_lastReleaseWasPointLike = true;
        }
        Q_EMIT editModeChanged(m_isEditMode);
        setEditTool(PdfEditTool::pen);
    });
}

void ViewerAnnotationEditor::setEditTool(PdfEditTool tool)
{
    m_tools.setTool(tool);
    if (m_palette) {
        m_palette->showTool(tool);
        m_palette->showThickness(m_tools.drawThickness());
        m_palette->showOpacity(m_tools.drawOpacity());
    }
    applyToolCursor();
    Q_EMIT toolChanged();
}

void ViewerAnnotationEditor::applyToolCursor()
{
    QWidget *area = m_view->viewport();
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

void ViewerAnnotationEditor::penChosen()
{
    if (m_isEditMode)
        preservingPosition([this] { setEditTool(PdfEditTool::pen); });
}

void ViewerAnnotationEditor::textToggled(bool on)
{
    toolButtonToggled(PdfEditTool::text, on);
}

void ViewerAnnotationEditor::highlighterToggled(bool on)
{
    toolButtonToggled(PdfEditTool::highlighter, on);
}

void ViewerAnnotationEditor::toolButtonToggled(PdfEditTool tool, bool on)
{
    if (!m_isEditMode)
        return;
    // Pressing the chosen tool's button again returns to the pen; the buttons then follow the tool.
    preservingPosition([this, tool, on] {
        if (on != (m_tools.tool() == tool))
            setEditTool(on ? tool : PdfEditTool::pen);
        setEditTool(m_tools.tool());
    });
}

void ViewerAnnotationEditor::thicknessChanged(double value)
{
    if (!m_isEditMode)
        return;
    m_tools.setThickness(value);
    if (m_palette)
        m_palette->showThickness(value);
}

void ViewerAnnotationEditor::opacityChanged(double value)
{
    if (!m_isEditMode)
        return;
    m_tools.setOpacity(value);
    if (m_palette)
        m_palette->showOpacity(value);
}

void ViewerAnnotationEditor::colorChanged(const QColor &color)
{
    if (!m_isEditMode)
        return;
    m_tools.setDrawColor(colorRecord(color));
    if (m_palette)
        m_palette->colorWell()->setColor(color);
}

void ViewerAnnotationEditor::highlighterColorChanged(const QColor &color)
{
    if (!m_isEditMode)
        return;
    m_tools.setHighlighterColor(colorRecord(color));
    if (m_palette)
        m_palette->highlighterColorWell()->setColor(color);
}

void ViewerAnnotationEditor::presentPalette()
{
    dismissPalette();
    auto *palette = new PdfEditInspectorView(m_window);
    m_palette = palette;
    connect(palette->penButton(), &QPushButton::clicked, this, [this] { penChosen(); });
    connect(palette->textButton(), &QPushButton::clicked, this, [this](bool on) { textToggled(on); });
    connect(palette->highlighterButton(), &QPushButton::clicked, this,
            [this](bool on) { highlighterToggled(on); });
    connect(palette, &PdfEditInspectorView::thicknessChanged, this,
            [this](double value) { thicknessChanged(value); });
    connect(palette, &PdfEditInspectorView::opacityChanged, this,
            [this](double value) { opacityChanged(value); });
    connect(palette->colorWell(), &ColorWell::colorChanged, this,
            [this](const QColor &color) { colorChanged(color); });
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

void ViewerAnnotationEditor::dismissPalette()
{
    if (!m_palette)
        return;
    m_palette->hide();
    // Out of the window at once, gone on the next turn of the event loop.
    m_palette->setParent(nullptr);
    m_palette->deleteLater();
    m_palette = nullptr;
}

void ViewerAnnotationEditor::windowResized()
{
    if (m_palette)
        m_palette->restorePositionFromEdges();
}

// ---- Input on the pages

std::optional<int> ViewerAnnotationEditor::pageIndexFor(const QPointF &point) const
{
    if (!m_view->document())
        return std::nullopt;
    return m_view->nearestPageAt(point);
}

bool ViewerAnnotationEditor::press(const QPointF &point)
{
    // Whatever this press becomes, the mark before it no longer decides what a double click is.
    m_lastReleaseCommittedStroke = false;
    m_lastReleaseWasPointLike = true;
    if (!m_isEditMode)
        return false;
    m_view->setFocus();
    applyToolCursor();
    if (!m_annotations.isReady())
        return false;
    const std::optional<int> page = pageIndexFor(point);
    if (!page)
        return false;
    const QPointF pagePoint = m_view->convertToPage(point, *page);
    if (m_tools.addTextMode()) {
        placeTextNote(*page, pagePoint);
        return true;
    }
    m_liveStrokePageIndex = page;
    m_liveStrokePagePoints = {PointRecord{pagePoint.x(), pagePoint.y()}};
    m_view->setLiveStroke(*page, m_tools.stroke(m_liveStrokePagePoints));
    return true;
}

bool ViewerAnnotationEditor::drag(const QPointF &point)
{
    if (!m_isEditMode || !m_liveStrokePageIndex)
        return false;
    // A stroke stays on its page: positions over another page are dropped.
    if (pageIndexFor(point) != m_liveStrokePageIndex)
        return true;
    const QPointF pagePoint = m_view->convertToPage(point, *m_liveStrokePageIndex);
    m_liveStrokePagePoints.append(PointRecord{pagePoint.x(), pagePoint.y()});
    m_view->setLiveStroke(*m_liveStrokePageIndex, m_tools.stroke(m_liveStrokePagePoints));
    return true;
}

bool ViewerAnnotationEditor::release()
{
    if (!m_isEditMode)
        return false;
    if (m_liveStrokePageIndex && m_liveStrokePagePoints.size() >= 2) {
        m_annotations.document().addStroke(*m_liveStrokePageIndex, m_tools.stroke(m_liveStrokePagePoints));
        m_annotations.save();
        m_lastReleaseCommittedStroke = true;
        const auto [left, right] =
            std::minmax_element(m_liveStrokePagePoints.cbegin(), m_liveStrokePagePoints.cend(),
                                [](const PointRecord &a, const PointRecord &b) { return a.x < b.x; });
        const auto [top, bottom] =
            std::minmax_element(m_liveStrokePagePoints.cbegin(), m_liveStrokePagePoints.cend(),
                                [](const PointRecord &a, const PointRecord &b) { return a.y < b.y; });
        m_lastReleaseWasPointLike = std::max(right->x - left->x, bottom->y - top->y) <= pointLikeExtent;
    }
    dropLiveStroke();
    return true;
}

bool ViewerAnnotationEditor::withdrawDoubleClickStroke()
{
    const bool withdrawn =
        m_isEditMode && m_lastReleaseCommittedStroke && m_annotations.document().withdrawLastStroke();
    if (withdrawn)
        m_annotations.save();
    m_lastReleaseCommittedStroke = false;
    return withdrawn;
}

void ViewerAnnotationEditor::dropLiveStroke()
{
    m_liveStrokePageIndex.reset();
    m_liveStrokePagePoints.clear();
    m_view->clearLiveStroke();
}

void ViewerAnnotationEditor::placeTextNote(int pageIndex, const QPointF &pagePoint)
{
    const std::optional<QString> typed =
        LyrafoldFormAlert::askText(m_window, QStringLiteral("textNotePrompt"), QStringLiteral("Add text"),
                                   QStringLiteral("Type text annotation"), QStringLiteral("OK"), 260);
    const QString text = typed ? TextUtils::trimmed(*typed) : QString();
    // The book may have changed under the prompt.
    if (!text.isEmpty() && m_isEditMode && m_annotations.isReady() && pageIndex < pageCount()) {
        m_annotations.document().addText(pageIndex,
                                         m_tools.note(PointRecord{pagePoint.x(), pagePoint.y()}, text));
        m_annotations.save();
    }
    // One note per choice of the text tool; the next press draws with the pen.
    setEditTool(PdfEditTool::pen);
}

// ---- Undo, redo and clearing

void ViewerAnnotationEditor::undoEdit()
{
    if (m_annotations.document().undo())
        m_annotations.save();
}

void ViewerAnnotationEditor::redoEdit()
{
    if (m_annotations.document().redo())
        m_annotations.save();
}

bool ViewerAnnotationEditor::confirmClear(const QString &title, const QString &message)
{
    return LyrafoldAlert::run(m_window, LyrafoldAlert::Style::warning, title, message,
                              {QStringLiteral("Clear"), QStringLiteral("Cancel")}) == 0;
}

void ViewerAnnotationEditor::clearCurrentPageEdits()
{
    if (!m_view->document() || m_view->currentPageIndex() < 0)
        return;
    // The pages shown: in two-page mode the current page may be either side of the spread.
    QList<qint64> pages;
    for (const int page : m_view->visiblePages())
        pages.append(page);
    AnnotationDocument &document = m_annotations.document();
    if (std::none_of(pages.begin(), pages.end(),
                     [&](qint64 page) { return document.pageHasAnnotations(page); }))
        return;
    if (!confirmClear(QStringLiteral("Clear page edits?"),
                      QStringLiteral("This will remove drawings, highlights, and text annotations from the "
                                     "visible page(s).")))
        return;
    if (document.clearPages(pages, pageCount()) > 0)
        m_annotations.save();
}

void ViewerAnnotationEditor::clearBookEdits()
{
    if (!m_annotations.document().hasAnnotations())
        return;
    if (!confirmClear(QStringLiteral("Clear entire book edits?"),
                      QStringLiteral("This will remove all drawings, highlights, and text annotations saved "
                                     "for this PDF.")))
        return;
    if (m_annotations.document().clearBook())
        m_annotations.save();
}
