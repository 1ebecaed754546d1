#pragma once

#include "core/common/BuildProgress.h"
#include "core/playlist/PlaylistItem.h"
#include "core/share/ExportResult.h"
#include "core/share/PlaylistShareOptions.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

enum class PlaylistExportFormat { pdf, jpeg, txt, html, lyf };

// The builders a run calls, one per format; tests put in their own. standard() gives the real ones.
struct PlaylistExportBuilders {
    std::function<ExportResult(const QList<PlaylistItem> &, const QString &name, bool includeLinks,
                               BuildProgress *)>
        pdf;
    std::function<ExportResult(const QList<PlaylistItem> &, const QString &name, BuildProgress *)> jpeg;
    std::function<ExportResult(const QList<PlaylistItem> &, const QString &name, bool includeBookAndPages,
                               bool includeLinks)>
        txt;
    std::function<ExportResult(const QList<PlaylistItem> &, const QString &name, bool includeBookAndPages,
                               bool includeLinks)>
        html;
    std::function<ExportResult(const QString &name, const QList<PlaylistItem> &)> lyf;

    static PlaylistExportBuilders standard();
};

// What a run made: one result per chosen format, in the order they were built.
struct PlaylistExports {
    QList<std::pair<PlaylistExportFormat, ExportResult>> results;
    // The files to offer for sharing: each made file, and the images of the JPEG folder one by one in
    // file-name order, in the order of the run.
    QStringList shareFiles;
    bool cancelled = false;

    std::optional<ExportResult> result(PlaylistExportFormat format) const;
    // The made exports in the order a save copies them: PDF, text, HTML, playlist file, image folder.
    QStringList savePaths() const;
    // "PDF: <why>" for each chosen format that was not made.
    QStringList failures() const;
};

// Builds the chosen exports of a playlist on a worker, one builder after another, telling the UI
// thread how far it is; it can be cancelled, and destroying it cancels it. Each run starts once.
class PlaylistExportRun : public QObject {
    Q_OBJECT

public:
    // Where the page images go: built second and offered right after the PDF, or built after the HTML
    // list and offered last.
    enum class Order { imagesAfterPdf, imagesLast };

    PlaylistExportRun(QList<PlaylistItem> items, QString playlistName, PlaylistShareOptions options,
                      Order order = Order::imagesAfterPdf,
                      PlaylistExportBuilders builders = PlaylistExportBuilders::standard(),
                      QObject *parent = nullptr);
    ~PlaylistExportRun() override;

    // The formats the options choose, in build order.
    static QList<PlaylistExportFormat> buildOrder(const PlaylistShareOptions &options, Order order);
    // "PDF", "Images (JPEG)", ...: a format as the progress and the reports name it.
    static QString formatName(PlaylistExportFormat format);

    void start();
    void cancel();
    bool isRunning() const { return m_running; }

Q_SIGNALS:
    // step counts from 1.
    void stepStarted(int step, int stepCount, PlaylistExportFormat format);
    void pagesProgressed(qint64 done, qint64 total);
    void titlesProgressed(qint64 done, qint64 total);
    void finished(const PlaylistExports &exports);

private:
    QList<PlaylistItem> m_items;
    QString m_name;
    PlaylistShareOptions m_options;
    Order m_order;
    PlaylistExportBuilders m_builders;
    std::shared_ptr<BuildProgress> m_progress;
    bool m_started = false;
    bool m_running = false;
};
