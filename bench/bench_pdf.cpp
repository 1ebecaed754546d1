// Reading outlines and rendering pages of the real books, each next to a reference: qpdf's own
// outline reader, poppler's pdftoppm run as a process per page, and QtPdf when it is installed.

#include "TestHarness.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/engine/PdfXrefBound.h"
#include "pdf/extract/PdfBookmarkExtractor.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>

#ifdef LYRAFOLD_HAVE_QTPDF
#include <QPdfDocument>
#endif

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr QSize target(1200, 1600);

QString testData(const char *relativePath)
{
    return TestHarness::testData(QLatin1String(relativePath));
}

const QString songbook = testData("books/songs-from-the-public-domain.pdf");

struct Book {
    QString path;
    int firstPage; // 0-based
    int pageCount;
};

const Book engraved{songbook, 9, 10};                                       // pages 10-19
const Book scanned{testData("scans/beethoven-sonata-19-op49-1.pdf"), 0, 8}; // pages 1-8

// Shown as time per page ("per_page=23.1ms").
void reportPerPage(benchmark::State &state, int pages)
{
    state.counters["per_page"] = benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate |
                                                               benchmark::Counter::kInvert);
}

// The pixel size every renderer is asked for: the page fitted into the target.
QSize fittedSize(const PdfDocument &document, int page)
{
    const QSizeF size = document.pageSize(page);
    return (size * PdfDocument::fitScale(size, QSizeF(target))).toSize();
}

// Opening a book (page count included), and the part of it spent bounding the object numbers before
// poppler sees the file.
void BM_Open(benchmark::State &state, const char *book)
{
    const QString path = testData(book);
    for (auto _ : state) {
        Result<PdfDocumentPtr> document = PdfDocument::open(path);
        if (!document || document.value()->pageCount() < 1)
            state.SkipWithError("cannot open");
    }
}

void BM_OpenBound(benchmark::State &state, const char *book)
{
    const QString path = testData(book);
    for (auto _ : state)
        if (PdfXrefBound::claimsImpossibleObject(path))
            state.SkipWithError("refused");
}

#define LYRAFOLD_OPEN_BENCHMARKS(name, book)                                                                 \
    BENCHMARK_CAPTURE(BM_Open, name, book)->Unit(benchmark::kMicrosecond);                                   \
    BENCHMARK_CAPTURE(BM_OpenBound, name, book)->Unit(benchmark::kMicrosecond);
LYRAFOLD_OPEN_BENCHMARKS(songbook, "books/songs-from-the-public-domain.pdf")
LYRAFOLD_OPEN_BENCHMARKS(tunebook, "books/dusty-strings-tunebook.pdf")
LYRAFOLD_OPEN_BENCHMARKS(rag, "books/joplin-pineapple-rag.pdf")
LYRAFOLD_OPEN_BENCHMARKS(scanned, "scans/beethoven-sonata-19-op49-1.pdf")

// Opening the songbook with a chunk cut out of its middle, and reading its last page's boxes: every
// offset behind the gap is wrong, so the bound looks at every object header and qpdf rebuilds the
// cross-reference table by reading the whole file.
void BM_DamagedBook(benchmark::State &state)
{
    QTemporaryDir dir;
    QByteArray bytes = TestHarness::readFile(songbook);
    bytes.remove(bytes.size() / 3, 4000);
    const QString path = dir.filePath(QStringLiteral("damaged.pdf"));
    TestHarness::writeFile(path, bytes);
    for (auto _ : state) {
        const Result<PdfDocumentPtr> document = PdfDocument::open(path);
        if (!document || !document.value()->pageBoxes(document.value()->pageCount() - 1))
            state.SkipWithError("page boxes not read");
    }
}
BENCHMARK(BM_DamagedBook)->Unit(benchmark::kMillisecond);

void BM_OutlineLyrafold(benchmark::State &state)
{
    for (auto _ : state) {
        Result<PdfDocumentPtr> document = PdfDocument::open(songbook);
        if (!document || document.value()->outline().size() != 201)
            state.SkipWithError("outline not read");
    }
    state.counters["entries"] = 201;
}
BENCHMARK(BM_OutlineLyrafold)->Unit(benchmark::kMillisecond);

void BM_ExtractBookmarks(benchmark::State &state)
{
    for (auto _ : state) {
        if (PdfBookmarkExtractor::extractBookmarks(songbook).size() != 201)
            state.SkipWithError("outline not read");
    }
    state.counters["entries"] = 201;
}
BENCHMARK(BM_ExtractBookmarks)->Unit(benchmark::kMillisecond);

