#include "pdf/share/PlaylistShareService.h"

#include "core/annotations/PdfEditCacheFile.h"
#include "core/common/UiText.h"
#include "core/resources/UIAssetFiles.h"
#include "core/share/ExportNaming.h"
#include "core/share/PlaylistTextExport.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"
#include "pdf/annotations/AnnotationLayer.h"
#include "pdf/engine/JpegCodec.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/engine/PdfWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <algorithm>
#include <variant>

namespace {

const QSizeF letter(612, 792);

// Pages as large as Letter or A4 are written on Letter; at least this long and this wide, portrait or
// landscape, a page counts as that large.
constexpr double largeLongSide = 0.9 * 792;
constexpr double largeShortSide = 0.95 * 612;

struct PageRange {
    int start = 0;
    int end = 0; // past the last page
};

// A title's pages within its book, cut at the book's end; nothing when none is left. Page numbers and
// spans come from imported lists and may be anything: no sum here can overflow.
std::optional<PageRange> pageRange(qint64 pageNumber, qint64 pageSpan, int pageCount)
{
    const qint64 start = pageNumber <= 1 ? 0 : pageNumber - 1;
    if (start >= pageCount)
        return std::nullopt;
    const qint64 span = std::clamp<qint64>(pageSpan, 1, pageCount);
    return PageRange{int(start), int(std::min<qint64>(start + span, pageCount))};
}

// Where a source page goes in an export.
struct OutputPage {
    QRectF box; // empty: a blank page
    int rotation = 0;
    QSizeF size; // of the output page
};

// The crop box, or the media box when the crop box has no area, and the output page for it: its own
// shown size (its rotation applied, so a small turned page keeps its shape) unless it is as large as
// Letter or A4, which go on Letter.
OutputPage outputPage(const PdfPageBoxes &boxes)
{
    const QRectF box =
        boxes.cropBox.width() > 0 && boxes.cropBox.height() > 0 ? boxes.cropBox : boxes.mediaBox;
    if (!(box.width() > 0) || !(box.height() > 0))
        return {QRectF(), 0, letter};
    const QSizeF shown = PdfWriter::shownSize(box.size(), boxes.rotation);
    const double longSide = std::max(shown.width(), shown.height());
    const double shortSide = std::min(shown.width(), shown.height());
    const bool large = longSide >= largeLongSide && shortSide >= largeShortSide;
    return {box, boxes.rotation, large ? letter : shown};
}

QString outlineTitle(const QString &title, const QString &fallback)
{
    const QString trimmed = TextUtils::trimmed(title);
    return trimmed.isEmpty() ? fallback : trimmed;
}

// --- the link header ---

constexpr double headerMargin = 6;
constexpr double iconSize = 22;
const QRectF spotifyIcon(34, 0, iconSize, iconSize); // y from the page's height
const QRectF youtubeIcon(64, 0, iconSize, iconSize);

QImage interfaceImage(const QString &name)
{
    for (const QString &file : UIAssetFiles::imageFiles(name)) {
        const QImage image(file);
        if (!image.isNull())
            return image;
    }
    return {};
}

// Stands in for a missing icon image: a green or red disc with a white S or Y.
void drawFallbackIcon(PdfCanvas &canvas, const QString &name, const QRectF &rect)
{
    const bool spotify = name == QLatin1String("spotify");
    canvas.fillEllipse(rect, spotify ? QColor(52, 199, 89) : QColor(255, 59, 48));
    canvas.drawText(spotify ? QStringLiteral("S") : QStringLiteral("Y"), rect.bottomLeft(),
                    PdfCanvas::Font{QStringLiteral("Sans"), 12, true}, Qt::white);
}

class LinkHeader {
public:
    LinkHeader()
        : m_spotify(interfaceImage(QStringLiteral("spotify"))),
          m_youtube(interfaceImage(QStringLiteral("youtube")))
    {
    }

