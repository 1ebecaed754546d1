#include "library/MetadataImport.h"

#include "storage/StateFile.h"
#include "text/TextUtils.h"
#include "json/JsonReader.h"

#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <initializer_list>
#include <vector>

namespace {

bool isLineBreak(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

// The form in which titles and file names are compared, on both sides: a bookmark whose title has
// blanks around it is still found by the row that the CSV export wrote for it.
QString matchKey(const QString &text)
{
    return TextUtils::nfc(TextUtils::trimmed(text).toLower());
}

QString recordKey(const std::optional<QString> &text)
{
    return text ? matchKey(*text) : QString();
}

struct BookKey {
    QString title;
    QString file;
    std::optional<qint64> page;

    friend bool operator==(const BookKey &, const BookKey &) = default;
};

size_t qHash(const BookKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.title, key.file, key.page.value_or(0), key.page.has_value());
}

// Finds a record's bookmark through hash tables of the bookmarks' keys, each built when a record first
// needs it: a file of 10,000 records against 100,000 bookmarks would otherwise walk the library
// 10,000 times.
class BookmarkMatcher {
public:
    explicit BookmarkMatcher(const BookmarkList &bookmarks) : m_bookmarks(bookmarks) {}

    std::optional<qsizetype> find(const MetadataRecord &record)
    {
        const QString title = recordKey(record.title);
        const QString file = recordKey(record.pdfFileName);
        if (!title.isEmpty() && !file.isEmpty())
            return lookUp(bookIndex(), BookKey{title, file, record.pageNumber});
        if (!title.isEmpty())
            return lookUp(titleIndex(), title);
        if (!file.isEmpty())
            return lookUp(fileIndex(), file);
        return std::nullopt;
    }

private:
    template <typename Key>
    static std::optional<qsizetype> lookUp(const QHash<Key, qsizetype> &index, const Key &key)
    {
        const auto found = index.constFind(key);
        if (found == index.cend())
            return std::nullopt;
        return *found;
    }

    const std::vector<QString> &titleKeys()
    {
        if (m_titleKeys.empty()) {
            m_titleKeys.reserve(size_t(m_bookmarks.size()));
            for (const BookmarkEntry &entry : m_bookmarks)
                m_titleKeys.push_back(matchKey(entry.title));
        }
        return m_titleKeys;
    }

    const std::vector<QString> &fileKeys()
    {
        if (m_fileKeys.empty()) {
            m_fileKeys.reserve(size_t(m_bookmarks.size()));
            // Bookmarks of one book follow each other: reuse the previous key.
            QString lastName;
            QString lastKey;
            for (const BookmarkEntry &entry : m_bookmarks) {
                if (m_fileKeys.empty() || entry.pdfFileName != lastName) {
                    lastName = entry.pdfFileName;
                    lastKey = matchKey(lastName);
                }
                m_fileKeys.push_back(lastKey);
            }
        }
        return m_fileKeys;
    }

    // Each table keeps the first bookmark of every key: walking backwards, the first one is written last.
    template <typename Key, typename MakeKey> void build(QHash<Key, qsizetype> &index, MakeKey makeKey)
    {
        index.reserve(m_bookmarks.size());
        for (qsizetype i = m_bookmarks.size() - 1; i >= 0; --i)
            makeKey(i, [&](Key key) { index.insert(std::move(key), i); });
    }

    const QHash<QString, qsizetype> &titleIndex()
    {
        if (!m_titlesBuilt) {
            const auto &keys = titleKeys();
            build(m_titleIndex, [&](qsizetype i, auto add) { add(keys[size_t(i)]); });
            m_titlesBuilt = true;
        }
        return m_titleIndex;
    }

    const QHash<QString, qsizetype> &fileIndex()
    {
        if (!m_filesBuilt) {
            const auto &keys = fileKeys();
            build(m_fileIndex, [&](qsizetype i, auto add) { add(keys[size_t(i)]); });
            m_filesBuilt = true;
        }
        return m_fileIndex;
    }

    // Title and file, once without the page and once with it.
    const QHash<BookKey, qsizetype> &bookIndex()
    {
        if (!m_booksBuilt) {
            const auto &titles = titleKeys();
            const auto &files = fileKeys();
            build(m_bookIndex, [&](qsizetype i, auto add) {
                add(BookKey{titles[size_t(i)], files[size_t(i)], std::nullopt});
                add(BookKey{titles[size_t(i)], files[size_t(i)], m_bookmarks[i].pageNumber});
            });
            m_booksBuilt = true;
        }
        return m_bookIndex;
    }

    const BookmarkList &m_bookmarks;
    std::vector<QString> m_titleKeys;
    std::vector<QString> m_fileKeys;
    QHash<QString, qsizetype> m_titleIndex;
    QHash<QString, qsizetype> m_fileIndex;
    QHash<BookKey, qsizetype> m_bookIndex;
    bool m_titlesBuilt = false;
    bool m_filesBuilt = false;
    bool m_booksBuilt = false;
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
    return row[*column];
}

Result<QList<MetadataRecord>> csvFailure(const QString &reason)
{
    return Result<QList<MetadataRecord>>::failure(QStringLiteral("Not a usable metadata CSV file: ") +
                                                  reason);
}

} // namespace

namespace MetadataImport {

Result<QList<MetadataRecord>> parseJSON(const QByteArray &bytes)
{
    const auto failure = [](const QString &reason) {
        return Result<QList<MetadataRecord>>::failure(QStringLiteral("Not a usable metadata JSON file: ") +
                                                      reason);
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
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (inQuotes) {
            if (c != u'"')
                cell += QChar(c);
            else if (i + 1 < text.size() && text[i + 1] == u'"')
                cell += QChar(text[++i]);
            else
                inQuotes = false;
            continue;
        }
        if (isLineBreak(c)) {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            if (lineHasText) {
                cells.append(std::exchange(cell, QString()));
                rows.append(std::exchange(cells, QStringList()));
            }
            lineHasText = false;
            continue;
        }
        lineHasText = true;
        if (c == u'"')
            inQuotes = true;
        else if (c == u',')
            cells.append(std::exchange(cell, QString()));
        else
            cell += QChar(c);
    }
    if (inQuotes)
        return std::nullopt;
    if (lineHasText) {
        cells.append(cell);
        rows.append(cells);
    }
    return rows;
}

Result<QList<MetadataRecord>> parseCSV(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return csvFailure(QStringLiteral("the text is not UTF-8."));
    const auto rows = csvRows(text);
    if (!rows)
        return csvFailure(QStringLiteral("a quoted field is never closed."));
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

int applyRecords(const QList<MetadataRecord> &records, BookmarkList &bookmarks)
{
    BookmarkMatcher matcher(bookmarks);
    int found = 0;
    for (const MetadataRecord &record : records) {
        const auto index = matcher.find(record);
        if (!index)
            continue;
        apply(record, bookmarks[*index]);
        ++found;
    }
    return found;
}

Result<int> importFile(const QString &path, BookmarkList &bookmarks)
{
    const StateFile::ReadResult file = StateFile::read(path);
    if (file.status != StateFile::ReadStatus::Ok)
        return Result<int>::failure(
            QStringLiteral("Could not read the file %1.").arg(QFileInfo(path).fileName()));
    const bool isJson = QFileInfo(path).suffix().toLower() == QLatin1String("json");
    const auto records = isJson ? parseJSON(file.bytes) : parseCSV(file.bytes);
    if (!records)
        return records.error();
    return applyRecords(records.value(), bookmarks);
}

} // namespace MetadataImport