void collectQpdfOutline(QPDF &pdf, std::vector<QPDFOutlineObjectHelper> items, int &count)
{
    for (QPDFOutlineObjectHelper &item : items) {
        benchmark::DoNotOptimize(item.getTitle());
        QPDFObjectHandle page = item.getDestPage();
        if (page.isDictionary())
            benchmark::DoNotOptimize(pdf.findPage(page));
        ++count;
        collectQpdfOutline(pdf, item.getKids(), count);
    }
}

void BM_OutlineQpdf(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(songbook);
    for (auto _ : state) {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.constData());
        QPDFOutlineDocumentHelper outlines(pdf);
        int count = 0;
        collectQpdfOutline(pdf, outlines.getTopLevelOutlines(), count);
        if (count != 201)
            state.SkipWithError("outline not read");
    }
    state.counters["entries"] = 201;
}
BENCHMARK(BM_OutlineQpdf)->Unit(benchmark::kMillisecond);

void BM_RenderLyrafold(benchmark::State &state, const Book &book)
{
    Result<PdfDocumentPtr> opened = PdfDocument::open(book.path);
    if (!opened) {
        state.SkipWithError("cannot open");
        return;
    }
    const PdfDocument &document = *opened.value();
    for (auto _ : state) {
        for (int page = book.firstPage; page < book.firstPage + book.pageCount; ++page) {
            const QSizeF size = document.pageSize(page);
            Result<QImage> image = document.render(page, PdfDocument::fitScale(size, QSizeF(target)));
            if (!image)
                state.SkipWithError("render failed");
        }
    }
    reportPerPage(state, book.pageCount);
}
BENCHMARK_CAPTURE(BM_RenderLyrafold, scanned, scanned)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

void BM_RenderPdftoppm(benchmark::State &state, const Book &book)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    Result<PdfDocumentPtr> opened = PdfDocument::open(book.path);
    if (program.isEmpty() || !opened) {
        state.SkipWithError("pdftoppm (poppler-utils) not installed");
        return;
    }
    std::vector<QStringList> arguments;
    for (int page = book.firstPage; page < book.firstPage + book.pageCount; ++page) {
        const QSize size = fittedSize(*opened.value(), page);
        const QString number = QString::number(page + 1);
        arguments.push_back({QStringLiteral("-f"), number, QStringLiteral("-l"), number,
                             QStringLiteral("-scale-to-x"), QString::number(size.width()),
                             QStringLiteral("-scale-to-y"), QString::number(size.height()), book.path});
    }
    for (auto _ : state) {
        for (const QStringList &pageArguments : arguments) {
            QProcess process;
            process.setStandardOutputFile(QProcess::nullDevice());
            process.start(program, pageArguments);
            if (!process.waitForFinished(60000) || process.exitCode() != 0)
                state.SkipWithError("pdftoppm failed");
        }
    }
    reportPerPage(state, book.pageCount);
}
BENCHMARK_CAPTURE(BM_RenderPdftoppm, engraved, engraved)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_RenderPdftoppm, scanned, scanned)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

#ifdef LYRAFOLD_HAVE_QTPDF
void BM_RenderQtPdf(benchmark::State &state, const Book &book)
{
    Result<PdfDocumentPtr> opened = PdfDocument::open(book.path);
    QPdfDocument document;
    if (!opened || document.load(book.path) != QPdfDocument::Error::None) {
        state.SkipWithError("cannot open");
        return;
    }
    std::vector<QSize> sizes;
    for (int page = book.firstPage; page < book.firstPage + book.pageCount; ++page)
        sizes.push_back(fittedSize(*opened.value(), page));
    for (auto _ : state) {
        for (int i = 0; i < book.pageCount; ++i) {
            if (document.render(book.firstPage + i, sizes[size_t(i)]).isNull())
                state.SkipWithError("render failed");
        }
    }
    reportPerPage(state, book.pageCount);
}
BENCHMARK_CAPTURE(BM_RenderQtPdf, scanned, scanned)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
#endif

// Engraved pages as the viewer's render queue asks for them (Splash, the page fitted into 1200 by
// 1600), and the same pages drawn by QtPdf (pdfium) as a yardstick: compare the two per_page figures
// of one run. QtPdf leaves the paper transparent; laying it on white would cost the viewer more.
void BM_RenderEngravedPage(benchmark::State &state)
{
    BM_RenderLyrafold(state, engraved);
}
BENCHMARK(BM_RenderEngravedPage)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

#ifdef LYRAFOLD_HAVE_QTPDF
void BM_RenderEngravedPageReference(benchmark::State &state)
{
    BM_RenderQtPdf(state, engraved);
}
BENCHMARK(BM_RenderEngravedPageReference)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
#endif

} // namespace
