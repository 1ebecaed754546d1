// The playlist exports of the real books, each next to the command-line tool that does the plainest
// form of the same job in the same run: the PDF against `qpdf --empty --pages ... --` (a plain copy of
// the same pages, without resizing, header, links or outline), the JPEG pages against
// `pdftoppm -jpeg -jpegopt quality=90` over the same distinct pages at the same pixel sizes.

#include "TestHarness.h"
#include "core/share/PlaylistTextExport.h"
#include "core/storage/SafeReplace.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/share/PlaylistExportRun.h"
#include "pdf/share/PlaylistShareService.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

QString testData(const char *relativePath)
{
    return TestHarness::testData(QLatin1String(relativePath));
}

// 40 titles of 2 to 4 pages, taken in turn from the engraved songbook, the tunebook and the 1-bit
// scan; the scan's titles overlap, as real ones of a short book do.
QList<PlaylistItem> fortyTitles()
{
    const QString books[] = {testData("books/songs-from-the-public-domain.pdf"),
                             testData("books/dusty-strings-tunebook.pdf"),
                             testData("scans/beethoven-sonata-19-op49-1.pdf")};
    QList<PlaylistItem> items;
    for (int i = 0; i < 40; ++i) {
        PlaylistItem item;
        item.pdfFilePath = books[i % 3];
        item.pdfFileName = QFileInfo(item.pdfFilePath).fileName();
        item.pageSpan = 2 + i % 3;
        item.pageNumber = i % 3 == 0 ? 10 + i * 4 : i % 3 == 1 ? 1 + (i * 3) % 22 : 1 + i % 5;
        item.title = QStringLiteral("Title %1").arg(i + 1);
        items.append(item);
    }
    return items;
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

void BM_PlaylistPdf(benchmark::State &state)
{
    const QString qpdf = QStandardPaths::findExecutable(QStringLiteral("qpdf"));
    QTemporaryDir dir;
    if (qpdf.isEmpty() || !dir.isValid()) {
        state.SkipWithError("qpdf not installed");
        return;
    }
    const QList<PlaylistItem> items = fortyTitles();
    QStringList arguments{QStringLiteral("--empty"), QStringLiteral("--pages")};
    int pages = 0;
    for (const PlaylistItem &item : items) {
        arguments << item.pdfFilePath
                  << QStringLiteral("%1-%2").arg(item.pageNumber).arg(item.pageNumber + item.pageSpan - 1);
        pages += int(item.pageSpan);
    }
    const QString reference = dir.filePath(QStringLiteral("qpdf.pdf"));
    arguments << QStringLiteral("--") << reference;

    qint64 ours = 0;
    qint64 theirs = 0;
    qint64 oursSize = 0;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        const auto path = PlaylistShareService::buildPlaylistPDF(items, QStringLiteral("Bench"), true);
        ours += timer.nsecsElapsed();
        if (!path) {
            state.SkipWithError("no PDF");
            return;
        }
        oursSize = QFileInfo(path.path).size();
        timer.start();
        if (!run(qpdf, arguments)) {
            state.SkipWithError("qpdf failed");
            return;
        }
        theirs += timer.nsecsElapsed();
    }
    state.counters["pages"] = pages;
    state.counters["ms_ours"] = double(ours) / 1e6 / double(state.iterations());
    state.counters["ms_qpdf"] = double(theirs) / 1e6 / double(state.iterations());
    state.counters["time_ratio_to_qpdf"] = double(ours) / double(theirs);
    state.counters["size_ratio_to_qpdf"] = double(oursSize) / double(QFileInfo(reference).size());
}
BENCHMARK(BM_PlaylistPdf)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_PlaylistJpegs(benchmark::State &state)
{
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    QTemporaryDir dir;
    if (pdftoppm.isEmpty() || !dir.isValid()) {
        state.SkipWithError("pdftoppm (poppler-utils) not installed");
        return;
    }
    // The distinct pages of each book, each run of consecutive pages one pdftoppm call at the size
    // the export renders (the pages of one book have one size here).
    const QList<PlaylistItem> items = fortyTitles();
    QMap<QString, QSet<int>> distinct;
    for (const PlaylistItem &item : items) {
        for (qint64 page = item.pageNumber; page < item.pageNumber + item.pageSpan; ++page)
            distinct[item.pdfFilePath].insert(int(page));
    }
    std::vector<QStringList> calls;
    int pages = 0;
    for (auto it = distinct.begin(); it != distinct.end(); ++it) {
        const Result<PdfDocumentPtr> book = PdfDocument::open(it.key());
        if (!book) {
            state.SkipWithError("cannot open");
            return;
        }
        const QSizeF size = book.value()->pageSize(0);
        const double scale =
            PdfDocument::fitScale(size, QSizeF(612, 792)) * PlaylistShareService::jpegPixelsPerPoint;
        QList<int> sorted = it.value().values();
        std::sort(sorted.begin(), sorted.end());
        pages += int(sorted.size());
        for (qsizetype i = 0; i < sorted.size();) {
            qsizetype j = i;
            while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1)
                ++j;
            calls.push_back({QStringLiteral("-jpeg"), QStringLiteral("-jpegopt"),
                             QStringLiteral("quality=90"), QStringLiteral("-f"), QString::number(sorted[i]),
                             QStringLiteral("-l"), QString::number(sorted[j]), QStringLiteral("-scale-to-x"),
                             QString::number(std::ceil(size.width() * scale)), QStringLiteral("-scale-to-y"),
                             QString::number(std::ceil(size.height() * scale)), it.key(),
                             dir.filePath(QStringLiteral("p%1").arg(calls.size()))});
            i = j + 1;
        }
    }

    qint64 ours = 0;
    qint64 theirs = 0;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        if (!PlaylistShareService::buildPlaylistJPEGs(items, QStringLiteral("Bench"))) {
            state.SkipWithError("no images");
            return;
        }
        ours += timer.nsecsElapsed();
        timer.start();
        for (const QStringList &arguments : calls) {
            if (!run(pdftoppm, arguments)) {
                state.SkipWithError("pdftoppm failed");
                return;
            }
        }
        theirs += timer.nsecsElapsed();
    }
    state.counters["distinct_pages"] = pages;
    state.counters["ms_ours"] = double(ours) / 1e6 / double(state.iterations());
    state.counters["ms_pdftoppm"] = double(theirs) / 1e6 / double(state.iterations());
    state.counters["time_ratio_to_pdftoppm"] = double(ours) / double(theirs);
}
BENCHMARK(BM_PlaylistJpegs)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// The same playlist in all five formats through the export run (worker, progress to the UI thread,
// share list), next to the five builders called directly one after another; and saving the export's
// image folder over an older copy through the safe replace.
PlaylistShareOptions everyFormat()
{
    PlaylistShareOptions options;
    options.exportJPEG = options.exportTXT = options.exportHTML = options.exportLYF = true;
    return options;
}

