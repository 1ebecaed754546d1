#include "core/library/MetadataImport.h"

#include "core/common/InputFile.h"
#include "core/common/UiText.h"
#include "core/json/JsonReader.h"
#include "core/library/ExportService.h"
#include "core/text/TextUtils.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <initializer_list>
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
// 10,000 times. Each table keeps the first bookmark of every key. Rows is a BookmarkList or the
// library's LibraryRows; what is applied meanwhile leaves the keys alone.
template <typename Rows> class BookmarkMatcher {
public:
    explicit BookmarkMatcher(const Rows &bookmarks) : m_bookmarks(bookmarks) {}

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
        for (auto i = m_bookmarks.size() - 1; i >= 0; --i)
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

    const Rows &m_bookmarks;
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

// Where each field stands in the records of a CSV file: the leftmost header cell that equals one of
// the field's names, trimmed and in lower case.
struct CsvFieldColumns {
    explicit CsvFieldColumns(const QStringList &header)
    {
        QStringList names;
        for (const QString &cell : header)
            names.append(TextUtils::trimmed(cell).toLower());
        const auto col = [&](std::initializer_list<QLatin1String> accepted) -> std::optional<qsizetype> {
            for (qsizetype i = 0; i < names.size(); ++i) {
                if (std::find(accepted.begin(), accepted.end(), names[i]) != accepted.end())
                    return i;
            }
            return std::nullopt;
        };
        title = col({QLatin1String("title"), QLatin1String("bookmark title")});
        file = col({QLatin1String("pdf file"), QLatin1String("pdffilename"), QLatin1String("pdf filename")});
        page = col({QLatin1String("page number")});
        genre = col({QLatin1String("genre")});
        style = col({QLatin1String("style")});
        year = col(
            {QLatin1String("year"), QLatin1String("first release year"), QLatin1String("firstreleaseyear")});
        composer = col({QLatin1String("composer")});
        tempo = col({QLatin1String("tempo")});
        rating = col({QLatin1String("rating")});
        spotify = col({QLatin1String("spotify url"), QLatin1String("spotify"), QLatin1String("spotifyurl")});
        youtube = col({QLatin1String("youtube url"), QLatin1String("youtube"), QLatin1String("youtubeurl")});
    }

    std::optional<qsizetype> title, file, page, genre, style, year, composer, tempo, rating, spotify, youtube;
};

BookmarkEntry &editable(BookmarkList &rows, qsizetype position)
{
    return rows[position];
}

BookmarkEntry &editable(LibraryRows &rows, qsizetype position)
{
    return rows.edit(position);
}

// Applies each record given to the bookmark it finds, as the records come.
template <typename Rows> class RecordApplier {
public:
    RecordApplier(Rows &rows, QList<qsizetype> *positions)
        : m_rows(rows), m_matcher(rows), m_positions(positions)
    {
    }

    void operator()(const MetadataRecord &record)
    {
        const auto index = m_matcher.find(record);
        if (!index)
            return;
        apply(record, editable(m_rows, *index));
        if (m_positions)
            m_positions->append(*index);
        ++m_found;
    }

    int found() const { return m_found; }

private:
    Rows &m_rows;
    BookmarkMatcher<Rows> m_matcher;
    QList<qsizetype> *m_positions;
    int m_found = 0;
};

// A cell of a CSV record: where it lies in the text, quotes included.
struct CsvCell {
    qsizetype begin = 0;
    qsizetype end = 0;
    bool quoted = false; // it holds quotes to take out
};

// The length in bytes of the line break at i, 0 when there is none. U+0085, U+2028 and U+2029 take two
// and three bytes in UTF-8; their first byte never stands inside another character.
qsizetype lineBreakAt(QByteArrayView text, qsizetype i)
{
    const auto at = [&](qsizetype k) { return k < text.size() ? uchar(text[k]) : uchar(0); };
    switch (at(i)) {
    case '\n':
    case '\v':
    case '\f':
        return 1;
    case '\r':
        return at(i + 1) == '\n' ? 2 : 1;
    case 0xC2:
        return at(i + 1) == 0x85 ? 2 : 0;
    case 0xE2:
        return at(i + 1) == 0x80 && (at(i + 2) == 0xA8 || at(i + 2) == 0xA9) ? 3 : 0;
    default:
        return 0;
    }
}

// Calls row(cells) for each record of UTF-8 text that holds anything, in order, the cells pointing
// into text; false when a quote is never closed (the records before it were given). Quotes, commas
// and line breaks are ASCII or start a character, so the bytes are walked as they are.
template <typename Row> bool forEachCsvRow(QByteArrayView text, Row row)
{
    std::vector<CsvCell> cells;
    bool inQuotes = false;
    bool lineHasText = false;
    qsizetype i = text.startsWith("\xEF\xBB\xBF") ? 3 : 0; // a byte-order mark
    CsvCell cell{i, i, false};
    const auto endCell = [&](qsizetype end, qsizetype next) {
        cell.end = end;
        cells.push_back(cell);
        cell = CsvCell{next, next, false};
    };
    while (i < text.size()) {
        const char c = text[i];
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    i += 2; // a quote of the cell's own
                    continue;
                }
                inQuotes = false;
            }
            ++i;
        } else if (c == '"') {
            inQuotes = cell.quoted = lineHasText = true;
            ++i;
        } else if (c == ',') {
            endCell(i, i + 1);
            lineHasText = true;
            ++i;
        } else if (const qsizetype length = lineBreakAt(text, i)) {
            if (lineHasText) {
                endCell(i, i + length);
                row(std::as_const(cells));
                cells.clear();
            }
            i += length;
            cell = CsvCell{i, i, false};
            lineHasText = false;
        } else {
            lineHasText = true;
            ++i;
        }
    }
    if (inQuotes)
        return false;
    if (lineHasText) {
        endCell(i, i);
        row(std::as_const(cells));
    }
    return true;
}

