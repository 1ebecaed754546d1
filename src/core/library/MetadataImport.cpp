#include "core/library/MetadataImport.h"

#include "core/common/InputFile.h"
#include "core/common/UiText.h"
#include "core/json/JsonReader.h"
#include "core/library/ExportService.h"
#include "core/text/TextUtils.h"

#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <initializer_list>
#include <limits>
#include <vector>

namespace {

// The form in which titles and file names are compared, on both sides: a bookmark whose title has
// blanks around it, or was stored with the control characters and line breaks that titles lose
// today, is still found by the row that the CSV export wrote for it.
QString matchKey(const QString &text)
{
    return TextUtils::nfc(TextUtils::trimmed(TextUtils::foldedTitle(text)).toLower());
}

QString recordKey(const std::optional<QString> &text)
{
    return text ? matchKey(*text) : QString();
}

// A title with its book, the book by number: a library holds a few hundred books but tens of
// thousands of titles, and hashing the long file names once per bookmark would cost more than the
// titles.
struct BookKey {
    QString title;
    int book = -1;
    qint64 page = 0;

    friend bool operator==(const BookKey &, const BookKey &) = default;
};

size_t qHash(const BookKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.title, key.book, key.page);
}

// Finds a record's bookmark through hash tables of the bookmarks' keys, each built when a record first
// needs it: a file of 10,000 records against 100,000 bookmarks would otherwise walk the library
// 10,000 times. Each table keeps the first bookmark of every key.
class BookmarkMatcher {
public:
    explicit BookmarkMatcher(const BookmarkList &bookmarks) : m_bookmarks(bookmarks) {}

    std::optional<qsizetype> find(const MetadataRecord &record)
    {
        const QString title = recordKey(record.title);
        const QString file = recordKey(record.pdfFileName);
        const int book = file.isEmpty() ? -1 : bookNumbers().byKey.value(file, -1);
        if (!title.isEmpty() && book >= 0) {
            if (record.pageNumber) {
                if (const auto found = lookUp(titleBookIndex(true), BookKey{title, book, *record.pageNumber}))
                    return found;
            }
            if (const auto found = lookUp(titleBookIndex(false), BookKey{title, book, 0}))
                return found;
        }
        // No bookmark has both (a book renamed since the file was written): the first bookmark, in
        // library order, with the title or with the book.
        const std::optional<qsizetype> byTitle = title.isEmpty() ? std::nullopt : lookUp(titleIndex(), title);
        const std::optional<qsizetype> byBook = book < 0 ? std::nullopt : lookUp(bookIndex(), book);
        if (byTitle && byBook)
            return std::min(*byTitle, *byBook);
        return byTitle ? byTitle : byBook;
    }

private:
    struct BookNumbers {
        QHash<QString, int> byKey;
        std::vector<int> ofBookmark;
    };

    template <typename Key>
    static std::optional<qsizetype> lookUp(const QHash<Key, qsizetype> &index, const Key &key)
    {
        const auto found = index.constFind(key);
        if (found == index.cend())
            return std::nullopt;
        return *found;
    }

    // Walking backwards, the first bookmark of a key is written last.
    template <typename Key, typename MakeKey>
    void build(std::optional<QHash<Key, qsizetype>> &index, MakeKey makeKey)
    {
        index.emplace();
        index->reserve(m_bookmarks.size());
        for (qsizetype i = m_bookmarks.size() - 1; i >= 0; --i)
            index->insert(makeKey(size_t(i)), i);
    }

    const std::vector<QString> &titleKeys()
    {
        if (!m_titleKeys) {
            m_titleKeys.emplace();
            m_titleKeys->reserve(size_t(m_bookmarks.size()));
            for (const BookmarkEntry &entry : m_bookmarks)
                m_titleKeys->push_back(matchKey(entry.title));
        }
        return *m_titleKeys;
    }

    // File names that differ only in case or composition get the same number.
    const BookNumbers &bookNumbers()
    {
        if (!m_books) {
            m_books.emplace();
            m_books->ofBookmark.reserve(size_t(m_bookmarks.size()));
            QHash<QString, int> byName;
            for (const BookmarkEntry &entry : m_bookmarks) {
                auto found = byName.constFind(entry.pdfFileName);
                if (found == byName.cend()) {
                    const QString key = matchKey(entry.pdfFileName);
                    const int book = m_books->byKey.value(key, int(m_books->byKey.size()));
                    m_books->byKey.insert(key, book);
                    found = byName.insert(entry.pdfFileName, book);
                }
                m_books->ofBookmark.push_back(*found);
            }
        }
        return *m_books;
    }

    const QHash<QString, qsizetype> &titleIndex()
    {
        if (!m_titleIndex) {
            const auto &titles = titleKeys();
            build(m_titleIndex, [&](size_t i) { return titles[i]; });
        }
        return *m_titleIndex;
    }

