#include "core/autoplaylist/AutoPlaylistGenerator.h"

#include "core/common/UiText.h"
#include "core/text/TextUtils.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace {

using Record = TitleMetadataRecord;
constexpr qsizetype noEntry = -1;

QStringList lowerCased(const std::optional<QStringList> &texts, bool trim)
{
    QStringList result;
    for (const QString &text : texts.value_or(QStringList()))
        result.append(trim ? TextUtils::trimmed(text.toLower()) : text.toLower());
    return result;
}

// The position of the first term, in the order given, that one of the values contains (both lower
// case); -1 when nothing matches.
qsizetype firstMatchingTerm(const std::optional<QStringList> &values, const QStringList &terms)
{
    if (!values || terms.isEmpty())
        return -1;
    QStringList lowerValues;
    for (const QString &value : *values)
        lowerValues.append(value.toLower());
    for (qsizetype t = 0; t < terms.size(); ++t) {
        for (const QString &value : std::as_const(lowerValues)) {
            if (value.contains(terms[t]))
                return t;
        }
    }
    return -1;
}

bool containsAnyTerm(const std::optional<QString> &value, const QStringList &terms)
{
    if (!value)
        return false;
    const QString lower = value->toLower();
    return std::any_of(terms.begin(), terms.end(), [&](const QString &term) { return lower.contains(term); });
}

void shuffle(QList<qsizetype> &keys, QRandomGenerator &random)
{
    for (qsizetype i = keys.size() - 1; i > 0; --i)
        std::swap(keys[i], keys[qsizetype(random.bounded(quint32(i + 1)))]);
}

// Keeps count keys drawn at random, in random order: what shuffling all of them and keeping the
// first count gives, without touching the rest.
void keepRandomSample(QList<qsizetype> &keys, qint64 count, QRandomGenerator &random)
{
    const qsizetype kept = qsizetype(std::min<qint64>(count, keys.size()));
    for (qsizetype i = 0; i < kept; ++i)
        std::swap(keys[i], keys[i + qsizetype(random.bounded(quint32(keys.size() - i)))]);
    keys.resize(kept);
}

// What the phases of one generation need to know of a title's built-in record, looked up once.
struct TitleFacts {
    bool known = false;
    bool hasRecord = false;
    bool passesFilters = false;
    qsizetype genreTerm = -1;
    qsizetype styleTerm = -1;
    qsizetype tempoBucket = AutoPlaylistGenerator::tempoSymbols.size() - 1; // the empty symbol
};

class Generation {
public:
    Generation(const AutoPlaylistGenerator::TitleIndex &library, const AutoPlaylistGenerator::Params &params,
               QRandomGenerator &random)
        : m_library(library), m_params(params), m_random(random), m_genres(lowerCased(params.genres, false)),
          m_styles(lowerCased(params.styles, false)), m_composers(lowerCased(params.composers, false)),
          m_tempo(params.tempo.value_or(QString()).toLower()),
          m_popularity(AutoPlaylistGenerator::parsePopularity(params.popularity))
    {
        const qint64 perSet = std::max<qint64>(1, params.titlesPerSet);
        const qint64 sets = std::max<qint64>(1, params.setCount);
        m_total = perSet > std::numeric_limits<qint64>::max() / sets ? std::numeric_limits<qint64>::max()
                                                                     : perSet * sets;
    }

