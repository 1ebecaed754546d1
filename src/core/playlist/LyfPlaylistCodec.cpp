#include "core/playlist/LyfPlaylistCodec.h"

#include "core/common/InputFile.h"
#include "core/common/UiText.h"
#include "core/json/JsonWriter.h"
#include "core/text/TextUtils.h"

#include <QFileInfo>
#include <QLocale>

#include <simdjson.h>

#include <cmath>
#include <initializer_list>
#include <string_view>

namespace dom = simdjson::dom;

namespace {

constexpr std::string_view marker = "lyrafold_playlist_bundle";

Result<QList<Playlist>> refuse(LyfPlaylistCodec::ReadError error, const QString &message)
{
    return Result<QList<Playlist>>::failure(message, int(error));
}

// A file that is no playlist bundle: the user learns which file and what that means before the
// reader's own words, which say what exactly is wrong.
Result<QList<Playlist>> refuseContents(int code, const QString &fileName, const QString &detail)
{
    const QString file =
        fileName.isEmpty() ? UiText::tr("This file") : QStringLiteral("\u201C%1\u201D").arg(fileName);
    return Result<QList<Playlist>>::failure(
        UiText::tr("%1 is damaged or is not a playlist file.").arg(file) + QLatin1Char(' ') + detail, code);
}

Result<QList<Playlist>> refuse(LyfPlaylistCodec::CodecError error, const QString &fileName)
{
    return refuseContents(int(error), fileName, LyfPlaylistCodec::errorDescription(error));
}

QString tooLargeMessage()
{
    return UiText::tr("This playlist file is too large to open (over 16 MB).");
}

// What a refusal calls the file: its name in quotes, or "This playlist file".
QString fileLabel(const QString &fileName)
{
    return fileName.isEmpty() ? UiText::tr("This playlist file")
                              : QStringLiteral("\u201C%1\u201D").arg(fileName);
}

QString formatted(qsizetype count)
{
    return QLocale(QLocale::English).toString(qint64(count));
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::optional<QString> stringAt(const dom::object &object, std::string_view key)
{
    std::string_view text;
    if (object[key].get_string().get(text) != simdjson::SUCCESS)
        return std::nullopt;
    return fromUtf8(text);
}

// The first of the keys that holds a string, even an empty one.
QString firstStringAt(const dom::object &object, std::initializer_list<std::string_view> keys)
{
    for (std::string_view key : keys) {
        if (auto text = stringAt(object, key))
            return *text;
    }
    return {};
}

enum class NumberRead { NotANumber, Value, OutOfRange };

// A number's value when it is a whole number, else its integer part. A number beyond the 64-bit range
// is reported, not converted: converting it would be undefined.
NumberRead integerPart(const dom::element &element, qint64 &out)
{
    switch (element.type()) {
    case dom::element_type::INT64:
        out = element.get_int64().value_unsafe();
        return NumberRead::Value;
    case dom::element_type::UINT64:
        return NumberRead::OutOfRange;
    case dom::element_type::DOUBLE: {
        const double whole = std::trunc(element.get_double().value_unsafe());
        if (!(whole >= -9.2233720368547758e18 && whole < 9.2233720368547758e18))
            return NumberRead::OutOfRange;
        out = qint64(whole);
        return NumberRead::Value;
    }
    default:
        return NumberRead::NotANumber;
    }
}

// A number under key read by integerPart(); fallback when it is missing, not a number or out of range.
qint64 integerAt(const dom::object &object, std::string_view key, qint64 fallback)
{
    dom::element element;
    qint64 value = 0;
    if (object[key].get(element) != simdjson::SUCCESS || integerPart(element, value) != NumberRead::Value)
        return fallback;
    return value;
}

qint64 pageFromText(const QString &text)
{
    return TextUtils::wholeNumber(TextUtils::trimmed(text)).value_or(1);
}

// A "page" text decides, even when it does not read; then a "pageNumber" text; then the numbers.
qint64 pageOf(const dom::object &object)
{
    for (std::string_view key : {"page", "pageNumber"}) {
        if (auto text = stringAt(object, key))
            return pageFromText(*text);
    }
    for (std::string_view key : {"page", "pageNumber"}) {
        dom::element element;
        qint64 value = 0;
        if (object[key].get(element) != simdjson::SUCCESS)
            continue;
        switch (integerPart(element, value)) {
        case NumberRead::Value:
            return value;
        case NumberRead::OutOfRange:
            return 1;
        case NumberRead::NotANumber:
            break;
        }
    }
    return 1;
}

// Names and titles are shown in lists and window titles.
QString displayText(const QString &text)
{
    return TextUtils::foldedTitle(text);
}

// The name after the last slash, as a file path's last component.
QString lastPathComponent(const QString &path)
{
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == QLatin1Char('/'))
        --end;
    const QStringView trimmedPath = QStringView(path).left(end);
    if (trimmedPath == u"/")
        return QStringLiteral("/");
    return trimmedPath.sliced(trimmedPath.lastIndexOf(QLatin1Char('/')) + 1).toString();
}

PlaylistItem playlistItem(const dom::object &object)
{
    PlaylistItem item;
    item.title = displayText(stringAt(object, "title").value_or(QString()));
    QString book = firstStringAt(object, {"bookOrList", "bookName", "pdfFileName", "book"});
    QString path = firstStringAt(object, {"sourcePath", "pdfFilePath", "path"});
    if (book.isEmpty() && !path.isEmpty())
        book = lastPathComponent(path);
    // The book text is the item's one free text besides its title: it stands in the book column, and is
    // cleaned before it is looked at, so that the item reads back from the file written for it as it was
    // read (a book text of control characters before a "/" is that path once they are gone).
    book = TextUtils::fieldText(book);
    // A relative path would be resolved against whatever folder the application runs in: it counts as
    // missing, so the book text stands in for it as for a missing path, and without an absolute one
    // the title is found again by its book.
    if (!path.startsWith(QLatin1Char('/')))
        path = book.startsWith(QLatin1Char('/')) ? book : QString();
    item.pdfFileName = book;
    item.pdfFilePath = path;
    item.pageNumber = qMax<qint64>(pageOf(object), 1);
    item.level = 0;
    item.totalPages = integerAt(object, "totalPages", 0);
    item.pageSpan = qMax<qint64>(integerAt(object, "pageSpan", 1), 1);
    return item;
}

// An array whose elements are all objects.
bool objectArray(dom::element element, dom::array &array)
{
    if (element.get_array().get(array) != simdjson::SUCCESS)
        return false;
    for (dom::element child : array) {
        if (!child.is_object())
            return false;
    }
    return true;
}

bool versionIsOne(dom::element element)
{
    qint64 version = 0;
    return integerPart(element, version) == NumberRead::Value && version == 1;
}

} // namespace

