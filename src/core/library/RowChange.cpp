#include "core/library/RowChange.h"

#include "core/library/TitleKeyIndex.h"

#include <QSet>

#include <algorithm>
#include <vector>

QList<RowIdentity> RowIdentity::of(const LibraryRows &rows, const TitleKeyIndex &titles,
                                   const QList<qsizetype> &positions)
{
    Q_ASSERT(titles.rowCount() == rows.size());
    QList<RowIdentity> identities(positions.size());
    // A row's identity key holds its title, so the rows that share it share its title key: the wanted
    // rows are grouped by title key (indexes into positions), each group in list order.
    QHash<QString, QList<qsizetype>> byTitle;
    for (qsizetype i = 0; i < positions.size(); ++i)
        byTitle[titles.keyOfRow(positions.at(i))].append(i);
    for (auto group = byTitle.begin(); group != byTitle.end(); ++group) {
        QList<qsizetype> &wanted = group.value();
        std::sort(wanted.begin(), wanted.end(),
                  [&positions](qsizetype a, qsizetype b) { return positions.at(a) < positions.at(b); });
        const qsizetype last = positions.at(wanted.back());
        QHash<QString, qsizetype> seen;
        qsizetype next = 0;
        const auto count = [&](qsizetype position) {
            QString key = rows.at(position).id();
            const qsizetype occurrence = seen[key]++;
            while (next < wanted.size() && positions.at(wanted.at(next)) == position)
                identities[wanted.at(next++)] = {key, occurrence};
        };
        if (!group.key().isEmpty()) {
            for (const qsizetype position : titles.rowsWithKey(group.key())) {
                if (position > last)
                    break;
                count(position);
            }
            continue;
        }
        // Titles without a key belong to no group: every row up to the last is looked at, and the key
        // made only of those on one of the wanted rows' pages (the key holds the page).
        QSet<qint64> pages;
        for (const qsizetype i : std::as_const(wanted))
            pages.insert(rows.at(positions.at(i)).pageNumber);
        for (qsizetype position = 0; position <= last; ++position) {
            if (pages.contains(rows.at(position).pageNumber))
                count(position);
        }
    }
    return identities;
}

RowChange RowChange::fields(const LibraryRows &before, const LibraryRows &after, const TitleKeyIndex &titles,
                            const QList<qsizetype> &positions)
{
    RowChange change;
    change.kind = Kind::fields;
    change.identities = RowIdentity::of(before, titles, positions);
    change.was.reserve(positions.size());
    change.now.reserve(positions.size());
    for (const qsizetype position : positions) {
        change.was.append(before.at(position));
        change.now.append(after.at(position));
    }
    return change;
}

RowChange RowChange::appended(const LibraryRows &rows, const TitleKeyIndex &titles, qsizetype from)
{
    QList<qsizetype> positions;
    positions.reserve(rows.size() - from);
    for (qsizetype position = from; position < rows.size(); ++position)
        positions.append(position);
    RowChange change;
    change.kind = Kind::appended;
    change.identities = RowIdentity::of(rows, titles, positions);
    change.now.reserve(positions.size());
    for (const qsizetype position : std::as_const(positions))
        change.now.append(rows.at(position));
    return change;
}

RowChange RowChange::removed(QList<RowIdentity> identities)
{
    RowChange change;
    change.kind = Kind::removed;
    change.identities = std::move(identities);
    return change;
}

RowChange RowChange::replacedBy(LibraryRows rows)
{
    RowChange change;
    change.kind = Kind::replaced;
    change.replacement = std::move(rows);
    return change;
}

namespace {

// Each field the change made differ, as it made it: what the other side changed in other fields stays.
void carryChangedFields(const BookmarkEntry &before, const BookmarkEntry &after, BookmarkEntry &row)
{
    const auto carry = [](const auto &was, const auto &now, auto &field) {
        if (!(was == now))
            field = now;
    };
    carry(before.pdfFileName, after.pdfFileName, row.pdfFileName);
    carry(before.pdfFilePath, after.pdfFilePath, row.pdfFilePath);
    carry(before.pageNumber, after.pageNumber, row.pageNumber);
    carry(before.title, after.title, row.title);
    carry(before.level, after.level, row.level);
    carry(before.pageSpan, after.pageSpan, row.pageSpan);
    carry(before.totalPages, after.totalPages, row.totalPages);
    carry(before.genre, after.genre, row.genre);
    carry(before.style, after.style, row.style);
    carry(before.firstReleaseYear, after.firstReleaseYear, row.firstReleaseYear);
    carry(before.composer, after.composer, row.composer);
    carry(before.tempo, after.tempo, row.tempo);
    carry(before.rating, after.rating, row.rating);
    carry(before.spotifyURL, after.spotifyURL, row.spotifyURL);
    carry(before.youtubeURL, after.youtubeURL, row.youtubeURL);
}

bool sameIdentityFields(const BookmarkEntry &a, const BookmarkEntry &b)
{
    return a.pdfFilePath == b.pdfFilePath && a.pageNumber == b.pageNumber && a.title == b.title;
}

} // namespace