    // The header's drawing for pages of this height, made once per height.
    int drawing(PdfWriter &writer, double pageHeight)
    {
        if (const auto found = m_drawings.constFind(pageHeight); found != m_drawings.constEnd())
            return found.value();
        const double y = iconTop(pageHeight);
        const int id = writer.addDrawing(QRectF(0, y - 8, 100, 40), [&](PdfCanvas &canvas) {
            const QRectF box(30, y - 4, 60, 30);
            canvas.fillRect(box, QColor::fromRgbF(1, 1, 1, 0.92));
            canvas.strokeRect(box, QColor::fromRgbF(0, 0, 0, 0.22), 1);
            drawIcon(canvas, QStringLiteral("spotify"), m_spotify, spotifyIcon.translated(0, y));
            drawIcon(canvas, QStringLiteral("youtube"), m_youtube, youtubeIcon.translated(0, y));
        });
        m_drawings.insert(pageHeight, id);
        return id;
    }

    static QList<PdfLink> links(const PlaylistItem &item, double pageHeight)
    {
        const double y = iconTop(pageHeight);
        return {{spotifyIcon.translated(0, y),
                 QString::fromLatin1(PlaylistTextExport::effectiveSpotifyURL(item).toEncoded())},
                {youtubeIcon.translated(0, y),
                 QString::fromLatin1(PlaylistTextExport::effectiveYouTubeURL(item).toEncoded())}};
    }

private:
    static double iconTop(double pageHeight) { return pageHeight - headerMargin - iconSize; }

    static void drawIcon(PdfCanvas &canvas, const QString &name, const QImage &image, const QRectF &rect)
    {
        if (image.isNull() || !canvas.drawImage(image, rect))
            drawFallbackIcon(canvas, name, rect);
    }

    QImage m_spotify;
    QImage m_youtube;
    QHash<double, int> m_drawings;
};

// --- annotations ---

// Pango takes no font this large; a note of such a size would not fit any page anyway.
constexpr double maxFontSize = 1000;

// Strokes, then notes, in the page's own space, as the viewer shows them.
void drawAnnotations(PdfCanvas &canvas, const QList<StrokeRecord> &strokes, const QList<TextRecord> &texts)
{
    for (const StrokeRecord &stroke : strokes) {
        if (stroke.points.size() < 2)
            continue;
        QList<QPointF> points;
        points.reserve(stroke.points.size());
        for (const PointRecord &p : stroke.points)
            points.append(QPointF(p.x, p.y));
        canvas.strokePolyline(points, AnnotationLayer::colorOf(stroke.color, stroke.opacity),
                              std::max(stroke.thickness, 0.0), stroke.isHighlighter);
    }
    for (const TextRecord &note : texts) {
        if (note.text.isEmpty() || !(note.fontSize > 0))
            continue;
        const PdfCanvas::Font font{QStringLiteral("Sans"), std::min(note.fontSize, maxFontSize), false};
        const QSizeF measured = canvas.textSize(note.text, font);
        const double height = std::max(font.size + 8, measured.height() + 4);
        canvas.drawText(note.text, QPointF(note.position.x, note.position.y + height), font,
                        AnnotationLayer::colorOf(note.color, note.opacity));
    }
}

// --- JPEG pages ---

// Renders the pages of the books of one export, each distinct page once.
class PageImages {
public:
    std::optional<int> pageCount(const QString &path)
    {
        const PdfDocumentPtr document = book(path);
        return document ? std::optional<int>(document->pageCount()) : std::nullopt;
    }

    // The page as a JPEG, or nothing when it cannot be rendered.
    std::optional<QByteArray> jpeg(const QString &path, int pageIndex)
    {
        const QString key = path + QLatin1Char('\n') + QString::number(pageIndex);
        if (const auto found = m_images.constFind(key); found != m_images.constEnd())
            return found.value();
        std::optional<QByteArray> bytes;
        if (const PdfDocumentPtr document = book(path)) {
            const QSizeF size = document->pageSize(pageIndex);
            const double scale =
                PdfDocument::fitScale(size, letter) * PlaylistShareService::jpegPixelsPerPoint;
            if (const Result<QImage> image = document->render(pageIndex, scale))
                bytes = JpegCodec::encode(image.value(), PlaylistShareService::jpegQuality);
        }
        m_images.insert(key, bytes);
        return bytes;
    }

private:
    PdfDocumentPtr book(const QString &path)
    {
        if (const auto found = m_books.constFind(path); found != m_books.constEnd())
            return found.value();
        Result<PdfDocumentPtr> opened = PdfDocument::open(path);
        const PdfDocumentPtr document = opened ? opened.value() : nullptr;
        m_books.insert(path, document);
        return document;
    }

