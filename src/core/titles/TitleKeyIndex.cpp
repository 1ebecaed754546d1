#include "core/titles/TitleKeyIndex.h"

#include "core/titles/TitleMetadataIndex.h"

TitleKeyIndex::TitleKeyIndex(const LibraryRows &rows, const BuildProgress *progress)
{
    QHash<QString, int> seenTitles;
    m_keyOfRow.reserve(rows.size());
    for (const BookmarkEntry &row : rows) {
        if (m_keyOfRow.size() % cancelCheckRows == 0 && isCancelled(progress))
            return;
        m_keyOfRow.push_back(keyId(row.title, seenTitles));
    }
    group();
}

int TitleKeyIndex::keyId(const QString &title, QHash<QString, int> &seenTitles)
{
    // A library names few titles many times over: each distinct one is normalised once.
    const auto seen = seenTitles.constFind(title);
    if (seen != seenTitles.cend())
        return *seen;
    const QString key = TitleMetadataIndex::normalizedTitleKey(title);
    int id = -1;
    if (!key.isEmpty()) {
        auto known = m_keyIds.constFind(key);
        if (known == m_keyIds.cend()) {
            known = m_keyIds.insert(key, int(m_keyNames.size()));
            m_keyNames.append(key);
        }
        id = *known;
    }
    seenTitles.insert(title, id);
    return id;
}

void TitleKeyIndex::group()
{
    m_titleKey.clear();
    m_titleOfKey.assign(m_keyNames.size(), noTitle);
    std::vector<qsizetype> counts;
    for (const int key : m_keyOfRow) {
        if (key < 0)
            continue;
        qsizetype &title = m_titleOfKey[key];
        if (title == noTitle) {
            title = qsizetype(m_titleKey.size());
            m_titleKey.push_back(key);
            counts.push_back(0);
        }
        ++counts[title];
    }
    m_start.assign(m_titleKey.size() + 1, 0);
    for (size_t t = 0; t < m_titleKey.size(); ++t)
        m_start[t + 1] = m_start[t] + counts[t];
    m_rows.assign(m_start.back(), 0);
    std::vector<qsizetype> next(m_start.begin(), m_start.end() - 1);
    for (size_t position = 0; position < m_keyOfRow.size(); ++position) {
        if (m_keyOfRow[position] >= 0)
            m_rows[next[m_titleOfKey[m_keyOfRow[position]]]++] = qsizetype(position);
    }
}

std::span<const qsizetype> TitleKeyIndex::rows(qsizetype title) const
{
    return std::span<const qsizetype>(m_rows.data() + m_start[title],
                                      size_t(m_start[title + 1] - m_start[title]));
}

QString TitleKeyIndex::keyOfRow(qsizetype position) const
{
    if (position < 0 || position >= rowCount() || m_keyOfRow[position] < 0)
        return QString();
    return m_keyNames.at(m_keyOfRow[position]);
}

qsizetype TitleKeyIndex::titleOf(const QString &key) const
{
    const auto found = m_keyIds.constFind(key);
    return found == m_keyIds.cend() ? noTitle : m_titleOfKey[*found];
}

std::span<const qsizetype> TitleKeyIndex::rowsWithKey(const QString &key) const
{
    const qsizetype title = titleOf(key);
    return title == noTitle ? std::span<const qsizetype>() : rows(title);
}

TitleKeyIndex TitleKeyIndex::retitled(const QList<qsizetype> &positions, const LibraryRows &rows) const
{
    TitleKeyIndex next = *this;
    QHash<QString, int> seenTitles;
    for (const qsizetype position : positions) {
        if (position >= 0 && position < next.rowCount())
            next.m_keyOfRow[position] = next.keyId(rows.at(position).title, seenTitles);
    }
    next.group();
    return next;
}

TitleKeyIndex TitleKeyIndex::withoutRows(const QList<qsizetype> &positions) const
{
    TitleKeyIndex next = *this;
    qsizetype removed = 0;
    qsizetype kept = 0;
    for (qsizetype position = 0; position < rowCount(); ++position) {
        if (removed < positions.size() && positions.at(removed) == position) {
            ++removed;
            continue;
        }
        next.m_keyOfRow[kept++] = m_keyOfRow[position];
    }
    next.m_keyOfRow.resize(kept);
    next.group();
    return next;
}

TitleKeyIndex TitleKeyIndex::appended(const LibraryRows &rows, qsizetype from) const
{
    TitleKeyIndex next = *this;
    QHash<QString, int> seenTitles;
    for (qsizetype position = from; position < rows.size(); ++position)
        next.m_keyOfRow.push_back(next.keyId(rows.at(position).title, seenTitles));
    next.group();
    return next;
}
