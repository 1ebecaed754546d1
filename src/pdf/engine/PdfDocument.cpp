#include "pdf/engine/PdfDocument.h"

#include "core/common/UiText.h"
#include "pdf/engine/PdfFileInput.h"
#include "pdf/engine/PdfSupport.h"
#include "pdf/engine/PdfXrefBound.h"

#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QPainter>

#include <GfxState.h>
#include <GlobalParams.h>
#include <OutputDev.h>
#include <PDFDoc.h>
#include <SplashOutputDev.h>
#include <Stream.h>
#include <goo/GooString.h>
#include <poppler-qt6.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <splash/SplashBitmap.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcPdf, "lyrafold.pdf", QtWarningMsg)

namespace {

void routePopplerMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Poppler::setDebugErrorFunction(
            [](const QString &message, const QVariant &) { qCDebug(lcPdf) << "poppler:" << message; }, {});
    });
}

Result<PdfDocumentPtr> openFailure(PdfOpenError error, const QString &message)
{
    return Result<PdfDocumentPtr>::failure(message, int(error));
}

// An image's data that ends where the render is abandoned: the decoder stops there, and the rest of the
// image is drawn from blank rows.
class AbandonableStream : public Stream {
public:
    AbandonableStream(Stream *stream, const std::atomic<bool> &abandoned)
        : str(stream), m_abandoned(abandoned)
    {
    }
    StreamKind getKind() const override { return str->getKind(); }
    void reset() override { str->reset(); }
    void close() override { str->close(); }
    int getChar() override { return m_abandoned.load(std::memory_order_relaxed) ? EOF : str->getChar(); }
    int lookChar() override { return m_abandoned.load(std::memory_order_relaxed) ? EOF : str->lookChar(); }
    int getUnfilteredChar() override { return str->getUnfilteredChar(); }
    void unfilteredReset() override { str->unfilteredReset(); }
    Goffset getPos() override { return str->getPos(); }
    void setPos(Goffset pos, int dir) override { str->setPos(pos, dir); }
    GooString *getPSFilter(int psLevel, const char *indent) override
    {
        return str->getPSFilter(psLevel, indent);
    }
    bool isBinary(bool last) const override { return str->isBinary(last); }
    BaseStream *getBaseStream() override { return str->getBaseStream(); }
    Stream *getUndecodedStream() override { return str->getUndecodedStream(); }
    Dict *getDict() override { return str->getDict(); }
    Object *getDictObject() override { return str->getDictObject(); }
    Stream *getNextStream() const override { return str; }
    void getImageParams(int *bitsPerComponent, StreamColorSpaceMode *csMode) override
    {
        str->getImageParams(bitsPerComponent, csMode);
    }

private:
    bool hasGetChars() override { return true; }
    int getChars(int nChars, unsigned char *buffer) override
    {
        // Image rows are read a row at a time, so an abandoned render stops within one row.
        return m_abandoned.load(std::memory_order_relaxed) ? 0 : str->doGetChars(nChars, buffer);
    }

    Stream *str;
    const std::atomic<bool> &m_abandoned;
};

// The Splash renderer, able to give up around images: poppler asks whether to go on only between
// operators, and a scanned page is one image that one operator draws. An image not yet begun when the
// render is given up is skipped; one under way reads no more of its data, but Splash still scales the
// rest of its rows (from blank data), which it offers no way to stop.
class AbandonableSplashOutputDev : public SplashOutputDev {
public:
    using SplashOutputDev::SplashOutputDev;

    // Set for the length of one render.
    const std::atomic<bool> *abandoned = nullptr;

    bool givenUp() const { return abandoned && abandoned->load(std::memory_order_relaxed); }

