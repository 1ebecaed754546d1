#include "ui/metadata/MetadataImportFlow.h"

#include "core/common/Hop.h"
#include "core/imports/BookmarkImport.h"
#include "core/metadata/BundledMetadata.h"
#include "core/metadata/MetadataImport.h"
#include "core/session/LibrarySession.h"
#include "core/slots/LibrarySlots.h"
#include "core/slots/SlotMetadataJob.h"
#include "core/titles/TitleMetadataIndex.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/StatusSink.h"
#include "ui/library/LibraryFlowService.h"

#include <QFileDialog>

namespace {

QString shownName(qint64 slot)
{
    return LibrarySlots::slotTileNames().value(slot);
}

// The status line after a metadata change made on a worker. appliedText is the line for a change of
// the current slot; a change that went to its own slot after another became current names that slot.
QString jobStatus(const SlotMetadataJob::Outcome &outcome, const QString &appliedText)
{
    const QString slotName = shownName(outcome.slot);
    using Kind = SlotMetadataJob::Outcome::Kind;
    switch (outcome.kind) {
    case Kind::applied:
        return appliedText;
    case Kind::appliedToStored:
        return QStringLiteral("%1 \u2014 %2, the slot it was started in").arg(appliedText, slotName);
    case Kind::slotEmpty:
        return QStringLiteral("%1 holds no bookmarks any more; nothing was changed.").arg(slotName);
    case Kind::writeFailed:
        return QStringLiteral("Could not save %1: %2").arg(slotName, outcome.error);
    }
    return appliedText;
}

// An import that changed nothing says why: its slot holds no titles, or none of them is in the file.
QString importStatus(const SlotMetadataJob::Outcome &outcome)
{
    using Kind = SlotMetadataJob::Outcome::Kind;
    const bool read = outcome.kind == Kind::applied || outcome.kind == Kind::appliedToStored;
    const QString slotName = shownName(outcome.slot);
    if (read && outcome.rowCount == 0)
        return QStringLiteral("%1 is empty").arg(slotName);
    if (read && outcome.matched == 0)
        return QStringLiteral("No title in %1 matches the file").arg(slotName);
    return jobStatus(outcome, QStringLiteral("Imported metadata updates: %1").arg(outcome.matched));
}

} // namespace

MetadataImportFlow::MetadataImportFlow(AppContext &context, StatusSink &sink, QWidget *window)
    : QObject(window), m_context(context), m_sink(sink), m_window(window)
{
}

void MetadataImportFlow::loadDefaultMetadata()
{
    m_sink.showStatus(QStringLiteral("Loading metadata..."));
    const std::optional<QString> path = TitleMetadataIndex::bundledFilePath();
    if (!path) {
        m_sink.showStatus(QStringLiteral("Metadata file not found"));
        return;
    }
    applyMetadataFile(*path);
}

void MetadataImportFlow::applyMetadataFile(const QString &metadataFile)
{
    LibrarySession &session = m_context.library();
    // The result belongs to the slot of the press, whichever is current when it is ready.
    const qint64 slot = session.currentSlotId();
    Hop::run(
        this, [metadataFile] { return BundledMetadata::loadFile(metadataFile); },
        [this, &session, slot](Result<TitleMetadataIndex::RecordMap> records) {
            if (!records) {
                m_sink.showStatus(records.error().message);
                return;
            }
            auto *job = new SlotMetadataJob(
                m_context.librarySlots(), slot,
                [records = std::move(records).value()](LibraryRows &rows, const TitleKeyIndex &titles) {
                    return BundledMetadata::applyToRows(rows, titles, records,
                                                        BundledMetadata::Rule::overwrite);
                },
                LibrarySession::PlaylistSync::skip, this);
            connect(job, &SlotMetadataJob::finished, this, [this](const SlotMetadataJob::Outcome &outcome) {
                m_sink.showStatus(jobStatus(outcome, QStringLiteral("Applied metadata to %1 of %2 bookmarks")
                                                         .arg(outcome.matched)
                                                         .arg(outcome.rowCount)));
            });
            job->start();
        });
}

void MetadataImportFlow::applyBundledMetadataToAll()
{
    LibrarySession &session = m_context.library();
    if (!m_context.libraryFlows().ensureCurrentSlotEditable(m_sink, QStringLiteral("apply metadata")) ||
        session.allBookmarks().isEmpty())
        return;
    auto *job = new SlotMetadataJob(
        m_context.librarySlots(), session.currentSlotId(),
        [](LibraryRows &rows, const TitleKeyIndex &titles) {
            return BundledMetadata::applyToRows(rows, titles, TitleMetadataIndex::records(),
                                                BundledMetadata::Rule::fillEmpty);
        },
        LibrarySession::PlaylistSync::sync, this);
    connect(job, &SlotMetadataJob::finished, this, [this](const SlotMetadataJob::Outcome &outcome) {
        m_sink.showStatus(jobStatus(
            outcome,
            QStringLiteral("Bundled metadata applied to %1 matching title(s).").arg(outcome.matched)));
    });
    job->start();
}

void MetadataImportFlow::importMetadata()
{
    if (!m_context.libraryFlows().ensureCurrentSlotEditable(m_sink, QStringLiteral("import metadata")))
        return;
    const QString path = QFileDialog::getOpenFileName(
        m_window, QStringLiteral("Import metadata file"), QString(),
        QStringLiteral("Metadata files (*.csv *.json);;CSV (*.csv);;JSON (*.json);;All files (*)"));
    if (!path.isEmpty())
        importMetadataFile(path);
}

void MetadataImportFlow::importMetadataFile(const QString &path)
{
    LibrarySession &session = m_context.library();
    const qint64 slot = session.currentSlotId();
    Hop::run(
        this, [path] { return MetadataImport::readFile(path); },
        [this, &session, slot](Result<MetadataFile> file) {
            // Unlike a file that matched nothing, a file that was never read is no import of 0 updates.
            if (!file) {
                m_sink.showStatus(BookmarkImport::invalidFileTitle() + QStringLiteral(": ") +
                                  file.error().message);
                LyrafoldAlert::runUnasked(m_sink.alertParent(), LyrafoldAlert::Style::warning,
                                          BookmarkImport::invalidFileTitle(), file.error().message);
                return;
            }
            // The records are decoded as they are applied, straight into the rows: neither the records
            // nor a second copy of the library are held besides the file.
            auto *job = new SlotMetadataJob(
                m_context.librarySlots(), slot,
                [file = std::move(file).value()](LibraryRows &rows, const TitleKeyIndex &) {
                    SlotMetadataJob::Change change;
                    change.matched = MetadataImport::applyFile(file, rows, &change.positions);
                    return change;
                },
                LibrarySession::PlaylistSync::sync, this);
            connect(job, &SlotMetadataJob::finished, this, [this](const SlotMetadataJob::Outcome &outcome) {
                m_sink.showStatus(importStatus(outcome));
            });
            job->start();
        });
}
