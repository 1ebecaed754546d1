#include "core/slotfiles/RowChange.h"

#include "core/titles/TitleKeyIndex.h"

#include <QVarLengthArray>

#include <algorithm>
#include <span>
#include <vector>

namespace {

// The identity keys met among the rows of one title, and how often: few, so kept in a short list,
// unless there are many.
class KeyCounts {
public:
    qsizetype next(const QString &key)
    {
        if (m_many.isEmpty()) {
            for (auto &[seen, count] : m_few) {
                if (seen == key)
                    return count++;
            }
            if (m_few.size() < 16) {
                m_few.append({key, 1});
                return 0;
            }
            for (const auto &[seen, count] : std::as_const(m_few))
                m_many.insert(seen, count);
        }
        return m_many[key]++;
    }

private:
    QVarLengthArray<std::pair<QString, qsizetype>, 16> m_few;
    QHash<QString, qsizetype> m_many;
};

struct Wanted {
    qsizetype title;
    qsizetype position;
    qsizetype index; // in the positions asked for
};

// The identities of the wanted rows of one title (in list order), counting the rows of the title
// before them: only those on one of their pages, as the key holds the page.
void identifyTitle(const LibraryRows &rows, const TitleKeyIndex &titles, std::span<const Wanted> wanted,
                   QList<RowIdentity> &identities)
{
    const qsizetype title = wanted.front().title;
    QVarLengthArray<qint64, 16> pages;
    bool everyPage = false; // many pages: every row is looked at
    for (const Wanted &row : wanted) {
        if (const qint64 page = rows.at(row.position).pageNumber; !pages.contains(page)) {
            everyPage = pages.size() == 64;
            if (everyPage)
                break;
            pages.append(page);
        }
    }
    KeyCounts counts;
    size_t next = 0;
    const auto visit = [&](qsizetype position) {
        const bool isWanted = wanted[next].position == position;
        if (!isWanted && !everyPage && !pages.contains(rows.at(position).pageNumber))
            return;
        const QString key = rows.at(position).id();
        const qsizetype occurrence = counts.next(key);
        while (next < wanted.size() && wanted[next].position == position)
            identities[wanted[next++].index] = {key, occurrence};
    };
    if (title != TitleKeyIndex::noTitle) {
        for (const qsizetype position : titles.rows(title)) {
            visit(position);
            if (next == wanted.size())
                return;
        }
        return;
    }
    // Titles without a key belong to no title: every row up to the last wanted one is looked at.
    for (qsizetype position = 0; next < wanted.size(); ++position)
        visit(position);
}

// Calls f(bit, member) for each of the fifteen fields, in SongRecord's order.
template <typename F> void forEachField(F &&f)
{
    f(0, &SongRecord::pdfFileName);
    f(1, &SongRecord::pdfFilePath);
    f(2, &SongRecord::pageNumber);
    f(3, &SongRecord::title);
    f(4, &SongRecord::level);
    f(5, &SongRecord::pageSpan);
    f(6, &SongRecord::totalPages);
    f(7, &SongRecord::genre);
    f(8, &SongRecord::style);
    f(9, &SongRecord::firstReleaseYear);
    f(10, &SongRecord::composer);
    f(11, &SongRecord::tempo);
    f(12, &SongRecord::rating);
    f(13, &SongRecord::spotifyURL);
    f(14, &SongRecord::youtubeURL);
}

// The fields the identity key is made of: path, page and title.
constexpr quint16 identityFields = (1u << 1) | (1u << 2) | (1u << 3);

// The fields of bits, as from has them: what the other side changed in other fields stays.
void carryFields(quint16 bits, const BookmarkEntry &from, BookmarkEntry &row)
{
    forEachField([&](int bit, auto member) {
        if (bits & (1u << bit))
            row.*member = from.*member;
    });
}

} // namespace

QList<RowIdentity> RowIdentity::of(const LibraryRows &rows, const TitleKeyIndex &titles,
                                   const QList<qsizetype> &positions)
{
    Q_ASSERT(titles.rowCount() == rows.size());
    QList<RowIdentity> identities(positions.size());
    // A row's identity key holds its title, so the rows that share it share its title: the wanted rows
    // are taken title by title, each title's in list order.
    std::vector<Wanted> wanted;
    wanted.reserve(size_t(positions.size()));
    for (qsizetype i = 0; i < positions.size(); ++i)
        wanted.push_back({titles.titleOfRow(positions.at(i)), positions.at(i), i});
    std::sort(wanted.begin(), wanted.end(), [](const Wanted &a, const Wanted &b) {
        return a.title != b.title ? a.title < b.title : a.position < b.position;
    });
    for (auto begin = wanted.cbegin(); begin != wanted.cend();) {
        const auto end = std::find_if(
            begin, wanted.cend(), [title = begin->title](const Wanted &row) { return row.title != title; });
        identifyTitle(rows, titles, std::span<const Wanted>(begin, end), identities);
        begin = end;
    }
    return identities;
}

quint16 RowChange::changedFields(const BookmarkEntry &a, const BookmarkEntry &b)
{
    quint16 bits = 0;
    forEachField([&](int bit, auto member) {
        if (!(a.*member == b.*member))
            bits |= quint16(1u << bit);
    });
    return bits;
}

RowChange RowChange::changed(const LibraryRows &before, const LibraryRows &after, const TitleKeyIndex &titles,
                             const QList<qsizetype> &positions)
{
    RowChange change;
    change.kind = Kind::fields;
    change.identities = RowIdentity::of(before, titles, positions);
    change.rows.reserve(positions.size());
    change.fields.reserve(positions.size());
    for (const qsizetype position : positions) {
        change.rows.append(after.at(position));
        change.fields.append(changedFields(before.at(position), after.at(position)));
    }
    return change;
}

RowChange RowChange::before(const LibraryRows &rows, const TitleKeyIndex &titles,
                            const QList<qsizetype> &positions)
{
    RowChange change;
    change.kind = Kind::fields;
    change.identities = RowIdentity::of(rows, titles, positions);
    change.rows.reserve(positions.size());
    for (const qsizetype position : positions)
        change.rows.append(rows.at(position));
    return change;
}

void RowChange::noteAfter(const LibraryRows &rows, const QList<qsizetype> &positions)
{
    fields.resize(positions.size());
    for (qsizetype i = 0; i < positions.size(); ++i) {
        const BookmarkEntry &now = rows.at(positions.at(i));
        fields[i] = changedFields(this->rows.at(i), now);
        this->rows[i] = now;
    }
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
    change.rows.reserve(positions.size());
    for (const qsizetype position : std::as_const(positions))
        change.rows.append(rows.at(position));
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
        const BookmarkEntry &now = change.rows.at(i);
        const quint16 bits = change.fields.at(i);
        if (targets.at(i) < 0) {
            // Removed there: the row comes back as changed here, and the other version is kept.
            index()[now.id()].append(m_rows.size());
            m_rows.append(now);
            placed = false;
            continue;
        }
        BookmarkEntry &row = m_rows[targets.at(i)];
        if (!(bits & identityFields)) {
            carryFields(bits, now, row);
            continue;
        }
        const QString from = row.id();
        carryFields(bits, now, row);
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
        m_rows.append(change.rows.at(i));
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