    QHash<QString, PdfDocumentPtr> m_books;
    QHash<QString, std::optional<QByteArray>> m_images;
};

struct PlannedTitle {
    QString path;
    PageRange range;
    // The playlist's item; none for a single title.
    const PlaylistItem *item = nullptr;
};

qint64 pageTotal(const QList<PlannedTitle> &plan)
{
    qint64 total = 0;
    for (const PlannedTitle &title : plan)
        total += title.range.end - title.range.start;
    return total;
}

using Failure = ExportResult::Failure;

ExportResult noFolder()
{
    return ExportResult::failed(Failure::writeFailed, UiText::tr("the export folder cannot be made"));
}

// The titles of items whose pages lie in their books, in order, given how many pages a book has (nothing
// when it cannot be read); nothing but the reason when no title is left: the first book that could not
// be read, else no page to show.
template <typename PageCount>
std::variant<QList<PlannedTitle>, ExportResult> planTitles(const QList<PlaylistItem> &items,
                                                           PageCount pageCount)
{
    QList<PlannedTitle> plan;
    QString missingBook;
    for (const PlaylistItem &item : items) {
        const std::optional<int> count = pageCount(item.pdfFilePath);
        if (!count) {
            if (missingBook.isEmpty())
                missingBook = item.pdfFilePath;
            continue;
        }
        if (const auto range = pageRange(item.pageNumber, item.pageSpan, *count))
            plan.append({item.pdfFilePath, *range, &item});
    }
    if (!plan.isEmpty())
        return plan;
    return missingBook.isEmpty() ? ExportResult::failed(Failure::nothingToExport)
                                 : ExportResult::failed(Failure::bookMissing, missingBook);
}

// Writes the pages of the planned titles into a fresh folder, numbered on across titles. A page that
// cannot be rendered uses no number; a failed write keeps its number. Gives the folder only when it
// holds at least one image: a folder whose every write failed is no export.
ExportResult writeImages(const std::optional<QString> &folder, PageImages &images,
                         const QList<PlannedTitle> &plan, BuildProgress *progress)
{
    if (!folder)
        return noFolder();
    QDir().mkpath(*folder);
    const qint64 total = pageTotal(plan);
    qint64 done = 0;
    int counter = 0;
    int written = 0;
    qint64 titlesDone = 0;
    reportTitles(progress, 0, plan.size());
    for (const PlannedTitle &title : plan) {
        for (int index = title.range.start; index < title.range.end; ++index) {
            if (isCancelled(progress)) {
                QDir(*folder).removeRecursively();
                return ExportResult::failed(Failure::cancelled);
            }
            if (const auto jpeg = images.jpeg(title.path, index)) {
                ++counter;
                written += StateFile::writeCopy(
                    *folder + QStringLiteral("/page_%1.jpg").arg(counter, 4, 10, QLatin1Char('0')), *jpeg);
            }
            reportProgress(progress, ++done, total);
        }
        reportTitles(progress, ++titlesDone, plan.size());
    }
    if (written < 1)
        return counter == 0
                   ? ExportResult::failed(Failure::nothingToExport)
                   : ExportResult::failed(Failure::writeFailed, UiText::tr("no image could be written"));
    return ExportResult::made(*folder);
}

// Adds one source page to the writer as the PDF exports lay it out and gives its layout; nothing when
// the page has to be left out.
std::optional<OutputPage>
addSourcePage(PdfWriter &writer, const QString &path, int index,
              const std::function<void(PdfWriter::Page &, const OutputPage &)> &decorate)
{
    const Result<PdfPageBoxes> boxes = writer.pageBoxes(path, index);
    if (!boxes)
        return std::nullopt;
    const OutputPage layout = outputPage(boxes.value());
    PdfWriter::Page page;
    page.size = layout.size;
    if (!layout.box.isEmpty()) {
        page.bookPath = path;
        page.pageIndex = index;
        page.box = layout.box;
        page.rotation = layout.rotation;
    }
    decorate(page, layout);
    if (!writer.addPage(page))
        return std::nullopt;
    return layout;
}

ExportResult finish(PdfWriter &writer, const std::optional<QString> &path, BuildProgress *progress)
{
    if (isCancelled(progress))
        return ExportResult::failed(Failure::cancelled);
    if (writer.pageCount() == 0)
        return ExportResult::failed(Failure::nothingToExport);
    if (!path)
        return noFolder();
    const Result<bool> written = writer.write(*path, progress);
    if (isCancelled(progress))
        return ExportResult::failed(Failure::cancelled);
    if (!written)
        return ExportResult::failed(Failure::writeFailed, written.error().message);
    return ExportResult::made(*path);
}

} // namespace

