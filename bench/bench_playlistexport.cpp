// A 40-title playlist exported in all five formats through the export run (worker, progress to the
// UI thread, share list), next to the five builders called directly one after another; and saving the
// export's image folder over an older copy through the safe replace.

#include "core/share/ExportNaming.h"
#include "core/share/PlaylistTextExport.h"
#include "core/storage/SafeReplace.h"
#include "pdf/share/PlaylistExportRun.h"
#include "pdf/share/PlaylistShareService.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QList<PlaylistItem> fortyTitles()
{
    const QString books[] = {QStringLiteral(LYRAFOLD_TESTDATA_DIR "/books/songs-from-the-public-domain.pdf"),
                             QStringLiteral(LYRAFOLD_TESTDATA_DIR "/books/dusty-strings-tunebook.pdf"),
                             QStringLiteral(LYRAFOLD_TESTDATA_DIR "/scans/beethoven-sonata-19-op49-1.pdf")};
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