    void drawImageMask(GfxState *state, Object *ref, Stream *str, int width, int height, bool invert,
                       bool interpolate, bool inlineImg) override
    {
        if (givenUp())
            return;
        if (!abandoned)
            return SplashOutputDev::drawImageMask(state, ref, str, width, height, invert, interpolate,
                                                  inlineImg);
        AbandonableStream stream(str, *abandoned);
        SplashOutputDev::drawImageMask(state, ref, &stream, width, height, invert, interpolate, inlineImg);
    }
    void drawImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                   GfxImageColorMap *colorMap, bool interpolate, const int *maskColors,
                   bool inlineImg) override
    {
        if (givenUp())
            return;
        if (!abandoned)
            return SplashOutputDev::drawImage(state, ref, str, width, height, colorMap, interpolate,
                                              maskColors, inlineImg);
        AbandonableStream stream(str, *abandoned);
        SplashOutputDev::drawImage(state, ref, &stream, width, height, colorMap, interpolate, maskColors,
                                   inlineImg);
    }
    void drawMaskedImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                         GfxImageColorMap *colorMap, bool interpolate, Stream *maskStr, int maskWidth,
                         int maskHeight, bool maskInvert, bool maskInterpolate) override
    {
        if (!givenUp())
            SplashOutputDev::drawMaskedImage(state, ref, str, width, height, colorMap, interpolate, maskStr,
                                             maskWidth, maskHeight, maskInvert, maskInterpolate);
    }
    void drawSoftMaskedImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                             GfxImageColorMap *colorMap, bool interpolate, Stream *maskStr, int maskWidth,
                             int maskHeight, GfxImageColorMap *maskColorMap, bool maskInterpolate) override
    {
        if (!givenUp())
            SplashOutputDev::drawSoftMaskedImage(state, ref, str, width, height, colorMap, interpolate,
                                                 maskStr, maskWidth, maskHeight, maskColorMap,
                                                 maskInterpolate);
    }
};

// Walks a page's drawing without drawing anything: counts what would paint, and notes where each image
// goes. Images are not decoded.
class PageContentProbe : public OutputDev {
public:
    int marks = 0; // strokes, visible text, soft masks
    int fills = 0;
    QList<QRectF> images; // in device space of the walk
    bool skewedImage = false;

    bool upsideDown() override { return true; }
    bool useDrawChar() override { return true; }
    bool interpretType3Chars() override { return false; }
    void drawChar(GfxState *state, double, double, double, double, double, double, CharCode, int,
                  const Unicode *, int) override
    {
        // Render mode 3 draws nothing: the recognised text a scan often carries.
        if (state->getRender() != 3)
            ++marks;
    }
    void stroke(GfxState *) override { ++marks; }
    void fill(GfxState *) override { ++fills; }
    void eoFill(GfxState *) override { ++fills; }
    void drawImageMask(GfxState *state, Object *ref, Stream *str, int width, int height, bool invert,
                       bool interpolate, bool inlineImg) override
    {
        image(state);
        OutputDev::drawImageMask(state, ref, str, width, height, invert, interpolate, inlineImg);
    }
    void setSoftMaskFromImageMask(GfxState *, Object *, Stream *, int, int, bool, bool, double *) override
    {
        ++marks;
    }
    void drawImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                   GfxImageColorMap *colorMap, bool interpolate, const int *maskColors,
                   bool inlineImg) override
    {
        image(state);
        OutputDev::drawImage(state, ref, str, width, height, colorMap, interpolate, maskColors, inlineImg);
    }
    void drawMaskedImage(GfxState *state, Object *, Stream *, int, int, GfxImageColorMap *, bool, Stream *,
                         int, int, bool, bool) override
    {
        image(state);
    }
    void drawSoftMaskedImage(GfxState *state, Object *, Stream *, int, int, GfxImageColorMap *, bool,
                             Stream *, int, int, GfxImageColorMap *, bool) override
    {
        image(state);
    }

private:
    void image(GfxState *state)
    {
        // The image is the unit square under the current transformation.
        const double *m = state->getCTM();
        skewedImage = skewedImage || !((m[1] == 0 && m[2] == 0) || (m[0] == 0 && m[3] == 0));
        double x[4], y[4];
        state->transform(0, 0, &x[0], &y[0]);
        state->transform(1, 0, &x[1], &y[1]);
        state->transform(0, 1, &x[2], &y[2]);
        state->transform(1, 1, &x[3], &y[3]);
        images.append(QRectF(QPointF(*std::min_element(x, x + 4), *std::min_element(y, y + 4)),
                             QPointF(*std::max_element(x, x + 4), *std::max_element(y, y + 4))));
    }
};

bool renderAbandoned(void *data)
{
    return static_cast<const std::atomic<bool> *>(data)->load(std::memory_order_relaxed);
}

} // namespace

struct PdfDocument::Impl {
    QString path;
    int pageCount = 0;
    // The file as opened, and its size then: another program may cut it short in place while it is open.
    int opened = -1;
    qint64 openedSize = 0;

