#include "core/search/LibrarySearch.h"

#include "core/text/TextUtils.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace {

bool isWordCharacter(char32_t c)
{
    // Marks count with the letters: a vowel sign or a decomposed accent ends many a word.
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

bool isTitleSeparator(QChar c)
{
    switch (c.unicode()) {
    case u',':
    case u';':
    case u'/':
    case u'-':
    case 0x2013: // en dash
    case 0x2014: // em dash
        return true;
    default:
        return c.isSpace();
    }
}

// Blanks and tabs split the query; line breaks do not.
bool isQuerySeparator(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

// The code point that starts at i, and the number of units it takes.
std::pair<char32_t, int> codePointAt(QStringView text, qsizetype i)
{
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(text[i], text[i + 1]), 2};
    return {text[i].unicode(), 1};
}

// The code point that ends just before end, and the number of units it takes.
std::pair<char32_t, int> codePointBefore(QStringView text, qsizetype end)
{
    if (text[end - 1].isLowSurrogate() && end >= 2 && text[end - 2].isHighSurrogate())
        return {QChar::surrogateToUcs4(text[end - 2], text[end - 1]), 2};
    return {text[end - 1].unicode(), 1};
}

// Start and length of each title word in a title already in search form.
std::vector<std::pair<int, int>> wordSpans(QStringView form)
{
    std::vector<std::pair<int, int>> spans;
    qsizetype pieceStart = 0;
    for (qsizetype i = 0; i <= form.size(); ++i) {
        if (i < form.size() && !isTitleSeparator(form[i]))
            continue;
        qsizetype start = pieceStart;
        qsizetype end = i;
        while (start < end) {
            const auto [c, units] = codePointAt(form, start);
            if (isWordCharacter(c))
                break;
            start += units;
        }
        while (end > start) {
            const auto [c, units] = codePointBefore(form, end);
            if (isWordCharacter(c))
                break;
            end -= units;
        }
        if (end > start)
            spans.emplace_back(int(start), int(end - start));
        pieceStart = i + 1;
    }
    return spans;
}

// The file name a bookmark is found by: its PDF file name, or, without one, its path less the last
// extension.
QString fileNameForSearch(const BookmarkEntry &entry)
{
    if (!entry.pdfFileName.isEmpty())
        return entry.pdfFileName;
    const QString &path = entry.pdfFilePath;
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    // A leading dot names a hidden file rather than starting an extension.
    return dot > slash + 1 ? path.left(dot) : path;
}

QString rawTagText(const BookmarkEntry &entry)
{
    return entry.composer + u' ' + entry.genre + u' ' + entry.style + u' ' + entry.tempo;
}

bool containsAll(const QString &text, const QStringList &words)
{
    if (text.isEmpty())
        return false;
    for (const QString &word : words) {
        if (!text.contains(word))
            return false;
    }
    return true;
}

} // namespace

namespace LibrarySearch {

QString normalizeForSearch(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        switch (c.unicode()) {
        case 0x2019:
        case 0x2018:
        case 0x201B:
        case 0x2032:
            c = u'\'';
            break;
        default:
            break;
        }
    }
    return result;
}

QString searchForm(const QString &text)
{
    return TextUtils::nfc(normalizeForSearch(text)).toLower();
}

SearchQuery parseSearchQuery(const QString &text)
{
    static const QRegularExpression phrasePattern(QStringLiteral("\"([^\"]+)\""));
    SearchQuery query;
    QString rest = text;
    if (phrasePattern.isValid()) {
        QList<QRegularExpressionMatch> matches;
        for (auto it = phrasePattern.globalMatch(text); it.hasNext();)
            matches.append(it.next());
        // From the last match back, so that the earlier positions stay valid while matches go.
        for (auto match = matches.crbegin(); match != matches.crend(); ++match) {
            const QString phrase = searchForm(TextUtils::trimmed(match->captured(1)));
            if (!phrase.isEmpty())
                query.exactTitlePhrases.prepend(phrase);
            rest.remove(match->capturedStart(0), match->capturedLength(0));
        }
    }
    qsizetype pieceStart = 0;
    for (qsizetype i = 0; i <= rest.size(); ++i) {
        if (i < rest.size() && !isQuerySeparator(rest[i]))
            continue;
        const QString word = searchForm(TextUtils::trimmed(rest.mid(pieceStart, i - pieceStart)));
        if (!word.isEmpty())
            query.words.append(word);
        pieceStart = i + 1;
    }
    return query;
}