bool RowReplay::make(const RowChange &change)
{
    switch (change.kind) {
    case RowChange::Kind::fields:
        return makeFields(change);
    case RowChange::Kind::appended:
        makeAppended(change);
        return true;
    case RowChange::Kind::removed:
        makeRemoved(change);
        return true;
    case RowChange::Kind::replaced:
        m_rows = change.replacement.toList();
        m_index.reset();
        // Only ever made on a version other than the one it replaced.
        return false;
    }
    return true;
}

RowReplay::KeyIndex &RowReplay::index()
{
    if (!m_index) {
        m_index.emplace();
        m_index->reserve(m_rows.size());
        for (qsizetype position = 0; position < m_rows.size(); ++position)
            (*m_index)[m_rows.at(position).id()].append(position);
    }
    return *m_index;
}

qsizetype RowReplay::find(const RowIdentity &identity)
{
    const KeyIndex &keys = index();
    const auto there = keys.constFind(identity.key);
    return there != keys.cend() && identity.occurrence < there->size() ? there->at(identity.occurrence) : -1;
}

void RowReplay::moveInIndex(qsizetype position, const QString &from, const QString &to)
{
    KeyIndex &keys = index();
    if (const auto was = keys.find(from); was != keys.end()) {
        if (const auto at = std::lower_bound(was->begin(), was->end(), position);
            at != was->end() && *at == position)
            was->erase(at);
        if (was->isEmpty())
            keys.erase(was);
    }
    QList<qsizetype> &now = keys[to];
    now.insert(std::lower_bound(now.begin(), now.end(), position) - now.begin(), position);
}

bool RowReplay::makeFields(const RowChange &change)
{
    // Every row is found before any changes: a changed key must not move another row's place.
    QList<qsizetype> targets;
    targets.reserve(change.identities.size());
    for (const RowIdentity &identity : change.identities)
        targets.append(find(identity));
    bool placed = true;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const BookmarkEntry &was = change.was.at(i);
        const BookmarkEntry &now = change.now.at(i);
        if (targets.at(i) < 0) {
            // Removed there: the row comes back as changed here, and the other version is kept.
            index()[now.id()].append(m_rows.size());
            m_rows.append(now);
            placed = false;
            continue;
        }
        BookmarkEntry &row = m_rows[targets.at(i)];
        if (sameIdentityFields(was, now)) {
            carryChangedFields(was, now, row);
            continue;
        }
        const QString from = row.id();
        carryChangedFields(was, now, row);
        if (QString to = row.id(); to != from)
            moveInIndex(targets.at(i), from, to);
    }
    return placed;
}

void RowReplay::makeAppended(const RowChange &change)
{
    KeyIndex &keys = index();
    for (qsizetype i = 0; i < change.identities.size(); ++i) {
        const RowIdentity &identity = change.identities.at(i);
        // A song the list has as often already (imported there too) is not added twice.
        QList<qsizetype> &held = keys[identity.key];
        if (held.size() > identity.occurrence)
            continue;
        held.append(m_rows.size());
        m_rows.append(change.now.at(i));
    }
}

void RowReplay::makeRemoved(const RowChange &change)
{
    std::vector<bool> goes(size_t(m_rows.size()), false);
    bool any = false;
    for (const RowIdentity &identity : change.identities) {
        if (const qsizetype position = find(identity); position >= 0)
            goes[size_t(position)] = any = true;
    }
    if (!any)
        return;
    qsizetype kept = 0;
    for (qsizetype position = 0; position < m_rows.size(); ++position) {
        if (goes[size_t(position)])
            continue;
        if (kept != position)
            m_rows[kept] = std::move(m_rows[position]);
        ++kept;
    }
    m_rows.resize(kept);
    m_index.reset();
}
