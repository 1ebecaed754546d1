#pragma once

#include "core/common/Result.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What the built-in metadata file says about one title. Read from JSON only, never written.
struct TitleMetadataRecord {
    QString title;
    std::optional<QStringList> genres;
    std::optional<QStringList> styles;
    std::optional<qint64> firstReleaseYear;
    std::optional<QString> composer;
    std::optional<QString> tempo;
    std::optional<qint64> popularity;
    std::optional<double> rating;

    bool operator==(const TitleMetadataRecord &) const = default;
};

// The built-in metadata file, loaded once per process and looked up by normalised title. Safe on any
// thread: one lock guards the loaded state, and a lookup during the first load waits for it.
namespace TitleMetadataIndex {

// The key by which titles are matched across the application: lower case, trimmed, inner white
// space collapsed, and a leading "the", a trailing ", the" or a final "(the)" dropped.
QString normalizedTitleKey(const QString &title);

// Records by normalised title key; of two records with the same key the first in the file is kept.
using RecordMap = QHash<QString, TitleMetadataRecord>;

// Where the built-in metadata file is, or nothing when the application carries none.
std::optional<QString> bundledFilePath();

// The records of a metadata file's bytes by key; records without a key are left out. Safe on any
// thread.
Result<RecordMap> decodeRecordMap(const QByteArray &bytes);

// Every built-in record, loaded on first use; empty when the file could not be loaded. The copy shares
// the index's data and costs nothing.
RecordMap records();

// The built-in record for a title, or nothing. Loads the file on first use.
std::optional<TitleMetadataRecord> metadataForDisplayTitle(const QString &title);

// The same for a key that normalizedTitleKey() gave, for callers that keep the keys of a library
// instead of normalising a title on every lookup.
std::optional<TitleMetadataRecord> metadataForKey(const QString &key);

// Loads the file on the global thread pool and then calls completion on the main thread; read
// loadError() there to learn of a failure.
void preload(std::function<void()> completion);

// Why the load failed, or nothing when it succeeded or has not run yet.
std::optional<QString> loadError();

// Forgets the loaded file so that the next lookup loads again. Tests only: the application loads
// the file once.
void resetForTesting();

} // namespace TitleMetadataIndex