namespace LyfPlaylistCodec {

QString errorDescription(CodecError error)
{
    switch (error) {
    case CodecError::invalidRoot:
        return UiText::tr("Not a valid Lyrafold playlist file.");
    case CodecError::missingMagic:
        return UiText::tr("Not a Lyrafold playlist bundle.");
    case CodecError::badVersion:
        return UiText::tr("Unsupported Lyrafold playlist version.");
    case CodecError::missingPlaylists:
        return UiText::tr("Missing playlists in file.");
    case CodecError::invalidPlaylist:
        return UiText::tr("Invalid playlist data.");
    }
    return {};
}

QByteArray encodeBundle(const QString &playlistName, const QList<PlaylistItem> &items,
                        const QDateTime &exportedAt)
{
    json::JsonWriter w(1024 + items.size() * 300, json::JsonWriter::Layout::Indented);
    w.beginObject();
    w.key("lyrafoldFile");
    w.value(marker);
    w.key("version");
    w.value(1);
    w.key("exportedAt");
    w.value(exportedAt.toUTC().toString(Qt::ISODate));
    w.key("playlists");
    w.beginArray();
    w.beginObject();
    w.key("name");
    w.value(playlistName);
    w.key("items");
    w.beginArray();
    for (const PlaylistItem &item : items) {
        w.beginObject();
        w.key("title");
        w.value(item.title);
        w.key("bookOrList");
        w.value(item.pdfFileName);
        w.key("page");
        w.value(QString::number(item.pageNumber));
        w.key("sourcePath");
        w.value(item.pdfFilePath);
        w.key("totalPages");
        w.value(item.totalPages);
        w.key("pageSpan");
        w.value(qMax<qint64>(item.pageSpan, 1));
        w.endObject();
    }
    w.endArray();
    w.endObject();
    w.endArray();
    w.endObject();
    return w.take();
}

Result<QList<Playlist>> decodeBundle(const QByteArray &data, const QString &fileName)
{
    if (data.size() > maxFileSize)
        return refuse(ReadError::tooLarge, tooLargeMessage());

    dom::parser parser;
    dom::element root;
    if (const auto code = parser.parse(data.constData(), size_t(data.size())).get(root);
        code != simdjson::SUCCESS)
        return refuseContents(int(ReadError::notJson), fileName,
                              UiText::tr("Not valid JSON: %1").arg(fromUtf8(simdjson::error_message(code))));
    if (!root.is_object() && !root.is_array())
        return refuseContents(int(ReadError::notJson), fileName,
                              UiText::tr("Not valid JSON: the top level is neither an object nor an array."));

    dom::object bundle;
    if (root.get_object().get(bundle) != simdjson::SUCCESS)
        return refuse(CodecError::invalidRoot, fileName);
    std::string_view magic;
    if (bundle["lyrafoldFile"].get_string().get(magic) != simdjson::SUCCESS || magic != marker)
        return refuse(CodecError::missingMagic, fileName);
    dom::element version;
    if (bundle["version"].get(version) != simdjson::SUCCESS || !versionIsOne(version))
        return refuse(CodecError::badVersion, fileName);
    dom::element playlistsValue;
    dom::array playlists;
    if (bundle["playlists"].get(playlistsValue) != simdjson::SUCCESS ||
        !objectArray(playlistsValue, playlists))
        return refuse(CodecError::missingPlaylists, fileName);

    // Counted on the parsed document, before a single item is made.
    const auto tooMany = [&fileName](const char *sentence, qsizetype bound) {
        return refuse(ReadError::tooMany, UiText::tr(sentence).arg(fileLabel(fileName), formatted(bound)));
    };
    if (qsizetype(playlists.size()) > maxPlaylists)
        return tooMany("%1 holds more than %2 playlists, the most a playlist file may hold.", maxPlaylists);
    QList<dom::array> itemArrays;
    itemArrays.reserve(qsizetype(playlists.size()));
    QList<std::string_view> names;
    names.reserve(qsizetype(playlists.size()));
    qsizetype itemCount = 0;
    for (dom::element element : playlists) {
        const dom::object object = element.get_object().value_unsafe();
        std::string_view name;
        dom::element itemsValue;
        dom::array items;
        if (object["name"].get_string().get(name) != simdjson::SUCCESS ||
            object["items"].get(itemsValue) != simdjson::SUCCESS || !objectArray(itemsValue, items))
            return refuse(CodecError::invalidPlaylist, fileName);
        const auto count = qsizetype(items.size());
        if (count > maxItemsPerPlaylist)
            return tooMany("%1 holds more than %2 titles in one playlist, the most a playlist file may hold.",
                           maxItemsPerPlaylist);
        itemCount += count;
        if (itemCount > maxItems)
            return tooMany("%1 holds more than %2 titles, the most a playlist file may hold.", maxItems);
        names.append(name);
        itemArrays.append(items);
    }

    QList<Playlist> result;
    result.reserve(names.size());
    for (qsizetype p = 0; p < names.size(); ++p) {
        Playlist playlist{displayText(fromUtf8(names.at(p))), {}};
        playlist.items.reserve(qsizetype(itemArrays.at(p).size()));
        for (dom::element item : itemArrays.at(p))
            playlist.items.append(playlistItem(item.get_object().value_unsafe()));
        result.append(std::move(playlist));
    }
    return result;
}

Result<QList<Playlist>> readBundleFile(const QString &path)
{
    const InputFile::Contents file = InputFile::read(path, maxFileSize);
    if (file.status == InputFile::Status::tooLarge)
        return refuse(ReadError::tooLarge, tooLargeMessage());
    if (file.status != InputFile::Status::ok)
        return refuse(ReadError::unreadable, UiText::tr("Could not read the file %1: %2")
                                                 .arg(fileLabel(QFileInfo(path).fileName()), file.reason));
    return decodeBundle(file.bytes, QFileInfo(path).fileName());
}

} // namespace LyfPlaylistCodec