// A cell's text: a quote opens or closes a quoted part and is dropped; two quotes inside one stand
// for one.
QString cellText(QByteArrayView text, const CsvCell &cell)
{
    const QByteArrayView raw = text.sliced(cell.begin, cell.end - cell.begin);
    if (!cell.quoted)
        return QString::fromUtf8(raw);
    QByteArray plain;
    plain.reserve(raw.size());
    bool inQuotes = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '"') {
            plain.append(raw[i]);
        } else if (inQuotes && i + 1 < raw.size() && raw[i + 1] == '"') {
            plain.append('"');
            ++i;
        } else {
            inQuotes = !inQuotes;
        }
    }
    return QString::fromUtf8(plain);
}

Result<QList<MetadataRecord>> csvFailure(const QString &reason)
{
    return Result<QList<MetadataRecord>>::failure(
        UiText::tr("Not a usable metadata CSV file: %1").arg(reason));
}

// Why CSV bytes cannot be used, or nothing: invalid UTF-8, or a quote never closed. Each quote that
// does not stand for one in a quoted cell opens or closes, and those take one quote byte each, the
// others two: the text ends inside quotes exactly when it holds an odd number of quote bytes.
std::optional<LyrafoldError> csvRefusal(QByteArrayView bytes)
{
    if (!simdjson::validate_utf8(bytes.data(), size_t(bytes.size())))
        return csvFailure(UiText::tr("the text is not UTF-8.")).error();
    if (std::count(bytes.begin(), bytes.end(), '"') % 2 != 0)
        return csvFailure(UiText::tr("a quoted field is never closed.")).error();
    return std::nullopt;
}

// Gives each record of checked CSV bytes, in order.
template <typename Each> void forEachCsvRecord(QByteArrayView bytes, Each each)
{
    std::optional<CsvFieldColumns> c;
    forEachCsvRow(bytes, [&](const std::vector<CsvCell> &row) {
        if (!c) {
            QStringList header;
            for (const CsvCell &cell : row)
                header.append(cellText(bytes, cell));
            c.emplace(header);
            return;
        }
        const auto cellAt = [&](std::optional<qsizetype> column) -> std::optional<QString> {
            if (!column || size_t(*column) >= row.size())
                return std::nullopt;
            return ExportService::unguardedCell(cellText(bytes, row[size_t(*column)]));
        };
        MetadataRecord r;
        r.title = cellAt(c->title);
        r.pdfFileName = cellAt(c->file);
        if (const auto page = cellAt(c->page))
            r.pageNumber = TextUtils::wholeNumber(TextUtils::trimmed(*page));
        r.genre = cellAt(c->genre);
        r.style = cellAt(c->style);
        if (const auto year = cellAt(c->year))
            r.firstReleaseYear = TextUtils::wholeNumber(*year);
        r.composer = cellAt(c->composer);
        r.tempo = cellAt(c->tempo);
        if (const auto rating = cellAt(c->rating))
            r.rating = TextUtils::finiteRating(TextUtils::realNumber(*rating));
        r.spotifyURL = cellAt(c->spotify);
        r.youtubeURL = cellAt(c->youtube);
        each(r);
    });
}