namespace PlaylistShareService {

ExportResult buildPlaylistPDF(const QList<PlaylistItem> &items, const QString &playlistName,
                              bool includeStreamingLinksInHeader, BuildProgress *progress)
{
    PdfWriter writer;
    auto planned = planTitles(items, [&writer](const QString &path) {
        const Result<int> count = writer.pageCount(path);
        return count ? std::optional<int>(count.value()) : std::nullopt;
    });
    if (const ExportResult *nothing = std::get_if<ExportResult>(&planned))
        return *nothing;
    const QList<PlannedTitle> &plan = std::get<QList<PlannedTitle>>(planned);
    const qint64 total = pageTotal(plan);
    qint64 done = 0;
    qint64 titlesDone = 0;
    reportTitles(progress, 0, plan.size());
    LinkHeader header;
    for (const PlannedTitle &title : plan) {
        const PlaylistItem &item = *title.item;
        const int first = writer.pageCount();
        for (int index = title.range.start; index < title.range.end; ++index) {
            if (isCancelled(progress))
                return ExportResult::failed(Failure::cancelled);
            addSourcePage(writer, title.path, index, [&](PdfWriter::Page &page, const OutputPage &layout) {
                if (!includeStreamingLinksInHeader || index != title.range.start)
                    return;
                page.pageDrawing = header.drawing(writer, layout.size.height());
                page.links = LinkHeader::links(item, layout.size.height());
            });
            reportProgress(progress, ++done, total);
        }
        if (writer.pageCount() > first)
            writer.addOutlineItem(outlineTitle(item.title, item.pdfFileName), first);
        reportTitles(progress, ++titlesDone, plan.size());
    }
    return finish(writer,
                  ExportNaming::exportPath(ExportNaming::datedStem(playlistName), QStringLiteral(".pdf")),
                  progress);
}

ExportResult buildPlaylistJPEGs(const QList<PlaylistItem> &items, const QString &playlistName,
                                BuildProgress *progress)
{
    PageImages images;
    auto planned = planTitles(items, [&images](const QString &path) { return images.pageCount(path); });
    if (const ExportResult *nothing = std::get_if<ExportResult>(&planned))
        return *nothing;
    return writeImages(
        ExportNaming::exportPath(ExportNaming::datedStem(playlistName), QStringLiteral("_images")), images,
        std::get<QList<PlannedTitle>>(planned), progress);
}

} // namespace PlaylistShareService

