#pragma once

#include "FuzzSupport.h"
#include "core/metadata/MetadataImport.h"

// Applies records to a library that holds a title twice, a title in decomposed form and a book with
// several pages, and checks that each found bookmark is still the same song.
inline void checkApplied(const QList<MetadataRecord> &records)
{
    const auto song = [](const char *book, qint64 page, const QString &title) {
        BookmarkEntry entry;
        entry.pdfFileName = QString::fromUtf8(book);
        entry.pdfFilePath = QStringLiteral("/books/") + entry.pdfFileName;
        entry.pageNumber = page;
        entry.title = title;
        entry.pageSpan = 1;
        return entry;
    };
    const BookmarkList before{
        song("Realbook.pdf", 1, QStringLiteral("Autumn Leaves")),
        song("Realbook.pdf", 7, QStringLiteral("Blue Train")),
        song("Standards.pdf", 3, QStringLiteral("Autumn Leaves")),
        song("Standards.pdf", 9, QString::fromUtf8("Cafe\xcc\x81 Society")),
    };
    BookmarkList after = before;
    const int found = MetadataImport::applyRecords(records, after);
    FUZZ_CHECK(found >= 0 && found <= records.size());
    FUZZ_CHECK(after.size() == before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        FUZZ_CHECK(after[i].id() == before[i].id());
}