QStringList titleWordsForSearch(const QString &title)
{
    const QString form = searchForm(title);
    QStringList words;
    for (const auto &[start, length] : wordSpans(form))
        words.append(form.mid(start, length));
    return words;
}

QString tagTextForSearch(const BookmarkEntry &entry)
{
    return searchForm(rawTagText(entry));
}

BookmarkList runFilter(const BookmarkList &bookmarks, qsizetype startIndex, qsizetype count,
                       const SearchQuery &query)
{
    return LibrarySearchIndex(bookmarks, startIndex, count).runFilter(query);
}

QList<qsizetype> runFilter(const LibraryRows &rows, qsizetype startIndex, qsizetype count,
                           const SearchQuery &query)
{
    return LibrarySearchIndex(rows, startIndex, count).runFilterPositions(query);
}

} // namespace LibrarySearch

LibrarySearchIndex::LibrarySearchIndex(const BookmarkList &bookmarks, qsizetype startIndex, qsizetype count)
    : LibrarySearchIndex(LibraryRows(bookmarks), startIndex, count)
{
}

LibrarySearchIndex::LibrarySearchIndex(const LibraryRows &bookmarks, qsizetype startIndex, qsizetype count,
                                       const BuildProgress *progress)
    : m_bookmarks(bookmarks)
{
    using LibrarySearch::searchForm;
    m_start = std::clamp<qsizetype>(startIndex, 0, bookmarks.size());
    const qsizetype available = bookmarks.size() - m_start;
    const qsizetype end = m_start + (count < 0 ? available : std::min(count, available));
    m_rows.reserve(end - m_start);

    QHash<QString, int> titleIds;
    QHash<QString, int> fileIds;
    QHash<QString, int> tagIds;
    QStringList titleNames;
    // A library holds many songs of few books and few tag combinations: each distinct text is put
    // into search form once.
    const auto idOf = [](QHash<QString, int> &ids, const QString &raw, QStringList &forms) {
        auto found = ids.constFind(raw);
        if (found == ids.cend()) {
            found = ids.insert(raw, int(forms.size()));
            forms.append(searchForm(raw));
        }
        return *found;
    };
    for (qsizetype i = m_start; i < end; ++i) {
        if ((i - m_start) % cancelCheckRows == 0 && isCancelled(progress))
            return;
        const BookmarkEntry &entry = bookmarks.at(i);
        Row row;
        auto title = titleIds.constFind(entry.title);
        if (title == titleIds.cend()) {
            title = titleIds.insert(entry.title, int(m_titles.size()));
            Title prepared;
            prepared.form = searchForm(entry.title);
            prepared.words = wordSpans(prepared.form);
            m_titles.push_back(std::move(prepared));
            titleNames.append(entry.title);
        }
        row.title = *title;
        row.file = idOf(fileIds, fileNameForSearch(entry), m_files);
        row.tags = idOf(tagIds, rawTagText(entry), m_tags);
        m_rows.push_back(row);
    }
    // The order of the titles is needed only for their ranks: not kept with the index.
    const TextRanks titleOrder(titleNames, progress);
    if (isCancelled(progress))
        return;
    for (qsizetype id = 0; id < titleNames.size(); ++id)
        m_titles[id].rank = titleOrder.rank(titleNames.at(id)).value_or(0);
}