namespace {

// The title's pages with the annotations drawn over them, as the PDF share lays them out; nothing but
// the reason when there is no page to give or the work was cancelled.
std::optional<ExportResult> addAnnotatedTitle(PdfWriter &writer, const BookmarkEntry &entry,
                                              const PdfEditCacheFile &annotations, BuildProgress *progress)
{
    const Result<int> count = writer.pageCount(entry.pdfFilePath);
    if (!count)
        return ExportResult::failed(Failure::bookMissing, entry.pdfFilePath);
    const auto range = pageRange(entry.pageNumber, entry.pageSpan, count.value());
    if (!range)
        return ExportResult::failed(Failure::nothingToExport);
    const qint64 total = range->end - range->start;
    for (int index = range->start; index < range->end; ++index) {
        if (isCancelled(progress))
            return ExportResult::failed(Failure::cancelled);
        addSourcePage(writer, entry.pdfFilePath, index, [&](PdfWriter::Page &page, const OutputPage &layout) {
            const QList<StrokeRecord> strokes = annotations.strokesByPage.value(index);
            const QList<TextRecord> texts = annotations.textsByPage.value(index);
            if (layout.box.isEmpty() || (strokes.isEmpty() && texts.isEmpty()))
                return;
            page.contentDrawing = writer.addDrawing(
                layout.box, [&](PdfCanvas &canvas) { drawAnnotations(canvas, strokes, texts); });
        });
        reportProgress(progress, index - range->start + 1, total);
    }
    return std::nullopt;
}

bool hasAnnotations(const PdfEditCacheFile &annotations)
{
    const auto any = [](const auto &byPage) {
        return std::any_of(byPage.cbegin(), byPage.cend(),
                           [](const auto &records) { return !records.isEmpty(); });
    };
    return any(annotations.strokesByPage) || any(annotations.textsByPage);
}

} // namespace

namespace PlaylistShareService {

ExportResult buildSingleBookmarkPDF(const BookmarkEntry &entry, const QString &suggestedBase,
                                    const std::optional<PdfEditCacheFile> &given, BuildProgress *progress)
{
    PdfWriter writer;
    const PdfEditCacheFile annotations = given ? *given : PdfEditCacheCodec::load(entry.pdfFilePath).file;
    if (const std::optional<ExportResult> stopped = addAnnotatedTitle(writer, entry, annotations, progress))
        return *stopped;
    const auto path = ExportNaming::exportPath(suggestedBase, QStringLiteral(".pdf"));
    if (path) {
        const QString fileName = QFileInfo(*path).fileName();
        writer.addOutlineItem(outlineTitle(entry.title, fileName.chopped(4)), 0);
    }
    return finish(writer, path, progress);
}

ExportResult buildSingleBookmarkJPEGs(const BookmarkEntry &entry, const QString &suggestedBase,
                                      const std::optional<PdfEditCacheFile> &given, BuildProgress *progress)
{
    const auto folder = ExportNaming::exportPath(suggestedBase, QStringLiteral("_images"));
    const PdfEditCacheFile annotations = given ? *given : PdfEditCacheCodec::load(entry.pdfFilePath).file;
    if (hasAnnotations(annotations)) {
        // The annotated pages are made as the PDF share makes them, then drawn: the marks land where
        // they do in the PDF.
        QTemporaryDir scratch;
        PdfWriter writer;
        if (const std::optional<ExportResult> stopped =
                addAnnotatedTitle(writer, entry, annotations, progress))
            return *stopped;
        const QString annotated = scratch.filePath(QStringLiteral("title.pdf"));
        if (!scratch.isValid() || writer.pageCount() == 0 || !writer.write(annotated, nullptr))
            return ExportResult::failed(Failure::writeFailed,
                                        UiText::tr("the annotated pages cannot be made"));
        PageImages images;
        return writeImages(folder, images, {{annotated, {0, writer.pageCount()}, nullptr}}, progress);
    }
    PageImages images;
    const auto count = images.pageCount(entry.pdfFilePath);
    const auto range = count ? pageRange(entry.pageNumber, entry.pageSpan, *count) : std::nullopt;
    if (!range) {
        if (folder)
            QDir().mkpath(*folder);
        return count ? ExportResult::failed(Failure::nothingToExport)
                     : ExportResult::failed(Failure::bookMissing, entry.pdfFilePath);
    }
    return writeImages(folder, images, {{entry.pdfFilePath, *range, nullptr}}, progress);
}

} // namespace PlaylistShareService