    ~Impl()
    {
        if (opened >= 0)
            ::close(opened);
    }
    bool cutShort() const
    {
        struct stat info {};
        return opened >= 0 && ::fstat(opened, &info) == 0 && qint64(info.st_size) < openedSize;
    }
    Result<QImage> cutShortFailure() const
    {
        return Result<QImage>::failure(UiText::tr("The file %1 became shorter while it was open.").arg(path),
                                       PdfDocument::bookCutShortCode);
    }

    mutable QMutex lock; // guards everything below: neither library may be entered twice at once
    // Destroyed last: poppler's Qt interface keeps poppler's global settings alive while any of
    // its documents is open, and the renderer below needs them.
    std::unique_ptr<Poppler::Document> poppler;

    // qpdf is opened on first use: most callers never ask for the raw boxes.
    struct Raw {
        QPDF qpdf;
        std::vector<QPDFPageObjectHelper> pages;
    };
    mutable std::unique_ptr<Raw> raw;
    mutable std::optional<QString> rawError;

    // Pages are drawn with poppler's Splash renderer, used below poppler's Qt interface: that one
    // draws only in 32 bits a pixel (scaled scans took 15% longer than in 24) and builds a new
    // renderer for every page, loading the fonts and rasterising the glyphs again each time
    // (engraved pages took 30% longer). Here the renderer lives as long as the document; it is
    // made on first use.
    struct Renderer {
        std::unique_ptr<PDFDoc> document;
        std::unique_ptr<AbandonableSplashOutputDev> output;
    };
    mutable std::unique_ptr<Renderer> renderer;
    mutable std::optional<QString> rendererError;
    // Per page: where the one image of a scanned page lies; nothing for other pages.
    mutable QHash<int, std::optional<QRectF>> scannedImages;

    // Callers hold the lock.
    Result<Raw *> rawDocument() const;
    Result<PdfPageBoxes> boxesLocked(int pageIndex) const;
    Result<Renderer *> rendererLocked() const;
    std::unique_ptr<Poppler::Page> page(int pageIndex) const;
    QSizeF pageSizeLocked(int pageIndex) const;
    std::optional<int> destinationPage(const Poppler::OutlineItem &item) const;
    std::optional<int> pageOfNameInTree(const QByteArray &name) const;
    Result<QImage> renderLocked(int pageIndex, double scale, const QRect &region,
                                const std::atomic<bool> *abandoned = nullptr) const;
    std::optional<QRectF> scannedImageLocked(int pageIndex) const;
};

Result<PdfDocument::Impl::Raw *> PdfDocument::Impl::rawDocument() const
{
    if (raw)
        return raw.get();
    if (rawError)
        return Result<Raw *>::failure(*rawError);
    auto opened = std::make_unique<Raw>();
    try {
        opened->qpdf.setSuppressWarnings(true);
        opened->qpdf.processInputSource(std::make_shared<PdfFileInput>(path));
        opened->pages = QPDFPageDocumentHelper(opened->qpdf).getAllPages();
    } catch (const std::exception &e) {
        rawError =
            UiText::tr("The page boxes of %1 cannot be read: %2").arg(path, QString::fromUtf8(e.what()));
        return Result<Raw *>::failure(*rawError);
    }
    raw = std::move(opened);
    return raw.get();
}

std::unique_ptr<Poppler::Page> PdfDocument::Impl::page(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= pageCount)
        return nullptr;
    return poppler->page(pageIndex);
}

QSizeF PdfDocument::Impl::pageSizeLocked(int pageIndex) const
{
    const std::unique_ptr<Poppler::Page> p = page(pageIndex);
    return p ? p->pageSizeF() : QSizeF();
}

std::optional<int> PdfDocument::Impl::destinationPage(const Poppler::OutlineItem &item) const
{
    // A destination in another file names no page of this one.
    if (!item.externalFileName().isEmpty())
        return std::nullopt;
    // poppler resolves every form here: page references, page numbers, named destinations (from
    // the name tree or the /Dests dictionary) and GoTo actions naming either.
    const QSharedPointer<const Poppler::LinkDestination> destination = item.destination();
    if (!destination)
        return std::nullopt;
    const int pageNumber = destination->pageNumber();
    if (pageNumber < 1 && !destination->destinationName().isEmpty())
        return pageOfNameInTree(destination->destinationName().toLatin1());
    if (pageNumber < 1 || pageNumber > pageCount)
        return std::nullopt;
    return pageNumber - 1;
}