PlaylistExports runOnce(const QList<PlaylistItem> &items)
{
    PlaylistExportRun run(items, QStringLiteral("Bench"), everyFormat());
    PlaylistExports made;
    QEventLoop loop;
    QObject::connect(&run, &PlaylistExportRun::finished, &loop, [&](const PlaylistExports &exports) {
        made = exports;
        loop.quit();
    });
    run.start();
    loop.exec();
    return made;
}

void BM_PlaylistExportRunAllFormats(benchmark::State &state)
{
    const QList<PlaylistItem> items = fortyTitles();
    const QString name = QStringLiteral("Bench");
    qint64 builders = 0;
    qint64 shareFiles = 0;
    QElapsedTimer timer;
    for (auto _ : state) {
        shareFiles = runOnce(items).shareFiles.size();
        state.PauseTiming();
        timer.start();
        PlaylistShareService::buildPlaylistPDF(items, name, true);
        PlaylistShareService::buildPlaylistJPEGs(items, name);
        PlaylistTextExport::buildPlaylistTextDetailed(items, name, true, true);
        PlaylistTextExport::buildPlaylistHTML(items, name, true, true);
        PlaylistTextExport::buildPlaylistLYF(name, items);
        builders += timer.nsecsElapsed();
        state.ResumeTiming();
    }
    state.counters["share_files"] = double(shareFiles);
    state.counters["ms_builders_alone"] = double(builders) / 1e6 / double(state.iterations());
}
BENCHMARK(BM_PlaylistExportRunAllFormats)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_SafeReplaceImageFolder(benchmark::State &state)
{
    const PlaylistExports made = runOnce(fortyTitles());
    const QString images = made.result(PlaylistExportFormat::jpeg).value_or(ExportResult{}).path;
    QTemporaryDir chosen;
    if (images.isEmpty() || !chosen.isValid()) {
        state.SkipWithError("no image folder");
        return;
    }
    const QString target = chosen.filePath(QFileInfo(images).fileName());
    SafeReplace::replace(images, target);
    for (auto _ : state) {
        if (!SafeReplace::replace(images, target)) {
            state.SkipWithError("replace failed");
            return;
        }
    }
    state.counters["images"] = double(made.shareFiles.size() - 4);
}
BENCHMARK(BM_SafeReplaceImageFolder)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