    const QHash<int, qsizetype> &bookIndex()
    {
        if (!m_bookIndex) {
            const auto &books = bookNumbers().ofBookmark;
            build(m_bookIndex, [&](size_t i) { return books[i]; });
        }
        return *m_bookIndex;
    }

    // With the page, or with every page counted as 0.
    const QHash<BookKey, qsizetype> &titleBookIndex(bool withPage)
    {
        auto &index = m_titleBookIndex[withPage ? 1 : 0];
        if (!index) {
            const auto &titles = titleKeys();
            const auto &books = bookNumbers().ofBookmark;
            build(index, [&](size_t i) {
                return BookKey{titles[i], books[i], withPage ? m_bookmarks[qsizetype(i)].pageNumber : 0};
            });
        }
        return *index;
    }

    const BookmarkList &m_bookmarks;
    std::optional<std::vector<QString>> m_titleKeys;
    std::optional<BookNumbers> m_books;
    std::optional<QHash<QString, qsizetype>> m_titleIndex;
    std::optional<QHash<int, qsizetype>> m_bookIndex;
    std::optional<QHash<BookKey, qsizetype>> m_titleBookIndex[2];
};

template <typename T> void take(const std::optional<T> &value, T &field)
{
    if (value)
        field = *value;
}

void apply(const MetadataRecord &record, BookmarkEntry &entry)
{
    take(record.genre, entry.genre);
    take(record.style, entry.style);
    if (record.firstReleaseYear)
        entry.firstReleaseYear = record.firstReleaseYear;
    take(record.composer, entry.composer);
    take(record.tempo, entry.tempo);
    if (record.rating)
        entry.rating = record.rating;
    take(record.spotifyURL, entry.spotifyURL);
    take(record.youtubeURL, entry.youtubeURL);
}

// The columns of a CSV header: the leftmost cell that equals one of a field's names.
class CsvColumns {
public:
    explicit CsvColumns(const QStringList &header)
    {
        for (const QString &cell : header)
            m_header.append(TextUtils::trimmed(cell).toLower());
    }

    std::optional<qsizetype> operator()(std::initializer_list<QLatin1String> names) const
    {
        for (qsizetype i = 0; i < m_header.size(); ++i) {
            for (QLatin1String name : names) {
                if (m_header[i] == name)
                    return i;
            }
        }
        return std::nullopt;
    }

private:
    QStringList m_header;
};

std::optional<QString> cellAt(const QStringList &row, std::optional<qsizetype> column)
{
    if (!column || *column >= row.size())
        return std::nullopt;
    return ExportService::unguardedCell(row[*column]);
}

Result<QList<MetadataRecord>> csvFailure(const QString &reason)
{
    return Result<QList<MetadataRecord>>::failure(
        UiText::tr("Not a usable metadata CSV file: %1").arg(reason));
}

} // namespace

namespace MetadataImport {

Result<QList<MetadataRecord>> parseJSON(const QByteArray &bytes)
{
    const auto failure = [](const QString &reason) {
        return Result<QList<MetadataRecord>>::failure(
            UiText::tr("Not a usable metadata JSON file: %1").arg(reason));
    };
    json::DecodeStatus status;
    json::JsonDocument document;
    json::od::array array;
    if (!document.open(bytes, status) || !document.rootArray(array, status))
        return failure(status.error());

    QList<MetadataRecord> records;
    qsizetype index = 0;
    for (auto item : array) {
        json::od::value value;
        if (!json::element(item, value, status, QString(), index))
            break;
        json::ObjectReader in(value, status, QString(), index++);
        MetadataRecord r;
        in.optional("title", r.title);
        in.optional("pdfFileName", r.pdfFileName);
        in.optional("genre", r.genre);
        in.optional("style", r.style);
        in.optional("firstReleaseYear", r.firstReleaseYear);
        in.optional("composer", r.composer);
        in.optional("tempo", r.tempo);
        in.optional("rating", r.rating);
        in.optional("spotifyURL", r.spotifyURL);
        in.optional("youtubeURL", r.youtubeURL);
        if (!status.ok())
            break;
        records.append(std::move(r));
    }
    if (!document.finish(status))
        return failure(status.error());
    return records;
}

std::optional<QList<QStringList>> csvRows(QStringView text)
{
    QList<QStringList> rows;
    QStringList cells;
    QString cell;
    bool inQuotes = false;
    bool lineHasText = false;
    // Plain characters are added to the cell a run at a time, from runStart up to a quote, comma or
    // line break.
    qsizetype runStart = 0;
    const auto addRun = [&](qsizetype end) {
        if (end > runStart)
            cell.append(text.sliced(runStart, end - runStart));
    };
    const auto endCell = [&] { cells.append(std::exchange(cell, QString())); };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (inQuotes) {
            if (c != u'"')
                continue;
            addRun(i);
            if (i + 1 < text.size() && text[i + 1] == u'"') {
                runStart = ++i; // the second quote is the cell's
            } else {
                inQuotes = false;
                runStart = i + 1;
            }
        } else if (c == u'"' || c == u',') {
            addRun(i);
            if (c == u',')
                endCell();
            inQuotes = c == u'"';
            lineHasText = true;
            runStart = i + 1;
        } else if (TextUtils::isLineBreak(c)) {
            addRun(i);
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            if (lineHasText) {
                endCell();
                rows.append(std::exchange(cells, QStringList()));
            }
            lineHasText = false;
            runStart = i + 1;
        } else {
            lineHasText = true;
        }
    }
    if (inQuotes)
        return std::nullopt;
    addRun(text.size());
    if (lineHasText) {
        endCell();
        rows.append(cells);
    }
    return rows;
}