    Result<BookmarkList> run()
    {
        chooseRepresentatives();
        QList<qsizetype> candidates;
        for (qsizetype title = 0; title < m_library.titleCount(); ++title) {
            if (m_representative[title] != noEntry && (!hasFilters() || facts(title).passesFilters))
                candidates.append(title);
        }
        if (candidates.isEmpty())
            return Result<BookmarkList>::failure(
                UiText::tr("No titles match the given filters or selected books."),
                AutoPlaylistGenerator::noMatchingTitlesError);

        QList<qsizetype> selection =
            m_genres.isEmpty() && m_styles.isEmpty() ? randomSample(candidates) : selectByGroups(candidates);
        if (!m_params.tempoFormula.value_or(QString()).isEmpty())
            selection = orderByTempo(selection);

        // Keys are distinct by construction, so nothing repeats here.
        BookmarkList result;
        result.reserve(selection.size());
        for (qsizetype title : std::as_const(selection))
            result.append(m_library.bookmarks().at(m_representative[title]));
        if (result.isEmpty())
            return Result<BookmarkList>::failure(UiText::tr("Could not generate playlist items."),
                                                 AutoPlaylistGenerator::noItemsError);
        return result;
    }

private:
    // The index is loaded once and never changes during a generation, so one lookup per title serves
    // the filter, the grouping and the tempo order alike.
    const TitleFacts &facts(qsizetype title)
    {
        TitleFacts &f = m_facts[title];
        if (f.known)
            return f;
        f.known = true;
        const std::optional<Record> record = TitleMetadataIndex::metadataForKey(m_library.key(title));
        if (!record)
            return f;
        f.hasRecord = true;
        f.genreTerm = firstMatchingTerm(record->genres, m_genres);
        f.styleTerm = firstMatchingTerm(record->styles, m_styles);
        f.passesFilters = passesFilters(*record, f);
        f.tempoBucket =
            AutoPlaylistGenerator::tempoSymbols.indexOf(AutoPlaylistGenerator::tempoToSymbol(record->tempo));
        return f;
    }

    // For each title the entry that represents it: among the entries from allowed books, the one from
    // the book named first in the priority list, else the first in library order; none when no
    // entry comes from an allowed book. Decided per book, since a library has far fewer books than
    // entries.
    void chooseRepresentatives()
    {
        const QStringList allowed = lowerCased(m_params.allowedBooks, true);
        const QStringList priority = lowerCased(m_params.bookPriority, true);
        const QStringList &books = m_library.lowerCaseBookNames();
        std::vector<bool> bookAllowed(books.size(), true);
        std::vector<qsizetype> bookRank(books.size(), std::numeric_limits<qsizetype>::max());
        for (qsizetype book = 0; book < books.size(); ++book) {
            if (!allowed.isEmpty())
                bookAllowed[book] = std::any_of(allowed.begin(), allowed.end(), [&](const QString &name) {
                    return books[book].contains(name);
                });
            const qsizetype rank = priority.indexOf(books[book]);
            if (rank >= 0)
                bookRank[book] = rank;
        }

        m_representative.assign(m_library.titleCount(), noEntry);
        m_facts.assign(m_library.titleCount(), TitleFacts());
        for (qsizetype title = 0; title < m_library.titleCount(); ++title) {
            qsizetype bestRank = std::numeric_limits<qsizetype>::max();
            for (qsizetype position : m_library.entries(title)) {
                const qsizetype book = m_library.bookOf(position);
                if (!bookAllowed[book])
                    continue;
                if (m_representative[title] == noEntry || bookRank[book] < bestRank) {
                    m_representative[title] = position;
                    bestRank = bookRank[book];
                }
            }
        }
    }

    bool hasFilters() const
    {
        return !m_genres.isEmpty() || !m_styles.isEmpty() || !m_tempo.isEmpty() || !m_composers.isEmpty() ||
               m_popularity.first || m_popularity.second || m_params.yearMin || m_params.yearMax;
    }

    bool passesFilters(const Record &record, const TitleFacts &f) const
    {
        const auto &year = record.firstReleaseYear;
        if (year && ((m_params.yearMin && *year < *m_params.yearMin) ||
                     (m_params.yearMax && *year > *m_params.yearMax)))
            return false;
        if ((!m_genres.isEmpty() && f.genreTerm < 0) || (!m_styles.isEmpty() && f.styleTerm < 0))
            return false;
        if (!m_tempo.isEmpty() && !AutoPlaylistGenerator::tempoMatches(m_tempo, record.tempo))
            return false;
        if (!m_composers.isEmpty() && !containsAnyTerm(record.composer, m_composers))
            return false;
        const auto &[low, high] = m_popularity;
        if (low || high) {
            const auto &popularity = record.popularity;
            if (!popularity || (low && *popularity < *low) || (high && *popularity > *high))
                return false;
        }
        return true;
    }

