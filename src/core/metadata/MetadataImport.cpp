#include "core/metadata/MetadataImport.h"

#include "core/common/InputFile.h"
#include "core/common/UiText.h"
#include "core/json/JsonReader.h"
#include "core/share/ExportService.h"
#include "core/text/TextUtils.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
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

void takeText(const std::optional<QString> &value, QString &field)
{
    if (value)
        field = TextUtils::fieldText(*value);
}

void apply(const MetadataRecord &record, BookmarkEntry &entry)
{
    takeText(record.genre, entry.genre);
    takeText(record.style, entry.style);
    if (record.firstReleaseYear)
        entry.firstReleaseYear = record.firstReleaseYear;
    takeText(record.composer, entry.composer);
    takeText(record.tempo, entry.tempo);
    if (record.rating)
        entry.rating = record.rating;
    takeText(record.spotifyURL, entry.spotifyURL);
    takeText(record.youtubeURL, entry.youtubeURL);
}

// The fields a CSV column can give, and the header names that give them (compared trimmed and in
// lower case); the leftmost column with one of a field's names is the field's.
enum class CsvField {
    title,
    file,
    page,
    genre,
    style,
    year,
    composer,
    tempo,
    rating,
    spotify,
    youtube,
    none
};

CsvField csvField(const QString &headerCell)
{
    static const std::pair<QLatin1String, CsvField> names[] = {
        {QLatin1String("title"), CsvField::title},
        {QLatin1String("bookmark title"), CsvField::title},
        {QLatin1String("pdf file"), CsvField::file},
        {QLatin1String("pdffilename"), CsvField::file},
        {QLatin1String("pdf filename"), CsvField::file},
        {QLatin1String("page number"), CsvField::page},
        {QLatin1String("genre"), CsvField::genre},
        {QLatin1String("style"), CsvField::style},
        {QLatin1String("year"), CsvField::year},
        {QLatin1String("first release year"), CsvField::year},
        {QLatin1String("firstreleaseyear"), CsvField::year},
        {QLatin1String("composer"), CsvField::composer},
        {QLatin1String("tempo"), CsvField::tempo},
        {QLatin1String("rating"), CsvField::rating},
        {QLatin1String("spotify url"), CsvField::spotify},
        {QLatin1String("spotify"), CsvField::spotify},
        {QLatin1String("spotifyurl"), CsvField::spotify},
        {QLatin1String("youtube url"), CsvField::youtube},
        {QLatin1String("youtube"), CsvField::youtube},
        {QLatin1String("youtubeurl"), CsvField::youtube},
    };
    const QString name = TextUtils::trimmed(headerCell).toLower();
    for (const auto &[accepted, field] : names) {
        if (name == accepted)
            return field;
    }
    return CsvField::none;
}

// Sets the field of a record from the text of its cell.
void setField(MetadataRecord &r, CsvField field, const QString &cell)
{
    const QString text = ExportService::unguardedCell(cell);
    switch (field) {
    case CsvField::title:
        r.title = text;
        break;
    case CsvField::file:
        r.pdfFileName = text;
        break;
    case CsvField::page:
        r.pageNumber = TextUtils::wholeNumber(TextUtils::trimmed(text));
        break;
    case CsvField::genre:
        r.genre = text;
        break;
    case CsvField::style:
        r.style = text;
        break;
    case CsvField::year:
        r.firstReleaseYear = TextUtils::wholeNumber(text);
        break;
    case CsvField::composer:
        r.composer = text;
        break;
    case CsvField::tempo:
        r.tempo = text;
        break;
    case CsvField::rating:
        r.rating = TextUtils::finiteRating(TextUtils::realNumber(text));
        break;
    case CsvField::spotify:
        r.spotifyURL = text;
        break;
    case CsvField::youtube:
        r.youtubeURL = text;
        break;
    case CsvField::none:
        break;
    }
}

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

QString longRecord(qsizetype number)
{
    return UiText::tr("record %1 is longer than %2 KB.")
        .arg(number)
        .arg(MetadataImport::maxRecordBytes / 1024);
}

