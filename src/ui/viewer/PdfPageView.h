#pragma once

#include "core/annotations/PdfEditCacheFile.h"
#include "core/viewer/PageLayout.h"
#include "pdf/annotations/AnnotationLayer.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/view/PageGeometry.h"
#include "pdf/view/PageImageCache.h"
#include "pdf/view/PageRenderQueue.h"

#include "core/annotations/AnnotationDocument.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <optional>

// The page view of the PDF viewer: one page, or a two-page spread, of a PDF book at a scale, with
// scroll bars when the pages are larger than the view.
//
// Pages are rendered on a thread of their own (PageRenderQueue) and painted from a small cache of
// images, so the interface never waits for a page: the view asks for the visible part of the shown
// pages at the current scale first, then for the spreads before and after, as they will show after a
// page turn. A page whose image is not there yet is painted from an image at another scale, or white.
// Requests for pages the user has left are dropped before they start.
//
// The annotations of the shown pages are painted over them, in the view itself so that the
// highlighter's strokes darken the page they lie on. Each shown page's annotations are drawn once into
// a layer (AnnotationLayer) that scrolling only lays again; a page with many of them is drawn on a
// worker, the previous layer standing in until it arrives. A new stroke or note is added to the layer
// in place.
//
// View coordinates are those of the viewport (the area inside the scroll bars), in view units; page
// coordinates are the page's user space (see PageGeometry).
class PdfPageView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit PdfPageView(QWidget *parent = nullptr);
    ~PdfPageView() override;

    // Shows the book from its first page; nothing for none. Giving the same book again keeps its
    // images and the current page.
    void setDocument(PdfDocumentPtr document);
    const PdfDocumentPtr &document() const { return m_document; }
    // Shown, whole and wrapped, in the middle of the view while there is no document (why there is
    // none); cleared by the next document.
    void setMessage(const QString &message);

    PageDisplayMode displayMode() const { return m_displayMode; }
    void setDisplayMode(PageDisplayMode mode);
    // In two-up mode: the first page stands alone, as a book's cover does.
    void setDisplaysAsBook(bool asBook);

    // -1 without a document. In two-up mode the page last gone to, whichever side it is on.
    int currentPageIndex() const { return m_currentPage; }
    // Shows the spread of the page, scrolled to its top; a page outside the document is ignored.
    void goToPage(int pageIndex);

    double scaleFactor() const { return m_scale; }
    // Kept within the limits. The page point under anchor (view coordinates; the middle of the view
    // when none) stays where it is.
    void setScaleFactor(double scale, std::optional<QPointF> anchor = std::nullopt);
    double minScaleFactor() const { return m_minScale; }
    double maxScaleFactor() const { return m_maxScale; }
    void setScaleLimits(double minimum, double maximum);

    void setBackgroundColor(const QColor &color);
    void setScrollBarsShown(bool shown);

    PageGeometry pageGeometry(int pageIndex) const;
    // The pages shown now, left to right.
    QList<int> visiblePages() const;
    // From view coordinates to the user space of a page. A page that is not shown is taken where it
    // would stand if it were the current page.
    QPointF convertToPage(const QPointF &viewPoint, int pageIndex) const;
    // The shown page under the point, else the shown page nearest to it; nothing without pages.
    std::optional<int> nearestPageAt(const QPointF &viewPoint) const;

    // ---- Annotations

    // The annotations painted over the pages; none for null. The document must outlive the view or be
    // taken away first.
    void setAnnotations(const AnnotationDocument *annotations);
    // The stroke being drawn, over everything, on its page.
    void setLiveStroke(int pageIndex, const StrokeRecord &stroke);
    void clearLiveStroke();
    // Pages whose annotations have at least this many points are drawn on a worker.
    static constexpr qsizetype annotationPointsDrawnAside = 4000;

    // What the view shows now, for the tests, the benchmarks and the screenshot tool, which wait for
    // the pages and check what is drawn where.
    struct Shown {
        QString message;
        QColor background;
        bool scrollBarsShown = true;
        // Where each shown page lies, in view coordinates.
        QHash<int, QRectF> pageRects;
        // Every shown page and its neighbours have an image at the current scale (or failed to render).
        bool imagesComplete = true;
        // Every shown page's annotations are drawn at the current scale.
        bool annotationLayersComplete = true;
        const PageImageCache *imageCache = nullptr;
    };
    Shown shownForTesting() const;