Result<QList<MetadataRecord>> parseCSV(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return csvFailure(UiText::tr("the text is not UTF-8."));
    const auto rows = csvRows(text);
    if (!rows)
        return csvFailure(UiText::tr("a quoted field is never closed."));
    if (rows->isEmpty())
        return QList<MetadataRecord>();

    const CsvColumns col(rows->first());
    const auto titleColumn = col({QLatin1String("title"), QLatin1String("bookmark title")});
    const auto fileColumn =
        col({QLatin1String("pdf file"), QLatin1String("pdffilename"), QLatin1String("pdf filename")});
    const auto pageColumn = col({QLatin1String("page number")});
    const auto genreColumn = col({QLatin1String("genre")});
    const auto styleColumn = col({QLatin1String("style")});
    const auto yearColumn =
        col({QLatin1String("year"), QLatin1String("first release year"), QLatin1String("firstreleaseyear")});
    const auto composerColumn = col({QLatin1String("composer")});
    const auto tempoColumn = col({QLatin1String("tempo")});
    const auto ratingColumn = col({QLatin1String("rating")});
    const auto spotifyColumn =
        col({QLatin1String("spotify url"), QLatin1String("spotify"), QLatin1String("spotifyurl")});
    const auto youtubeColumn =
        col({QLatin1String("youtube url"), QLatin1String("youtube"), QLatin1String("youtubeurl")});

    QList<MetadataRecord> records;
    records.reserve(rows->size() - 1);
    for (qsizetype i = 1; i < rows->size(); ++i) {
        const QStringList &row = rows->at(i);
        MetadataRecord r;
        r.title = cellAt(row, titleColumn);
        r.pdfFileName = cellAt(row, fileColumn);
        if (const auto page = cellAt(row, pageColumn))
            r.pageNumber = TextUtils::wholeNumber(TextUtils::trimmed(*page));
        r.genre = cellAt(row, genreColumn);
        r.style = cellAt(row, styleColumn);
        if (const auto year = cellAt(row, yearColumn))
            r.firstReleaseYear = TextUtils::wholeNumber(*year);
        r.composer = cellAt(row, composerColumn);
        r.tempo = cellAt(row, tempoColumn);
        if (const auto rating = cellAt(row, ratingColumn))
            r.rating = TextUtils::finiteRating(TextUtils::realNumber(*rating));
        r.spotifyURL = cellAt(row, spotifyColumn);
        r.youtubeURL = cellAt(row, youtubeColumn);
        records.append(std::move(r));
    }
    return records;
}

int applyRecords(const QList<MetadataRecord> &records, BookmarkList &bookmarks, QList<qsizetype> *positions)
{
    BookmarkMatcher matcher(bookmarks);
    int found = 0;
    for (const MetadataRecord &record : records) {
        const auto index = matcher.find(record);
        if (!index)
            continue;
        apply(record, bookmarks[*index]);
        if (positions)
            positions->append(*index);
        ++found;
    }
    return found;
}

Result<QList<MetadataRecord>> readFile(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    // The JSON reader works on the bytes in place when they leave it room to read past their end.
    const InputFile::Contents file =
        InputFile::read(path, std::numeric_limits<qint64>::max(), qsizetype(simdjson::SIMDJSON_PADDING));
    switch (file.status) {
    case InputFile::Status::ok:
        break;
    case InputFile::Status::notRegular:
    case InputFile::Status::unreadable:
        return Result<QList<MetadataRecord>>::failure(
            UiText::tr("The file %1 cannot be read: %2").arg(name, file.reason));
    case InputFile::Status::missing:
    case InputFile::Status::tooLarge:
        return Result<QList<MetadataRecord>>::failure(UiText::tr("Could not read the file %1.").arg(name));
    }
    const bool isJson = QFileInfo(path).suffix().toLower() == QLatin1String("json");
    return isJson ? parseJSON(file.bytes) : parseCSV(file.bytes);
}

Result<int> importFile(const QString &path, BookmarkList &bookmarks)
{
    const auto records = readFile(path);
    if (!records)
        return records.error();
    return applyRecords(records.value(), bookmarks);
}

} // namespace MetadataImport