    QList<qsizetype> randomSample(QList<qsizetype> keys)
    {
        keepRandomSample(keys, m_total, m_random);
        return keys;
    }

    // Titles grouped by the first genre term and the first style term they match; the groups share the
    // places as evenly as they can, in the order in which they were first met, and the candidates
    // left over fill what the groups could not.
    QList<qsizetype> selectByGroups(const QList<qsizetype> &candidates)
    {
        // A group is named by its pair of terms; a missing term counts as the empty one.
        QHash<std::pair<qsizetype, qsizetype>, qsizetype> groupNumber;
        QList<QList<qsizetype>> groups;
        for (qsizetype title : candidates) {
            const TitleFacts &f = facts(title);
            if (!f.hasRecord)
                continue;
            const auto found = groupNumber.constFind({f.genreTerm, f.styleTerm});
            if (found != groupNumber.constEnd()) {
                groups[*found].append(title);
            } else {
                groupNumber.insert({f.genreTerm, f.styleTerm}, groups.size());
                groups.append(QList<qsizetype>{title});
            }
        }
        if (groups.isEmpty())
            return randomSample(candidates);

        const qint64 base = m_total / groups.size();
        const qint64 extra = m_total - base * groups.size();
        QList<qsizetype> selection;
        std::vector<bool> selected(m_library.titleCount(), false);
        for (qsizetype g = 0; g < groups.size(); ++g) {
            keepRandomSample(groups[g], base + (g < extra ? 1 : 0), m_random);
            for (qsizetype title : std::as_const(groups[g])) {
                selection.append(title);
                selected[title] = true;
            }
        }
        if (selection.size() < m_total) {
            QList<qsizetype> rest;
            for (qsizetype title : candidates) {
                if (!selected[title])
                    rest.append(title);
            }
            keepRandomSample(rest, m_total - selection.size(), m_random);
            selection += rest;
        }
        shuffle(selection, m_random);
        return selection;
    }

    // Each position takes a random title of the tempo its formula step names, or of the first tempo
    // that still has titles. A random pick is swapped to the end of its bucket and taken from there.
    QList<qsizetype> orderByTempo(const QList<qsizetype> &selection)
    {
        const QStringList &symbols = AutoPlaylistGenerator::tempoSymbols;
        std::array<QList<qsizetype>, 6> buckets;
        for (qsizetype title : selection)
            buckets[facts(title).tempoBucket].append(title);
        const auto bucket = [&](const QString &symbol) -> QList<qsizetype> * {
            const qsizetype index = symbols.indexOf(symbol);
            return index >= 0 ? &buckets[index] : nullptr;
        };

        const QStringList steps = m_params.tempoFormula->split(QLatin1Char('-'), Qt::SkipEmptyParts);
        QList<qsizetype> ordered;
        ordered.reserve(selection.size());
        for (qsizetype i = 0; i < selection.size(); ++i) {
            QString wanted = steps.isEmpty() ? QString() : steps[i % steps.size()];
            // The list does not end on a slow title when a livelier one is left.
            if (i == selection.size() - 1 &&
                (wanted == QLatin1String("B") || wanted == QLatin1String("MB"))) {
                for (const char *livelier : {"M", "F", "MU"}) {
                    if (!bucket(QLatin1String(livelier))->isEmpty()) {
                        wanted = QLatin1String(livelier);
                        break;
                    }
                }
            }
            QList<qsizetype> *from = bucket(wanted);
            if (!from || from->isEmpty()) {
                const auto firstFilled =
                    std::find_if(buckets.begin(), buckets.end(), [](const auto &b) { return !b.isEmpty(); });
                if (firstFilled == buckets.end())
                    continue;
                from = &*firstFilled;
            }
            std::swap((*from)[qsizetype(m_random.bounded(quint32(from->size())))], from->last());
            ordered.append(from->takeLast());
        }
        return ordered;
    }

