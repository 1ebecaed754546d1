#pragma once

#include "core/slots/SlotMetadataJob.h"
#include "core/titles/TitleMetadataIndex.h"

struct BookmarkEntry;
class TitleKeyIndex;

// The built-in title metadata applied to the rows of a library, matched by normalised title key. Safe
// on any thread.
namespace BundledMetadata {

enum class Rule {
    // The DEFAULT library mode: genre, style, year, tempo and rating become the record's, emptied
    // where the record has none; the composer is left alone.
    overwrite,
    // Fills only what is empty or absent, the composer included, and only with what the record has.
    fillEmpty,
};

// The records of a metadata file. A failure's message is the status line's: "Failed to load
// metadata: " and the reason for a file that cannot be read, "Failed to parse metadata" for one that
// cannot be decoded.
Result<TitleMetadataIndex::RecordMap> loadFile(const QString &path);

// Writes what the rule takes from the record into row; whether anything changed.
bool apply(const TitleMetadataRecord &record, Rule rule, BookmarkEntry &row);

// Applies the records to every row whose title has one; every such row counts as matched, whether or
// not it changed.
SlotMetadataJob::Change applyToRows(LibraryRows &rows, const TitleKeyIndex &titles,
                                    const TitleMetadataIndex::RecordMap &records, Rule rule);

} // namespace BundledMetadata