// Gives each record of JSON bytes, in order; the error when they do not decode, after the records
// before it.
template <typename Each> std::optional<LyrafoldError> forEachJsonRecord(const QByteArray &bytes, Each each)
{
    const auto failure = [](const QString &reason) {
        return LyrafoldError{QStringLiteral("Lyrafold"), 0,
                             UiText::tr("Not a usable metadata JSON file: %1").arg(reason)};
    };
    json::DecodeStatus status;
    json::JsonDocument document;
    json::od::array array;
    if (!document.open(bytes, status) || !document.rootArray(array, status))
        return failure(status.error());
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
        each(r);
    }
    if (!document.finish(status))
        return failure(status.error());
    return std::nullopt;
}

template <typename Each> void forEachRecord(const MetadataFile &file, Each each)
{
    if (file.format == MetadataFile::Format::json)
        forEachJsonRecord(file.bytes, each);
    else
        forEachCsvRecord(file.bytes, each);
}

template <typename Rows> int applyTo(const MetadataFile &file, Rows &rows, QList<qsizetype> *positions)
{
    RecordApplier<Rows> applier(rows, positions);
    forEachRecord(file, [&](const MetadataRecord &record) { applier(record); });
    return applier.found();
}

} // namespace

namespace MetadataImport {

Result<QList<MetadataRecord>> parseJSON(const QByteArray &bytes)
{
    QList<MetadataRecord> records;
    if (const auto refusal = forEachJsonRecord(bytes, [&](const MetadataRecord &r) { records.append(r); }))
        return *refusal;
    return records;
}

std::optional<QList<QStringList>> csvRows(QStringView text)
{
    const QByteArray bytes = text.toUtf8();
    QList<QStringList> rows;
    const bool closed = forEachCsvRow(QByteArrayView(bytes), [&](const std::vector<CsvCell> &cells) {
        QStringList row;
        for (const CsvCell &cell : cells)
            row.append(cellText(bytes, cell));
        rows.append(row);
    });
    if (!closed)
        return std::nullopt;
    return rows;
}

Result<QList<MetadataRecord>> parseCSV(const QByteArray &bytes)
{
    if (const auto refusal = csvRefusal(bytes))
        return *refusal;
    QList<MetadataRecord> records;
    forEachCsvRecord(bytes, [&](const MetadataRecord &r) { records.append(r); });
    return records;
}

int applyRecords(const QList<MetadataRecord> &records, BookmarkList &bookmarks, QList<qsizetype> *positions)
{
    RecordApplier<BookmarkList> applier(bookmarks, positions);
    for (const MetadataRecord &record : records)
        applier(record);
    return applier.found();
}

int applyFile(const MetadataFile &file, LibraryRows &rows, QList<qsizetype> *positions)
{
    return applyTo(file, rows, positions);
}

Result<MetadataFile> readFile(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    MetadataFile file;
    file.format = QFileInfo(path).suffix().toLower() == QLatin1String("json") ? MetadataFile::Format::json
                                                                              : MetadataFile::Format::csv;
    // The JSON reader works on the bytes in place when they leave it room to read past their end.
    InputFile::Contents contents = InputFile::read(path, maxFileSize, qsizetype(simdjson::SIMDJSON_PADDING));
    switch (contents.status) {
    case InputFile::Status::ok:
        break;
    case InputFile::Status::tooLarge:
        return Result<MetadataFile>::failure(
            UiText::tr("The file %1 is too large to import: %2 MB, at most %3 MB.")
                .arg(name)
                .arg((contents.size + (1 << 20) - 1) >> 20)
                .arg(maxFileSize >> 20));
    case InputFile::Status::missing:
        return Result<MetadataFile>::failure(UiText::tr("Could not read the file %1.").arg(name));
    case InputFile::Status::notRegular:
    case InputFile::Status::unreadable:
        return Result<MetadataFile>::failure(
            UiText::tr("The file %1 cannot be read: %2").arg(name, contents.reason));
    }
    file.bytes = std::move(contents.bytes);
    // Checked whole before anything is applied: a file that fails halfway imports nothing.
    const std::optional<LyrafoldError> refusal =
        file.format == MetadataFile::Format::json
            ? forEachJsonRecord(file.bytes, [](const MetadataRecord &) {})
            : csvRefusal(file.bytes);
    if (refusal)
        return *refusal;
    return file;
}

Result<int> importFile(const QString &path, BookmarkList &bookmarks)
{
    const auto file = readFile(path);
    if (!file)
        return file.error();
    return applyTo(file.value(), bookmarks, nullptr);
}

} // namespace MetadataImport