    const AutoPlaylistGenerator::TitleIndex &m_library;
    const AutoPlaylistGenerator::Params &m_params;
    QRandomGenerator &m_random;
    const QStringList m_genres;
    const QStringList m_styles;
    const QStringList m_composers;
    const QString m_tempo;
    const std::pair<std::optional<qint64>, std::optional<qint64>> m_popularity;
    qint64 m_total = 1;
    std::vector<qsizetype> m_representative;
    std::vector<TitleFacts> m_facts;
};

bool isPopularitySeparator(QChar c)
{
    return c == QLatin1Char('-') || c == QChar(0x2013) || c.isSpace();
}

} // namespace

namespace AutoPlaylistGenerator {

TitleIndex::TitleIndex(const BookmarkList &bookmarks) : TitleIndex(LibraryRows(bookmarks), nullptr) {}

TitleIndex::TitleIndex(const LibraryRows &rows, std::shared_ptr<const TitleKeyIndex> keys)
    : m_bookmarks(rows), m_keys(std::move(keys))
{
    if (!m_keys)
        m_keys = std::make_shared<const TitleKeyIndex>(m_bookmarks);
    QHash<QString, qsizetype> bookNumber;
    m_bookOfEntry.resize(m_bookmarks.size());
    for (qsizetype i = 0; i < m_bookmarks.size(); ++i) {
        const QString &name = m_bookmarks.at(i).pdfFileName;
        auto book = bookNumber.constFind(name);
        if (book == bookNumber.constEnd()) {
            book = bookNumber.insert(name, m_lowerBookNames.size());
            m_lowerBookNames.append(name.toLower());
            m_bookNames.append(name);
        }
        m_bookOfEntry[i] = *book;
    }
}

Result<BookmarkList> generate(const TitleIndex &library, const Params &params, QRandomGenerator &random)
{
    return Generation(library, params, random).run();
}

QString tempoToSymbol(const std::optional<QString> &tempo)
{
    if (!tempo)
        return QString();
    const QString lower = tempo->toLower();
    const std::pair<const char *, const char *> tests[] = {
        {"fast", "F"}, {"medium-up", "MU"}, {"medium-ballad", "MB"}, {"ballad", "B"}, {"medium", "M"}};
    for (const auto &[word, symbol] : tests) {
        if (lower.contains(QLatin1String(word)))
            return QLatin1String(symbol);
    }
    return QString();
}

bool tempoMatches(const QString &term, const std::optional<QString> &tempo)
{
    const QString wanted = TextUtils::trimmed(term).toUpper();
    if (wanted.isEmpty())
        return true;
    if (!tempo)
        return false;
    if (tempoSymbols.contains(wanted))
        return tempoToSymbol(tempo) == wanted;
    return tempo->toLower().contains(term.toLower());
}

std::pair<std::optional<qint64>, std::optional<qint64>> parsePopularity(const std::optional<QString> &text)
{
    const QString trimmed = TextUtils::trimmed(text.value_or(QString()));
    if (trimmed.isEmpty())
        return {};
    QList<QStringView> pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= trimmed.size(); ++i) {
        if (i == trimmed.size() || isPopularitySeparator(trimmed[i])) {
            if (i > start)
                pieces.append(QStringView(trimmed).mid(start, i - start));
            start = i + 1;
        }
    }
    if (pieces.size() >= 2) {
        const auto a = TextUtils::wholeNumber(pieces[0]);
        const auto b = TextUtils::wholeNumber(pieces[1]);
        if (a && b)
            return {std::min(*a, *b), std::max(*a, *b)};
    }
    const bool orMore = trimmed.contains(QLatin1Char('+'));
    const auto n = TextUtils::wholeNumber(TextUtils::trimmed(QString(trimmed).remove(QLatin1Char('+'))));
    if (!n)
        return {};
    return {*n, orMore ? 5 : *n};
}

} // namespace AutoPlaylistGenerator