BookmarkList LibrarySearchIndex::runFilter(const SearchQuery &query) const
{
    const QList<qsizetype> positions = runFilterPositions(query);
    // Copied in library order, each into its place in the result: the library's rows and their texts
    // then come from memory in the order they lie there, which for a large result is markedly faster
    // than fetching them in result order.
    std::vector<qsizetype> placeOf(m_bookmarks.size(), -1);
    for (qsizetype place = 0; place < positions.size(); ++place)
        placeOf[positions.at(place)] = place;
    BookmarkList result(positions.size());
    BookmarkEntry *rows = result.data();
    for (qsizetype position = 0; position < qsizetype(placeOf.size()); ++position) {
        if (placeOf[position] >= 0)
            rows[placeOf[position]] = m_bookmarks.at(position);
    }
    return result;
}

QList<qsizetype> LibrarySearchIndex::runFilterPositions(const SearchQuery &query) const
{
    enum : qint8 { unknown, out, startsWords, holdsWords, lacksWords };
    const QStringList &words = query.words;
    const qsizetype wordCount = words.size();

    // Each distinct title, file name and tag text is tested once, when the first row needs it.
    std::vector<qint8> titleState(m_titles.size(), unknown);
    std::vector<int> keyStart(m_titles.size(), 0);
    std::vector<int> keys;
    std::vector<qint8> fileState(m_files.size(), unknown);
    std::vector<qint8> tagState(m_tags.size(), unknown);

    const auto evaluateTitle = [&](int id) {
        const Title &title = m_titles[id];
        for (const QString &phrase : query.exactTitlePhrases) {
            if (!title.form.contains(phrase))
                return out;
        }
        if (wordCount == 0)
            return holdsWords;
        const QStringView form(title.form);
        const int start = int(keys.size());
        for (const QString &word : words) {
            const auto found = std::find_if(title.words.cbegin(), title.words.cend(), [&](const auto &span) {
                return form.sliced(span.first, span.second).startsWith(word);
            });
            if (found == title.words.cend()) {
                keys.resize(start);
                return containsAll(title.form, words) ? holdsWords : lacksWords;
            }
            keys.push_back(int(found - title.words.cbegin()));
        }
        keyStart[id] = start;
        return startsWords;
    };
    const auto matches = [&words](std::vector<qint8> &state, const QStringList &forms, int id) {
        if (state[id] == unknown)
            state[id] = containsAll(forms.at(id), words) ? holdsWords : lacksWords;
        return state[id] == holdsWords;
    };

    std::vector<int> tierA, tierB, tierC;
    for (int k = 0; k < int(m_rows.size()); ++k) {
        const Row &row = m_rows[k];
        qint8 &state = titleState[row.title];
        if (state == unknown)
            state = evaluateTitle(row.title);
        if (state == out)
            continue;
        if (state == startsWords)
            tierA.push_back(k);
        else if (state == holdsWords || matches(fileState, m_files, row.file))
            tierB.push_back(k);
        else if (matches(tagState, m_tags, row.tags))
            tierC.push_back(k);
    }

    std::stable_sort(tierA.begin(), tierA.end(), [&](int a, int b) {
        const int *keyA = keys.data() + keyStart[m_rows[a].title];
        const int *keyB = keys.data() + keyStart[m_rows[b].title];
        return std::lexicographical_compare(keyA, keyA + wordCount, keyB, keyB + wordCount);
    });
    // Stable by title order: the row number breaks ties, so a plain sort of (rank, row) pairs packed
    // into one integer gives the same order without chasing each row's title while comparing.
    const auto sortByTitle = [this](std::vector<int> &tier) {
        std::vector<quint64> packed(tier.size());
        for (size_t i = 0; i < tier.size(); ++i)
            packed[i] = (quint64(quint32(m_titles[m_rows[tier[i]].title].rank)) << 32) | quint32(tier[i]);
        std::sort(packed.begin(), packed.end());
        for (size_t i = 0; i < tier.size(); ++i)
            tier[i] = int(packed[i] & 0xffffffffu);
    };
    sortByTitle(tierB);
    sortByTitle(tierC);

    QList<qsizetype> result;
    result.reserve(qsizetype(tierA.size() + tierB.size() + tierC.size()));
    for (const std::vector<int> *tier : {&tierA, &tierB, &tierC}) {
        for (int k : *tier)
            result.append(m_start + k);
    }
    return result;
}