// poppler looks a name up only in the catalog's /Dests dictionary when the document has one, and
// misses the names in the name tree beside it.
std::optional<int> PdfDocument::Impl::pageOfNameInTree(const QByteArray &name) const
{
    const Result<Raw *> document = rawDocument();
    if (!document)
        return std::nullopt;
    QPDF &qpdf = document.value()->qpdf;
    try {
        QPDFObjectHandle tree = qpdf.getRoot().getKey("/Names");
        tree = tree.isDictionary() ? tree.getKey("/Dests") : QPDFObjectHandle::newNull();
        QPDFObjectHandle target;
        if (!tree.isDictionary() ||
            !QPDFNameTreeObjectHelper(tree, qpdf).findObject(name.toStdString(), target))
            return std::nullopt;
        if (target.isDictionary())
            target = target.getKey("/D");
        if (!target.isArray() || target.getArrayNItems() < 1)
            return std::nullopt;
        QPDFObjectHandle page = target.getArrayItem(0);
        const int index = page.isInteger()      ? page.getIntValueAsInt()
                          : page.isDictionary() ? qpdf.findPage(page)
                                                : -1;
        if (index < 0 || index >= pageCount)
            return std::nullopt;
        return index;
    } catch (const std::exception &) {
        return std::nullopt; // not a page, or a damaged tree: the item has no page
    }
}

Result<PdfPageBoxes> PdfDocument::Impl::boxesLocked(int pageIndex) const
{
    const Result<Raw *> document = rawDocument();
    if (!document)
        return document.error();
    if (pageIndex < 0 || size_t(pageIndex) >= document.value()->pages.size())
        return Result<PdfPageBoxes>::failure(
            QStringLiteral("The page %1 does not exist.").arg(pageIndex + 1));
    // qpdf loads objects on demand, so a parse error may surface only now.
    try {
        return PdfSupport::boxes(document.value()->pages[size_t(pageIndex)]);
    } catch (const std::exception &e) {
        return Result<PdfPageBoxes>::failure(QStringLiteral("The boxes of page %1 cannot be read: %2")
                                                 .arg(pageIndex + 1)
                                                 .arg(QString::fromUtf8(e.what())));
    }
}

Result<QImage> PdfDocument::Impl::renderLocked(int pageIndex, double scale, const QRect &region,
                                               const std::atomic<bool> *abandoned) const
{
    // Before the page is looked up: a page poppler has not read yet is missing from a file cut short.
    if (cutShort())
        return cutShortFailure();
    const std::unique_ptr<Poppler::Page> p = page(pageIndex);
    if (!p)
        return Result<QImage>::failure(QStringLiteral("The page %1 does not exist.").arg(pageIndex + 1));
    const QSizeF size = p->pageSizeF() * scale;
    if (!(scale > 0) || !std::isfinite(scale) || !(size.width() >= 1) || !(size.height() >= 1))
        return Result<QImage>::failure(
            QStringLiteral("The page %1 has no area at this scale.").arg(pageIndex + 1));
    const QRect whole(0, 0, int(std::min(std::ceil(size.width()), 1e9)),
                      int(std::min(std::ceil(size.height()), 1e9)));
    const QRect area = region.isNull() ? whole : region.intersected(whole);
    if (area.isEmpty())
        return Result<QImage>::failure(QStringLiteral("The region lies outside the page."));
    if (qint64(area.width()) * area.height() > maxRenderPixels)
        return Result<QImage>::failure(
            QStringLiteral("The page %1 is too large to render at this scale.").arg(pageIndex + 1));
    const Result<Renderer *> splash = rendererLocked();
    if (!splash)
        return splash.error();
    Renderer &r = *splash.value();
    if (pageIndex >= r.document->getNumPages())
        return Result<QImage>::failure(QStringLiteral("The page %1 does not exist.").arg(pageIndex + 1));
    const auto givenUp = [&] {
        return Result<QImage>::failure(
            QStringLiteral("The render of page %1 was abandoned.").arg(pageIndex + 1),
            PdfDocument::renderAbandonedCode);
    };
    if (abandoned && abandoned->load())
        return givenUp();
    const double dpi = 72.0 * scale;
    r.output->abandoned = abandoned;
    r.document->displayPageSlice(r.output.get(), pageIndex + 1, dpi, dpi, 0, false, true, false, area.x(),
                                 area.y(), area.width(), area.height(), abandoned ? renderAbandoned : nullptr,
                                 const_cast<std::atomic<bool> *>(abandoned));
    r.output->abandoned = nullptr;
    // The image takes over the bitmap; the renderer makes a new one for the next page.
    SplashBitmap *bitmap = r.output->takeBitmap();
    if (abandoned && abandoned->load()) {
        delete bitmap;
        return givenUp();
    }
    if (cutShort()) {
        delete bitmap;
        return cutShortFailure();
    }
    if (!bitmap || !bitmap->getDataPtr() || bitmap->getWidth() < 1 || bitmap->getHeight() < 1) {
        delete bitmap;
        return Result<QImage>::failure(
            QStringLiteral("The page %1 could not be rendered.").arg(pageIndex + 1));
    }
    QImage image(
        bitmap->getDataPtr(), bitmap->getWidth(), bitmap->getHeight(), bitmap->getRowSize(),
        QImage::Format_RGB888, [](void *data) { delete static_cast<SplashBitmap *>(data); }, bitmap);
    return image;
}

