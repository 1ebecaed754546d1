#include "pdf/share/PlaylistExportRun.h"

#include "core/common/Hop.h"
#include "core/share/PlaylistTextExport.h"
#include "pdf/share/PlaylistShareService.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

using Format = PlaylistExportFormat;

ExportResult fromText(const std::optional<QString> &path, const QList<PlaylistItem> &items)
{
    if (path)
        return ExportResult::made(*path);
    return ExportResult::failed(items.isEmpty() ? ExportResult::Failure::nothingToExport
                                                : ExportResult::Failure::writeFailed);
}

// The visible files of the folder, sorted by name in plain character order; nothing when it cannot be
// listed.
QStringList imagesOf(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    std::sort(names.begin(), names.end());
    QStringList paths;
    for (const QString &name : std::as_const(names))
        paths.append(folder + QLatin1Char('/') + name);
    return paths;
}

// The order in which the made files are offered for sharing.
QList<Format> shareOrder(PlaylistExportRun::Order order)
{
    if (order == PlaylistExportRun::Order::imagesAfterPdf)
        return {Format::pdf, Format::jpeg, Format::txt, Format::html, Format::lyf};
    return {Format::pdf, Format::txt, Format::html, Format::lyf, Format::jpeg};
}

} // namespace

PlaylistExportBuilders PlaylistExportBuilders::standard()
{
    PlaylistExportBuilders builders;
    builders.pdf = [](const QList<PlaylistItem> &items, const QString &name, bool links,
                      BuildProgress *progress) {
        return PlaylistShareService::buildPlaylistPDF(items, name, links, progress);
    };
    builders.jpeg = [](const QList<PlaylistItem> &items, const QString &name, BuildProgress *progress) {
        return PlaylistShareService::buildPlaylistJPEGs(items, name, progress);
    };
    builders.txt = [](const QList<PlaylistItem> &items, const QString &name, bool bookAndPages, bool links) {
        return fromText(PlaylistTextExport::buildPlaylistTextDetailed(items, name, bookAndPages, links),
                        items);
    };
    builders.html = [](const QList<PlaylistItem> &items, const QString &name, bool bookAndPages, bool links) {
        return fromText(PlaylistTextExport::buildPlaylistHTML(items, name, bookAndPages, links), items);
    };
    builders.lyf = [](const QString &name, const QList<PlaylistItem> &items) {
        return fromText(PlaylistTextExport::buildPlaylistLYF(name, items), items);
    };
    return builders;
}

std::optional<ExportResult> PlaylistExports::result(PlaylistExportFormat format) const
{
    for (const auto &[made, result] : results) {
        if (made == format)
            return result;
    }
    return std::nullopt;
}

QStringList PlaylistExports::savePaths() const
{
    QStringList paths;
    for (Format format : {Format::pdf, Format::txt, Format::html, Format::lyf, Format::jpeg}) {
        if (const auto made = result(format); made && *made)
            paths.append(made->path);
    }
    return paths;
}

QStringList PlaylistExports::failures() const
{
    QStringList lines;
    for (const auto &[format, result] : results) {
        if (!result)
            lines.append(PlaylistExportRun::formatName(format) + QStringLiteral(": ") + result.message());
    }
    return lines;
}

PlaylistExportRun::PlaylistExportRun(QList<PlaylistItem> items, QString playlistName,
                                     PlaylistShareOptions options, Order order,
                                     PlaylistExportBuilders builders, QObject *parent)
    : QObject(parent), m_items(std::move(items)), m_name(std::move(playlistName)), m_options(options),
      m_order(order), m_builders(std::move(builders))
{
    const Hop::Receiver back(this);
    m_progress = std::make_shared<BuildProgress>([this, back](qint64 done, qint64 total) {
        back.post([this, done, total] { Q_EMIT pagesProgressed(done, total); });
    });
    m_progress->setTitleCallback([this, back](qint64 done, qint64 total) {
        back.post([this, done, total] { Q_EMIT titlesProgressed(done, total); });
    });
}

PlaylistExportRun::~PlaylistExportRun()
{
    m_progress->cancel();
}

QList<PlaylistExportFormat> PlaylistExportRun::buildOrder(const PlaylistShareOptions &options, Order order)
{
    const QList<Format> all =
        order == Order::imagesAfterPdf
            ? QList<Format>{Format::pdf, Format::jpeg, Format::txt, Format::html, Format::lyf}
            : QList<Format>{Format::pdf, Format::txt, Format::html, Format::jpeg, Format::lyf};
    QList<Format> chosen;
    for (Format format : all) {
        const bool wanted =
            (format == Format::pdf && options.exportPDF) || (format == Format::jpeg && options.exportJPEG) ||
            (format == Format::txt && options.exportTXT) || (format == Format::html && options.exportHTML) ||
            (format == Format::lyf && options.exportLYF);
        if (wanted)
            chosen.append(format);
    }
    return chosen;
}

QString PlaylistExportRun::formatName(PlaylistExportFormat format)
{
    switch (format) {
    case Format::pdf:
        return QStringLiteral("PDF");
    case Format::jpeg:
        return QStringLiteral("Images (JPEG)");
    case Format::txt:
        return QStringLiteral("Text (TXT)");
    case Format::html:
        return QStringLiteral("HTML");
    case Format::lyf:
        break;
    }
    return QStringLiteral("Lyrafold playlist (.lyf)");
}

void PlaylistExportRun::start()
{
    if (m_started)
        return;
    m_started = true;
    m_running = true;
    const Hop::Receiver back(this);
    const QList<Format> formats = buildOrder(m_options, m_order);
    Hop::run(
        this,
        [this, back, formats, items = m_items, name = m_name, options = m_options, order = m_order,
         builders = m_builders, progress = m_progress] {
            // `this` is only touched in what back.post runs on the UI thread, while it still lives.
            PlaylistExports exports;
            for (int step = 0; step < formats.size(); ++step) {
                if (progress->isCancelled())
                    break;
                const Format format = formats.at(step);
                back.post([this, step, count = int(formats.size()), format] {
                    Q_EMIT stepStarted(step + 1, count, format);
                });
                ExportResult result;
                switch (format) {
                case Format::pdf:
                    result = builders.pdf(items, name, options.includeLinksInPDF, progress.get());
                    break;
                case Format::jpeg:
                    result = builders.jpeg(items, name, progress.get());
                    break;
                case Format::txt:
                    result =
                        builders.txt(items, name, options.includeBookAndPages, options.includeLinksInText);
                    break;
                case Format::html:
                    result =
                        builders.html(items, name, options.includeBookAndPages, options.includeLinksInText);
                    break;
                case Format::lyf:
                    result = builders.lyf(name, items);
                    break;
                }
                exports.results.append({format, result});
            }
            exports.cancelled = progress->isCancelled();
            if (exports.cancelled)
                return exports;
            for (Format format : shareOrder(order)) {
                const auto made = exports.result(format);
                if (!made || !*made)
                    continue;
                if (format == Format::jpeg)
                    exports.shareFiles.append(imagesOf(made->path));
                else
                    exports.shareFiles.append(made->path);
            }
            return exports;
        },
        [this](const PlaylistExports &exports) {
            m_running = false;
            Q_EMIT finished(exports);
        });
}

void PlaylistExportRun::cancel()
{
    m_progress->cancel();
}