Q_SIGNALS:
    void pageChanged();
    // Scrolled, resized or laid out anew: what is shown where has changed.
    void visibleAreaChanged();
    // An update of the wanted images found them all there (see Shown::imagesComplete).
    void imagesCompletedForTesting();
    // The book shown can no longer be read (its file became shorter since it was opened, or it no
    // longer opens): the pages not rendered yet stay blank. Told once for each book set.
    void bookUnreadable(const QString &message);

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    // The window gives the keys their meaning (pages, titles, scrolling): they go on to it.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Page user space to view coordinates, for a shown page.
    QTransform pageToView(int pageIndex) const;
    int pageCount() const;
    // Where a shown page lies in view coordinates; empty for a page not shown.
    QRectF pageRect(int pageIndex) const;
    std::optional<int> pageAt(const QPointF &viewPoint) const;
    bool annotationLayersComplete() const;
    void relayout();
    void updateScrollBars();
    QPointF spreadOrigin(const PageLayout::SpreadLayout &layout, const QPoint &scroll) const;
    QPointF spreadOrigin() const;
    PageLayout::SpreadLayout layoutOf(const PageLayout::Spread &spread) const;
    double deviceScale() const;
    QRect wholePagePixels(int pageIndex, double scale) const;
    QRect visiblePixels(const PageLayout::PlacedPage &placed, const QPointF &origin) const;
    PageRenderRequest requestFor(int pageIndex, const QRect &visible) const;
    void scheduleRenders();
    void updateRenders();
    void accept(const PageRenderRequest &request, const QImage &image);
    void refuse(const PageRenderRequest &request);
    void reportCompletion(bool complete);

    struct AnnotationSlot {
        AnnotationLayer layer;
        quint64 version = 0; // of the page's annotations the layer shows
        // The annotations' extent, for the version and geometry it was measured at.
        QRect bounds;
        quint64 boundsVersion = 0;
        AnnotationLayerGeometry boundsGeometry;
        bool drawingAside = false;
    };
    AnnotationLayerGeometry annotationGeometry(int pageIndex) const;
    void updateAnnotationLayers();
    void annotationsChanged(qint64 page, quint64 previousVersion, AnnotationDocument::Change change);
    bool addToLayer(AnnotationSlot &slot, qint64 page, quint64 previousVersion, bool stroke);
    void drawAside(int page, quint64 version, const AnnotationLayerGeometry &geometry, const QRect &region);
    void paintAnnotations(QPainter &painter);

    PdfDocumentPtr m_document;
    mutable QList<std::optional<PageGeometry>> m_geometries;
    PageDisplayMode m_displayMode = PageDisplayMode::singlePage;
    bool m_displaysAsBook = false;
    int m_currentPage = -1;
    double m_scale = 1;
    double m_minScale = 0.25;
    double m_maxScale = 4.0;
    QColor m_background;
    QString m_message;
    bool m_scrollBarsShown = true;

    PageLayout::Spread m_spread;
    PageLayout::SpreadLayout m_layout;

    PageRenderQueue m_queue;
    PageImageCache m_cache;
    QList<PageRenderRequest> m_wanted;
    QList<int> m_wantedPages;
    QList<PageRenderRequest> m_failed;
    QTimer m_renderTimer;
    bool m_imagesComplete = true;
    bool m_unreadableTold = false;
    qreal m_paintedPixelRatio = 0;
    bool m_focusRingShown = false;

    QPointer<const AnnotationDocument> m_annotations;
    QHash<int, AnnotationSlot> m_annotationSlots;
    std::optional<std::pair<int, StrokeRecord>> m_liveStroke;
    // Last, so that it is destroyed first: its destructor waits for the layers being drawn.
    QThreadPool m_annotationPool;
};
