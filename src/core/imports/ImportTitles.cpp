#include "core/imports/ImportTitles.h"

#include "core/metadata/BundledMetadata.h"
#include "core/slotfiles/SlotStore.h"
#include "core/text/TextUtils.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QSet>

#include <algorithm>

namespace {

QStringList uniqueAgainst(const QStringList &titles, QSet<QString> used)
{
    QStringList unique;
    unique.reserve(titles.size());
    for (const QString &title : titles) {
        const QString trimmed = TextUtils::trimmed(title);
        QString candidate = trimmed;
        for (qint64 n = 2; used.contains(candidate.toLower()); ++n)
            candidate = trimmed + QLatin1Char(' ') + QString::number(n);
        used.insert(candidate.toLower());
        unique.append(candidate);
    }
    return unique;
}

} // namespace

namespace ImportTitles {

QStringList uniqueTitles(const QStringList &titles, const QString &bookName, const BookmarkList &slotRows)
{
    const QString withExtension = bookName + QStringLiteral(".pdf");
    QSet<QString> used;
    for (const BookmarkEntry &row : slotRows) {
        if (row.pdfFileName == bookName || row.pdfFileName == withExtension)
            used.insert(TextUtils::trimmed(row.title).toLower());
    }
    return uniqueAgainst(titles, std::move(used));
}

QStringList uniqueSingleImportTitles(const QStringList &titles, const BookmarkList &slotRows)
{
    QSet<QString> used;
    for (const BookmarkEntry &row : slotRows) {
        if (SlotStore::isCustomSingle(row))
            used.insert(TextUtils::trimmed(row.title).toLower());
    }
    return uniqueAgainst(titles, std::move(used));
}

QString defaultCustomBookName(const QStringList &bookNames)
{
    // Many songs share a book: each name is looked at once.
    const QSet<QString> names(bookNames.begin(), bookNames.end());
    for (qint64 n = 1;; ++n) {
        const QString candidate = QStringLiteral("Custom Book ") + QString::number(n);
        const bool taken = std::any_of(names.begin(), names.end(), [&](const QString &name) {
            return name.contains(candidate, Qt::CaseInsensitive);
        });
        if (!taken)
            return candidate;
    }
}

void autofillMetadata(BookmarkList &rows)
{
    for (BookmarkEntry &row : rows) {
        if (const std::optional<TitleMetadataRecord> record =
                TitleMetadataIndex::metadataForDisplayTitle(row.title))
            BundledMetadata::apply(*record, BundledMetadata::Rule::fillEmpty, row);
    }
}

} // namespace ImportTitles
