#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/metadata/ExternalEnrichment.h"
#include "core/metadata/SongDataImportOptions.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

class LibraryRows;
class LibrarySession;
class TitleKeyIndex;

// One auto-tag run: the titles of some rows of the library looked up one after another through the
// enrichment service, each result written into every row of its title. Windows only show it: it
// reports its start, every title it applied and its end, and can be cancelled between two titles (a
// lookup under way is completed and applied).
//
// The run belongs to the slot it started in. Its changes go into one batch of the session: the slot is
// saved, the playlists follow and the library tells its change once, at the end. When the slot changes
// or the library is replaced, the run stops at once, before the change: what it applied so far is
// saved to its own slot, and a lookup under way is abandoned.
class AutoTagRun : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(BookmarkEntry enriched, LookupOutcome outcome)>;
    // Looks up one song: done gets the enriched copy of entry, later, in context's thread, and never
    // once context is gone. No options: only empty fields are filled.
    using Enricher =
        std::function<void(const BookmarkEntry &entry, const std::optional<SongDataImportOptions> &options,
                           QObject *context, Done done)>;
    // The enrichment service: the built-in index, MusicBrainz and, with a token, Discogs.
    static Enricher enrichmentService();

    enum class Ending {
        finished,
        cancelled,
        slotChanged, // stopped because the slot changed or the library was replaced
    };
    Q_ENUM(Ending)
    // Titles in a row whose lookups could not reach any service, after which the run makes no more web
    // requests: the remaining titles get what the built-in index has, without waiting for the throttle.
    static constexpr int unreachableLimit = 3;

    // candidates: library positions in the order to tag them.
    AutoTagRun(LibrarySession &session, QList<qsizetype> candidates,
               std::optional<SongDataImportOptions> options, Enricher enricher = enrichmentService(),
               QObject *parent = nullptr);
    // A run destroyed while going ends its batch: what it applied is saved.
    ~AutoTagRun() override;

    // The positions a run looks up, for the tests of the rule.
    static QList<qsizetype> targetsForTesting(const QList<qsizetype> &candidates, const LibraryRows &rows,
                                              const TitleKeyIndex &titles)
    {
        return targets(candidates, rows, titles);
    }
    // The table shows the results after the first title, after every eighth title from there and after
    // the last: index counts from 0.
    static bool isReloadPoint(qsizetype index, qsizetype total);

    // Works out the targets on a worker, then tells started() and looks up the first.
    void start();
    // Stops before the next title.
    void cancel();

    bool isRunning() const { return m_running; }
    qint64 slot() const { return m_slot; }
    // Known from started() on.
    qsizetype total() const { return m_targets.size(); }
    // Titles something was found for and applied to, titles whose web lookups failed (whatever the
    // built-in index filled for them).
    qsizetype tagged() const { return m_tagged; }
    qsizetype failed() const { return m_failed; }

    // The status line at the end of a run: "Auto-tag finished (n bookmarks).", with the counts when a
    // title was not found or failed, and what the built-in records did when the services could not be
    // reached as the run ended (with how many titles had their record's fields already, when any did).
    QString endText(Ending ending) const;

Q_SIGNALS:
    void started(qsizetype total);
    // The result of title done (counting from 1) of total was applied to every row of the title (a
    // failed lookup's built-in fills included).
    void titleTagged(qsizetype done, qsizetype total, const QString &title, bool reloadPoint);
    void finished(AutoTagRun::Ending ending);

private:
    // The positions to look up: the first candidate of each normalised title key (an empty key is a
    // key like any other), in candidate order; candidates outside rows are skipped.
    static QList<qsizetype> targets(const QList<qsizetype> &candidates, const LibraryRows &rows,
                                    const TitleKeyIndex &titles);

    void begin(QStringList targetKeys);
    void step();
    void titleLookedUp(qsizetype index, const BookmarkEntry &base, const BookmarkEntry &enriched,
                       const LookupOutcome &outcome);
    void apply(qsizetype index, const BookmarkEntry &base, const BookmarkEntry &enriched,
               const LookupOutcome &outcome);
    void end(Ending ending);
    void stopForReplacement();

    LibrarySession &m_session;
    QList<qsizetype> m_candidates;
    std::optional<SongDataImportOptions> m_options;
    Enricher m_enricher;
    qint64 m_slot;

    // The identity keys of the target rows: positions move when rows are deleted, keys do not.
    QStringList m_targets;
    qsizetype m_next = 0;
    qsizetype m_tagged = 0;
    qsizetype m_notFound = 0;
    qsizetype m_failed = 0;
    // Titles whose lookups could not reach the services (or were made without them), by whether the
    // built-in index filled something, had a record with nothing left to fill, or had none.
    qsizetype m_builtInFilled = 0;
    qsizetype m_builtInComplete = 0;
    qsizetype m_builtInNotFound = 0;
    int m_unreachableInARow = 0;
    bool m_webGivenUp = false;
    bool m_running = false;
    bool m_batchOpen = false;
    bool m_cancelRequested = false;
    // The context of the lookup under way; deleting it abandons the lookup.
    QPointer<QObject> m_lookup;
};
