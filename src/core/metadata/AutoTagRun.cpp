#include "core/metadata/AutoTagRun.h"

#include "core/common/Hop.h"
#include "core/common/UiText.h"
#include "core/metadata/MetadataEnrichmentService.h"
#include "core/session/LibrarySession.h"
#include "core/titles/TitleKeyIndex.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QSet>

AutoTagRun::Enricher AutoTagRun::enrichmentService()
{
    return [](const BookmarkEntry &entry, const std::optional<SongDataImportOptions> &options,
              QObject *context, Done done) {
        if (options)
            MetadataEnrichmentService::enrichBookmark(entry, *options, context, std::move(done));
        else
            MetadataEnrichmentService::enrichBookmark(entry, context, std::move(done));
    };
}

AutoTagRun::AutoTagRun(LibrarySession &session, QList<qsizetype> candidates,
                       std::optional<SongDataImportOptions> options, Enricher enricher, QObject *parent)
    : QObject(parent), m_session(session), m_candidates(std::move(candidates)), m_options(options),
      m_enricher(std::move(enricher)), m_slot(session.currentSlotId())
{
    connect(&m_session, &LibrarySession::libraryAboutToBeReplaced, this, &AutoTagRun::stopForReplacement);
}

AutoTagRun::~AutoTagRun()
{
    if (m_batchOpen)
        m_session.commitBatch();
}

QList<qsizetype> AutoTagRun::targets(const QList<qsizetype> &candidates, const LibraryRows &rows,
                                     const TitleKeyIndex &titles)
{
    QList<qsizetype> targets;
    QSet<QString> seen;
    for (const qsizetype position : candidates) {
        if (position < 0 || position >= rows.size())
            continue;
        QString key = titles.keyOfRow(position);
        if (seen.contains(key))
            continue;
        seen.insert(std::move(key));
        targets.append(position);
    }
    return targets;
}

bool AutoTagRun::isReloadPoint(qsizetype index, qsizetype total)
{
    return index % 8 == 0 || index == total - 1;
}

void AutoTagRun::start()
{
    if (m_running)
        return;
    m_running = true;
    // A library of 100,000 rows: the title keys and the targets are worked out on a worker.
    Hop::run(
        this,
        [candidates = m_candidates, rows = m_session.allBookmarks(), ready = m_session.readyTitleKeyIndex()] {
            const std::shared_ptr<const TitleKeyIndex> titles =
                ready ? ready : std::make_shared<const TitleKeyIndex>(rows);
            QStringList keys;
            for (const qsizetype position : targets(candidates, rows, *titles))
                keys.append(rows.at(position).id());
            return keys;
        },
        [this](QStringList keys) {
            if (m_running)
                begin(std::move(keys));
        });
}

void AutoTagRun::begin(QStringList targetKeys)
{
    m_targets = std::move(targetKeys);
    m_session.beginBatch(LibrarySession::PlaylistSync::sync);
    m_batchOpen = true;
    Q_EMIT started(m_targets.size());
    step();
}

void AutoTagRun::cancel()
{
    m_cancelRequested = true;
}

void AutoTagRun::step()
{
    if (!m_running)
        return;
    if (m_cancelRequested) {
        end(Ending::cancelled);
        return;
    }
    // Rows deleted since the targets were chosen are skipped, without a word on the sheet.
    std::optional<qsizetype> position;
    while (m_next < m_targets.size() && !(position = m_session.firstPositionOf(m_targets.at(m_next))))
        ++m_next;
    if (!position) {
        end(Ending::finished);
        return;
    }
    const qsizetype index = m_next++;
    const BookmarkEntry base = m_session.allBookmarks().at(*position);
    if (m_webGivenUp) {
        const BookmarkEntry enriched = MetadataEnrichmentService::enrichFromIndex(base, m_options);
        titleLookedUp(index, base, enriched, {LookupOutcome::Kind::failed, !(enriched == base), true});
        return;
    }
    m_lookup = new QObject(this);
    m_enricher(base, m_options, m_lookup, [this, index, base](BookmarkEntry enriched, LookupOutcome outcome) {
        if (m_lookup)
            m_lookup->deleteLater();
        m_lookup = nullptr;
        titleLookedUp(index, base, enriched, outcome);
    });
}