std::optional<QRectF> PdfDocument::Impl::scannedImageLocked(int pageIndex) const
{
    const QSizeF size = pageSizeLocked(pageIndex);
    const Result<Renderer *> splash = rendererLocked();
    if (size.isEmpty() || !splash || pageIndex >= splash.value()->document->getNumPages())
        return std::nullopt;
    // The walk is drawn as a render at 72 dpi is: its device space is the page as shown, in points.
    PageContentProbe probe;
    splash.value()->document->displayPage(&probe, pageIndex + 1, 72, 72, 0, false, true, false);
    if (probe.images.size() != 1 || probe.skewedImage || probe.marks > 0 || probe.fills > 1)
        return std::nullopt;
    const QRectF image = probe.images.first();
    const QRectF shown = image.intersected(QRectF(QPointF(), size));
    // A picture on a page of its own counts; a small one among margins does not.
    if (shown.width() * shown.height() < 0.9 * size.width() * size.height())
        return std::nullopt;
    return image;
}

Result<PdfDocument::Impl::Renderer *> PdfDocument::Impl::rendererLocked() const
{
    if (renderer)
        return renderer.get();
    if (rendererError)
        return Result<Renderer *>::failure(*rendererError);
    auto made = std::make_unique<Renderer>();
    if (globalParams)
        made->document =
            std::make_unique<PDFDoc>(std::make_unique<GooString>(QFile::encodeName(path).constData()));
    if (!made->document || !made->document->isOk()) {
        rendererError = UiText::tr("The pages of %1 cannot be rendered.").arg(path);
        return Result<Renderer *>::failure(*rendererError);
    }
    SplashColor white = {255, 255, 255};
    made->output = std::make_unique<AbandonableSplashOutputDev>(splashModeRGB8, 4, false, white);
    made->output->setFontAntialias(true);
    made->output->setVectorAntialias(true);
    made->output->startDoc(made->document.get());
    renderer = std::move(made);
    return renderer.get();
}

