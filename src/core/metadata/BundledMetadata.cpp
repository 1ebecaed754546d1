#include "core/metadata/BundledMetadata.h"

#include "core/bookmarks/BookmarkEntry.h"
#include "core/bookmarks/LibraryRows.h"
#include "core/common/UiText.h"
#include "core/titles/TitleKeyIndex.h"

#include <QFile>

namespace {

const QString listSeparator = QStringLiteral(", ");

QString joined(const std::optional<QStringList> &list)
{
    return list ? list->join(listSeparator) : QString();
}

bool hasMembers(const std::optional<QStringList> &list)
{
    return list && !list->isEmpty();
}

bool hasText(const std::optional<QString> &text)
{
    return text && !text->isEmpty();
}

template <typename T> bool assign(T &field, T value)
{
    if (field == value)
        return false;
    field = std::move(value);
    return true;
}

} // namespace

namespace BundledMetadata {

Result<TitleMetadataIndex::RecordMap> loadFile(const QString &path)
{
    using Failure = Result<TitleMetadataIndex::RecordMap>;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure::failure(UiText::tr("Failed to load metadata: %1").arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Failure::failure(UiText::tr("Failed to load metadata: %1").arg(file.errorString()));
    Result<TitleMetadataIndex::RecordMap> records = TitleMetadataIndex::decodeRecordMap(bytes);
    if (!records)
        return Failure::failure(UiText::tr("Failed to parse metadata"));
    return records;
}

bool apply(const TitleMetadataRecord &record, Rule rule, BookmarkEntry &row)
{
    bool changed = false;
    if (rule == Rule::overwrite) {
        changed |= assign(row.genre, joined(record.genres));
        changed |= assign(row.style, joined(record.styles));
        changed |= assign(row.firstReleaseYear, record.firstReleaseYear);
        changed |= assign(row.tempo, record.tempo.value_or(QString()));
        changed |= assign(row.rating, record.rating);
        return changed;
    }
    if (row.genre.isEmpty() && hasMembers(record.genres))
        changed |= assign(row.genre, joined(record.genres));
    if (row.style.isEmpty() && hasMembers(record.styles))
        changed |= assign(row.style, joined(record.styles));
    if (!row.firstReleaseYear)
        changed |= assign(row.firstReleaseYear, record.firstReleaseYear);
    if (row.composer.isEmpty() && hasText(record.composer))
        changed |= assign(row.composer, *record.composer);
    if (row.tempo.isEmpty() && hasText(record.tempo))
        changed |= assign(row.tempo, *record.tempo);
    if (!row.rating && record.rating)
        changed |= assign(row.rating, record.rating);
    return changed;
}

SlotMetadataJob::Change applyToRows(LibraryRows &rows, const TitleKeyIndex &titles,
                                    const TitleMetadataIndex::RecordMap &records, Rule rule)
{
    SlotMetadataJob::Change change;
    if (records.isEmpty())
        return change;
    // One lookup per title, not per row: a song found in several books is looked up once.
    for (qsizetype title = 0; title < titles.titleCount(); ++title) {
        const auto record = records.constFind(titles.key(title));
        if (record == records.cend())
            continue;
        for (const qsizetype position : titles.rows(title)) {
            ++change.matched;
            BookmarkEntry row = rows.at(position);
            if (apply(*record, rule, row)) {
                // Only the blocks of changed rows are copied.
                rows.edit(position) = std::move(row);
                change.positions.append(position);
            }
        }
    }
    return change;
}

} // namespace BundledMetadata