// Walks the records of UTF-8 text that hold anything, in order: cell(column, cell) for each of their
// cells, the cell pointing into text, then endRow(). Stops with the reason when a quote is never
// closed or a record is longer than the bound (the records before it were given). Quotes, commas and
// line breaks are ASCII or start a character, so the bytes are walked as they are.
template <typename Cell, typename EndRow>
std::optional<QString> forEachCsvCell(QByteArrayView text, Cell cell, EndRow endRow)
{
    bool inQuotes = false;
    bool lineHasText = false;
    qsizetype i = text.startsWith("\xEF\xBB\xBF") ? 3 : 0; // a byte-order mark
    qsizetype recordStart = i;
    qsizetype records = 0;
    CsvCell current{i, i, false};
    qsizetype column = 0;
    const auto endCell = [&](qsizetype end, qsizetype next) {
        current.end = end;
        cell(column++, std::as_const(current));
        current = CsvCell{next, next, false};
    };
    while (i < text.size()) {
        if (i - recordStart > MetadataImport::maxRecordBytes)
            return longRecord(records + 1);
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
            inQuotes = current.quoted = lineHasText = true;
            ++i;
        } else if (c == ',') {
            endCell(i, i + 1);
            lineHasText = true;
            ++i;
        } else if (const qsizetype length = lineBreakAt(text, i)) {
            if (lineHasText) {
                endCell(i, i + length);
                endRow();
                ++records;
                column = 0;
            }
            i += length;
            recordStart = i;
            current = CsvCell{i, i, false};
            lineHasText = false;
        } else {
            lineHasText = true;
            ++i;
        }
    }
    if (inQuotes)
        return UiText::tr("a quoted field is never closed.");
    if (lineHasText) {
        endCell(i, i);
        endRow();
    }
    return std::nullopt;
}

// A cell's text: a quote opens or closes a quoted part and is dropped; two quotes inside one stand
// for one.
QString cellText(QByteArrayView text, const CsvCell &cell)
{
    const QByteArrayView raw = text.sliced(cell.begin, cell.end - cell.begin);
    if (!cell.quoted)
        return TextUtils::utf8Text(raw);
    QString plain;
    qsizetype runStart = 0;
    bool inQuotes = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '"')
            continue;
        plain += TextUtils::utf8Text(raw.sliced(runStart, i - runStart));
        if (inQuotes && i + 1 < raw.size() && raw[i + 1] == '"') {
            plain += QLatin1Char('"');
            ++i;
        } else {
            inQuotes = !inQuotes;
        }
        runStart = i + 1;
    }
    return plain + TextUtils::utf8Text(raw.sliced(runStart));
}

Result<QList<MetadataRecord>> csvFailure(const QString &reason)
{
    return Result<QList<MetadataRecord>>::failure(
        UiText::tr("Not a usable metadata CSV file: %1").arg(reason));
}

// Why CSV bytes cannot be used, or nothing: invalid UTF-8, a quote never closed, a record longer than
// the bound.
std::optional<LyrafoldError> csvRefusal(QByteArrayView bytes)
{
    if (!simdjson::validate_utf8(bytes.data(), size_t(bytes.size())))
        return csvFailure(UiText::tr("the text is not UTF-8.")).error();
    if (const auto reason = forEachCsvCell(
            bytes, [](qsizetype, const CsvCell &) {}, [] {}))
        return csvFailure(*reason).error();
    return std::nullopt;
}