PdfDocument::PdfDocument(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

PdfDocument::~PdfDocument() = default;

Result<PdfDocumentPtr> PdfDocument::open(const QString &absolutePath)
{
    if (const auto error = PdfSupport::checkFile(absolutePath))
        return *error;
    const auto damaged = [&] {
        return openFailure(PdfOpenError::Damaged,
                           UiText::tr("The file %1 is damaged and cannot be read.").arg(absolutePath));
    };
    // poppler would make room for every object the file claims, however many that is.
    if (PdfXrefBound::claimsImpossibleObject(absolutePath))
        return damaged();
    routePopplerMessages();
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(absolutePath);
    if (!document)
        return damaged();
    if (document->isLocked())
        return openFailure(PdfOpenError::PasswordProtected,
                           UiText::tr("The file %1 is protected by a password.").arg(absolutePath));

    auto impl = std::make_unique<Impl>();
    impl->path = absolutePath;
    impl->pageCount = std::max(0, document->numPages());
    impl->opened = ::open(QFile::encodeName(absolutePath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (impl->opened >= 0 && ::fstat(impl->opened, &info) == 0)
        impl->openedSize = qint64(info.st_size);
    impl->poppler = std::move(document);
    return PdfDocumentPtr(new PdfDocument(std::move(impl)));
}

QString PdfDocument::path() const
{
    return m_impl->path;
}

int PdfDocument::pageCount() const
{
    return m_impl->pageCount;
}

QSizeF PdfDocument::pageSize(int pageIndex) const
{
    QMutexLocker locker(&m_impl->lock);
    return m_impl->pageSizeLocked(pageIndex);
}

Result<PdfPageBoxes> PdfDocument::pageBoxes(int pageIndex) const
{
    QMutexLocker locker(&m_impl->lock);
    return m_impl->boxesLocked(pageIndex);
}

QList<PdfOutlineItem> PdfDocument::outline() const
{
    QMutexLocker locker(&m_impl->lock);
    struct Level {
        QVector<Poppler::OutlineItem> items;
        qsizetype next = 0;
    };
    // An explicit stack instead of recursion: the depth of a damaged outline is not ours to choose.
    std::vector<Level> stack;
    stack.push_back({m_impl->poppler->outline()});
    QList<PdfOutlineItem> result;
    while (!stack.empty()) {
        Level &current = stack.back();
        if (current.next >= current.items.size()) {
            stack.pop_back();
            continue;
        }
        if (result.size() >= maxOutlineItems) {
            qCWarning(lcPdf) << "outline of" << m_impl->path << "cut after" << maxOutlineItems << "items";
            break;
        }
        const Poppler::OutlineItem item = current.items[current.next++];
        const int level = int(stack.size()) - 1;
        result.append({item.name(), level, m_impl->destinationPage(item)});
        if (!item.hasChildren())
            continue;
        if (level + 1 >= maxOutlineDepth) {
            qCWarning(lcPdf) << "outline of" << m_impl->path << "cut below level" << level;
            continue;
        }
        stack.push_back({item.children()});
    }
    return result;
}

Result<QImage> PdfDocument::render(int pageIndex, double scale, const QRect &region,
                                   const std::atomic<bool> *abandoned) const
{
    QMutexLocker locker(&m_impl->lock);
    return m_impl->renderLocked(pageIndex, scale, region, abandoned);
}

std::optional<QRectF> PdfDocument::scannedImage(int pageIndex) const
{
    QMutexLocker locker(&m_impl->lock);
    const auto known = m_impl->scannedImages.constFind(pageIndex);
    if (known != m_impl->scannedImages.cend())
        return *known;
    if (pageIndex < 0 || pageIndex >= m_impl->pageCount)
        return std::nullopt;
    const std::optional<QRectF> image = m_impl->scannedImageLocked(pageIndex);
    m_impl->scannedImages.insert(pageIndex, image);
    return image;
}

QImage PdfDocument::thumbnail(int pageIndex, const QSize &size) const
{
    if (size.isEmpty() || qint64(size.width()) * size.height() > maxRenderPixels)
        return QImage();
    QImage empty(size, QImage::Format_ARGB32_Premultiplied);
    empty.fill(Qt::transparent);

    QMutexLocker locker(&m_impl->lock);
    if (!m_impl->page(pageIndex))
        return empty;
    // The raw boxes decide whether there is anything to show; the rendered size comes from the
    // page as poppler shows it. Without qpdf's view of the file, poppler's size has to do.
    QSizeF shown = m_impl->pageSizeLocked(pageIndex);
    QRectF box(QPointF(), shown);
    if (const Result<PdfPageBoxes> boxes = m_impl->boxesLocked(pageIndex))
        box = boxes->cropBox.isEmpty() ? boxes->mediaBox : boxes->cropBox;
    if (box.isEmpty())
        return empty;
    if (shown.isEmpty())
        shown = box.size();

    const double scale = fitScale(shown, size);
    Result<QImage> page = m_impl->renderLocked(pageIndex, scale, QRect(QPoint(), size));
    locker.unlock();

    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (page) {
        QPainter painter(&image);
        const QImage &picture = page.value();
        painter.drawImage(
            QPoint((size.width() - picture.width()) / 2, (size.height() - picture.height()) / 2), picture);
    }
    return image;
}

double PdfDocument::fitScale(const QSizeF &pageSize, const QSizeF &target)
{
    if (pageSize.isEmpty() || target.isEmpty())
        return 0;
    return std::min(target.width() / pageSize.width(), target.height() / pageSize.height());
}
