#pragma once

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

// The built-in record for a title, or nothing. Loads the file on first use.
std::optional<TitleMetadataRecord> metadataForDisplayTitle(const QString &title);

// Loads the file on the global thread pool and then calls completion on the main thread; read
// loadError() there to learn of a failure.
void preload(std::function<void()> completion);

// Why the load failed, or nothing when it succeeded or has not run yet.
std::optional<QString> loadError();

// Forgets the loaded file so that the next lookup loads again. Tests only: the application loads
// the file once.
void resetForTesting();

} // namespace TitleMetadataIndex