// Gives each record of checked CSV bytes, in order.
template <typename Each> void forEachCsvRecord(QByteArrayView bytes, Each each)
{
    // The field of each column up to the last one that gives any; filled from the header.
    std::vector<CsvField> fields;
    bool header = true;
    MetadataRecord record;
    forEachCsvCell(
        bytes,
        [&](qsizetype column, const CsvCell &cell) {
            if (header) {
                const CsvField field = csvField(cellText(bytes, cell));
                if (field != CsvField::none &&
                    std::find(fields.cbegin(), fields.cend(), field) == fields.cend()) {
                    fields.resize(size_t(column) + 1, CsvField::none);
                    fields[size_t(column)] = field;
                }
            } else if (size_t(column) < fields.size() && fields[size_t(column)] != CsvField::none) {
                setField(record, fields[size_t(column)], cellText(bytes, cell));
            }
        },
        [&] {
            if (!header)
                each(std::as_const(record));
            header = false;
            record = MetadataRecord();
        });
}

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Splits a JSON array into the texts of its elements without decoding them: element(text, index) for
// each, in order, until it returns false. The parser's index of a document takes four bytes for each
// value and punctuation mark in it, four times the size of a file of commas; one element's is as
// small as the element, which is bounded. What lies between the elements (white space, commas, the
// brackets) is checked here, the elements are the parser's to check. Gives why the text is no array
// of such elements.
template <typename Element> std::optional<QString> forEachArrayElement(QByteArrayView text, Element element)
{
    qsizetype i = 0;
    const auto skipSpace = [&] {
        while (i < text.size() && isJsonSpace(text[i]))
            ++i;
    };
    skipSpace();
    if (i == text.size() || text[i] != '[')
        return QStringLiteral("expected an array");
    ++i;
    skipSpace();
    for (qsizetype index = 0; i < text.size() && (text[i] != ']' || index > 0); ++index) {
        const qsizetype start = i;
        int depth = 0;
        bool inString = false;
        bool closed = false; // the element's object or array has ended
        for (; i < text.size(); ++i) {
            if (i - start > MetadataImport::maxRecordBytes)
                return longRecord(index + 1);
            const char c = text[i];
            if (inString) {
                if (c == '\\')
                    ++i;
                else if (c == '"')
                    inString = false;
            } else if (depth == 0 && (c == ',' || c == ']')) {
                break;
            } else if (closed && !isJsonSpace(c)) {
                return QStringLiteral("[%1]: expected a comma or the end of the array").arg(index);
            } else if (c == '"') {
                inString = true;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if ((c == '}' || c == ']') && depth > 0) {
                closed = --depth == 0;
            }
        }
        if (i == text.size())
            break;
        if (!element(text.sliced(start, i - start), index))
            return std::nullopt;
        if (text[i] == ']')
            break;
        ++i; // the comma: an element follows
    }
    if (i == text.size())
        return QStringLiteral("the array is not closed");
    ++i;
    skipSpace();
    if (i != text.size())
        return QStringLiteral("unexpected content after the array");
    return std::nullopt;
}

// Gives each record of JSON bytes, in order; the error when they do not decode, after the records
// before it.
template <typename Each> std::optional<LyrafoldError> forEachJsonRecord(const QByteArray &bytes, Each each)
{
    const auto failure = [](const QString &reason) {
        return LyrafoldError{QStringLiteral("Lyrafold"), 0,
                             UiText::tr("Not a usable metadata JSON file: %1").arg(reason)};
    };
    std::optional<QString> refusal;
    json::JsonDocument document; // its parser keeps the room of the largest element
    const std::optional<QString> notArray =
        forEachArrayElement(QByteArrayView(bytes), [&](QByteArrayView text, qsizetype index) {
            QByteArray element;
            element.reserve(text.size() + qsizetype(simdjson::SIMDJSON_PADDING));
            element.append(text);
            json::DecodeStatus status;
            json::od::object object;
            if (!document.open(element, status) || !document.rootObject(object, status)) {
                refusal = QStringLiteral("[%1]: %2").arg(index).arg(status.error());
                return false;
            }
            json::ObjectReader in(object, status, QString(), index);
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
            if (!document.finish(status)) {
                refusal = status.error();
                return false;
            }
            each(std::as_const(r));
            return true;
        });
    if (const std::optional<QString> reason = refusal ? refusal : notArray)
        return failure(*reason);
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
    QStringList row;
    const std::optional<QString> refusal = forEachCsvCell(
        bytes, [&](qsizetype, const CsvCell &cell) { row.append(cellText(bytes, cell)); },
        [&] { rows.append(std::exchange(row, QStringList())); });
    if (refusal)
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
    const int found = applyTo(file, rows, positions);
    if (positions) {
        std::sort(positions->begin(), positions->end());
        positions->erase(std::unique(positions->begin(), positions->end()), positions->end());
    }
    return found;
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