void AutoTagRun::titleLookedUp(qsizetype index, const BookmarkEntry &base, const BookmarkEntry &enriched,
                               const LookupOutcome &outcome)
{
    apply(index, base, enriched, outcome);
    if (!m_running)
        return;
    // Web failures never stop a run; once the services stay out of reach, asking them only makes every
    // remaining title wait for the throttle in vain.
    m_unreachableInARow = outcome.unreachable ? m_unreachableInARow + 1 : 0;
    if (m_unreachableInARow >= unreachableLimit)
        m_webGivenUp = true;
    // From the event loop, so that an enricher that answers at once does not nest the titles.
    QMetaObject::invokeMethod(this, &AutoTagRun::step, Qt::QueuedConnection);
}

void AutoTagRun::apply(qsizetype index, const BookmarkEntry &base, const BookmarkEntry &enriched,
                       const LookupOutcome &outcome)
{
    // A result whose row was deleted meanwhile is dropped.
    if (!m_running || !m_session.firstPositionOf(base.id()))
        return;
    const bool failed = outcome.kind == LookupOutcome::Kind::failed;
    if (!failed || outcome.filled)
        m_session.applyEnrichedMetadata(enriched, base);
    if (failed)
        ++m_failed;
    else
        ++(outcome.kind == LookupOutcome::Kind::found ? m_tagged : m_notFound);
    // A title whose built-in record holds nothing its rows lack is found, not missing: a second run over
    // tagged titles finds every record again.
    if (outcome.unreachable && outcome.filled)
        ++m_builtInFilled;
    else if (outcome.unreachable && TitleMetadataIndex::metadataForDisplayTitle(base.title))
        ++m_builtInComplete;
    else if (outcome.unreachable)
        ++m_builtInNotFound;
    Q_EMIT titleTagged(index + 1, m_targets.size(), enriched.title, isReloadPoint(index, m_targets.size()));
}

QString AutoTagRun::endText(Ending ending) const
{
    if (ending == Ending::cancelled)
        return UiText::tr("Auto-tag cancelled.");
    QString text = UiText::tr("Auto-tag finished (%1 bookmarks).").arg(total());
    const qsizetype offline = m_builtInFilled + m_builtInComplete + m_builtInNotFound;
    const qsizetype reached = m_tagged + m_notFound + m_failed - offline;
    if (reached > 0 && (m_notFound > 0 || m_failed > 0))
        text += UiText::tr(" Tagged: %1, nothing found: %2, lookups failed: %3.")
                    .arg(QString::number(m_tagged), QString::number(m_notFound), QString::number(m_failed));
    // Said when the services were out of reach as the run ended: a run of one or two titles without a
    // network says it as well as a long one.
    if ((m_webGivenUp || m_unreachableInARow > 0) && m_builtInComplete == 0)
        text += UiText::tr(" MusicBrainz and Discogs could not be reached; only the built-in records were "
                           "used (filled: %1, not found: %2).")
                    .arg(QString::number(m_builtInFilled), QString::number(m_builtInNotFound));
    else if (m_webGivenUp || m_unreachableInARow > 0)
        text += UiText::tr(" MusicBrainz and Discogs could not be reached; only the built-in records were "
                           "used (filled: %1, already complete: %2, not found: %3).")
                    .arg(QString::number(m_builtInFilled), QString::number(m_builtInComplete),
                         QString::number(m_builtInNotFound));
    return text;
}

void AutoTagRun::stopForReplacement()
{
    if (!m_running)
        return;
    // The lookup under way would answer for a slot that is no longer shown; an answer already on its way
    // finds the run ended and is dropped.
    if (m_lookup)
        m_lookup->deleteLater();
    m_lookup = nullptr;
    end(Ending::slotChanged);
}

void AutoTagRun::end(Ending ending)
{
    m_running = false;
    if (m_batchOpen) {
        m_batchOpen = false;
        m_session.commitBatch();
    }
    Q_EMIT finished(ending);
}
