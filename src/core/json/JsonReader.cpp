#include "core/json/JsonReader.h"

#include "core/text/TextUtils.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace json {

namespace {

QString indexed(const QString &path, qsizetype index)
{
    if (index < 0)
        return path;
    return path + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

// Where the text of a string value lies.
enum class TextPlace { document, parserBuffer };

// The UTF-8 text of a string value. A string without escapes (nearly every one) is taken where it stands
// in the document, valid as long as the document's bytes; the parser unescapes the others into its own
// buffer, which would otherwise grow by the whole text of a large file, valid only until the parser
// reads the next document or part (it reuses that buffer, and frees it to make a larger one). The parser
// checked the document's UTF-8 and its string bounds when it opened it.
bool stringText(od::value &value, std::string_view &out, TextPlace *place = nullptr)
{
    std::string_view token = value.raw_json_token();
    while (!token.empty() && std::isspace(static_cast<unsigned char>(token.back())))
        token.remove_suffix(1);
    if (token.size() >= 2 && token.front() == '"' && token.back() == '"') {
        const std::string_view inner = token.substr(1, token.size() - 2);
        if (std::none_of(inner.begin(), inner.end(),
                         [](char c) { return c == '\\' || static_cast<unsigned char>(c) < 0x20; })) {
            out = inner;
            if (place)
                *place = TextPlace::document;
            return true;
        }
    }
    if (place)
        *place = TextPlace::parserBuffer;
    return value.get_string().get(out) == simdjson::SUCCESS;
}

// Each returns nothing on success, or what was wrong.
const char *toString(od::value &value, QString &out)
{
    std::string_view text;
    if (!stringText(value, text))
        return "expected a string";
    out = TextUtils::utf8Text(QByteArrayView(text.data(), qsizetype(text.size())));
    return nullptr;
}

const char *toPooledString(od::value &value, QString &out, TextPool &pool)
{
    std::string_view text;
    TextPlace place = TextPlace::document;
    if (!stringText(value, text, &place))
        return "expected a string";
    out = place == TextPlace::document ? pool.text(text) : pool.copiedText(text);
    return nullptr;
}

const char *toInteger(od::value &value, qint64 &out)
{
    od::json_type type;
    if (value.type().get(type) != simdjson::SUCCESS || type != od::json_type::number)
        return "expected an integer";
    od::number_type numberType;
    if (value.get_number_type().get(numberType) != simdjson::SUCCESS)
        return "integer out of range";
    switch (numberType) {
    case od::number_type::signed_integer: {
        int64_t n = 0;
        if (value.get_int64().get(n) != simdjson::SUCCESS)
            return "integer out of range";
        out = n;
        return nullptr;
    }
    case od::number_type::floating_point_number: {
        // 12.0 is the integer 12; 12.5 or 1e30 is no integer.
        double d = 0;
        if (value.get_double().get(d) != simdjson::SUCCESS)
            return "number out of range";
        if (std::trunc(d) == d && d >= -9.2233720368547758e18 && d < 9.2233720368547758e18) {
            out = qint64(d);
            return nullptr;
        }
        return "number is not an integer in range";
    }
    default:
        return "integer out of range";
    }
}

const char *toNumber(od::value &value, double &out)
{
    od::json_type type;
    if (value.type().get(type) != simdjson::SUCCESS || type != od::json_type::number)
        return "expected a number";
    if (value.get_double().get(out) != simdjson::SUCCESS || !std::isfinite(out))
        return "number out of range";
    return nullptr;
}

const char *toBool(od::value &value, bool &out)
{
    if (value.get_bool().get(out) != simdjson::SUCCESS)
        return "expected true or false";
    return nullptr;
}

const char *toStringList(od::value &value, QStringList &out)
{
    od::array array;
    if (value.get_array().get(array) != simdjson::SUCCESS)
        return "expected an array of strings";
    for (auto item : array) {
        od::value element;
        if (item.get(element) != simdjson::SUCCESS)
            return "malformed array";
        QString text;
        if (toString(element, text))
            return "expected an array of strings";
        out.append(std::move(text));
    }
    return nullptr;
}

const char *toValue(od::value &value, QString &out)
{
    return toString(value, out);
}
const char *toValue(od::value &value, qint64 &out)
{
    return toInteger(value, out);
}
const char *toValue(od::value &value, double &out)
{
    return toNumber(value, out);
}
const char *toValue(od::value &value, bool &out)
{
    return toBool(value, out);
}
const char *toValue(od::value &value, QStringList &out)
{
    return toStringList(value, out);
}

bool report(const char *what, DecodeStatus &status, const QString &path)
{
    if (what)
        status.fail(path, QString::fromLatin1(what));
    return !what;
}

} // namespace

bool JsonDocument::open(const QByteArray &bytes, DecodeStatus &status)
{
    m_bytes = bytes;
    const size_t length = size_t(bytes.size());
    simdjson::padded_string_view view;
    if (size_t(bytes.capacity()) >= length + simdjson::SIMDJSON_PADDING) {
        // The buffer was read with room to spare: parse it in place.
        view = simdjson::padded_string_view(bytes.constData(), length, size_t(bytes.capacity()));
    } else {
        m_copy = simdjson::padded_string(bytes.constData(), length);
        view = m_copy;
    }
    m_paddedEnd = view.data() + view.capacity();
    return iterate(view, status);
}

bool JsonDocument::openPart(const JsonDocument &whole, std::string_view part, DecodeStatus &status)
{
    // The rest of the whole text and its padding follow the part: the parser may read into them.
    m_paddedEnd = whole.m_paddedEnd;
    return iterate(simdjson::padded_string_view(part.data(), part.size(), size_t(m_paddedEnd - part.data())),
                   status);
}

bool JsonDocument::iterate(simdjson::padded_string_view view, DecodeStatus &status)
{
    if (const auto code = m_parser.iterate(view).get(m_document); code != simdjson::SUCCESS) {
        status.fail(QString(), code);
        return false;
    }
    return true;
}

static bool rootResult(simdjson::error_code code, const char *expected, DecodeStatus &status)
{
    if (code == simdjson::INCORRECT_TYPE)
        status.fail(QString(), QString::fromLatin1(expected));
    else if (code != simdjson::SUCCESS)
        status.fail(QString(), code);
    return code == simdjson::SUCCESS;
}

bool JsonDocument::rootObject(od::object &object, DecodeStatus &status)
{
    return rootResult(m_document.get_object().get(object), "expected an object", status);
}

bool JsonDocument::rootArray(od::array &array, DecodeStatus &status)
{
    return rootResult(m_document.get_array().get(array), "expected an array", status);
}

bool JsonDocument::rootValue(od::value &value, DecodeStatus &status)
{
    return rootResult(m_document.get_value().get(value), "expected a value", status);
}

bool JsonDocument::finish(DecodeStatus &status)
{
    // This parser version cannot tell where the root value ended, so look at the text: whatever is
    // appended after the root's closing bracket would have to end in another bracket. (Read through a
    // const view: the bytes are shared with the caller, and a write access would copy them all.)
    if (status.ok()) {
        const QByteArrayView bytes(m_bytes);
        qsizetype end = bytes.size();
        while (end > 0 && std::isspace(static_cast<unsigned char>(bytes[end - 1])))
            --end;
        if (end == 0 || (bytes[end - 1] != '}' && bytes[end - 1] != ']'))
            status.fail(QString(), QStringLiteral("unexpected content after the document"));
    }
    return status.ok();
}

QString TextPool::text(std::string_view utf8)
{
    const QByteArrayView bytes(utf8.data(), qsizetype(utf8.size()));
    auto found = m_texts.constFind(bytes);
    if (found == m_texts.cend())
        found = m_texts.insert(bytes, TextUtils::utf8Text(bytes));
    return *found;
}

QString TextPool::copiedText(std::string_view utf8)
{
    const QByteArrayView bytes(utf8.data(), qsizetype(utf8.size()));
    if (const auto found = m_texts.constFind(bytes); found != m_texts.cend())
        return *found;
    // The copy's bytes stay where they are while the list of copies grows.
    const QByteArray &key = m_copiedKeys.emplaceBack(bytes.toByteArray());
    return *m_texts.insert(QByteArrayView(key), TextUtils::utf8Text(key));
}

ObjectReader::ObjectReader(od::object object, DecodeStatus &status, QString path, qsizetype index)
    : m_object(object), m_status(status), m_path(std::move(path)), m_index(index)
{
}

ObjectReader::ObjectReader(od::value value, DecodeStatus &status, QString path, qsizetype index)
    : m_status(status), m_path(std::move(path)), m_index(index)
{
    if (value.get_object().get(m_object) != simdjson::SUCCESS)
        m_status.fail(this->path(), QStringLiteral("expected an object"));
}

QString ObjectReader::path() const
{
    return indexed(m_path, m_index);
}

QString ObjectReader::pathOf(std::string_view key) const
{
    const QString name = QString::fromUtf8(key.data(), qsizetype(key.size()));
    const QString base = path();
    return base.isEmpty() ? name : base + QLatin1Char('.') + name;
}

ObjectReader::Presence ObjectReader::find(std::string_view key, od::value &value)
{
    // Our own files list the keys in the order they are asked for, so a search from where the last
    // one stopped finds each right away; any other order is found by a second search from the start.
    // (The parser's own unordered search checks nothing on its way round: a malformed document leads
    // it into undefined behaviour. These two searches check every step.)
    auto code = m_object.find_field(key).get(value);
    if (code == simdjson::NO_SUCH_FIELD) {
        bool any = false;
        code = m_object.reset().get(any);
        if (code == simdjson::SUCCESS)
            code = any ? m_object.find_field(key).get(value) : simdjson::NO_SUCH_FIELD;
    }
    if (code == simdjson::NO_SUCH_FIELD)
        return Presence::Missing;
    if (code != simdjson::SUCCESS) {
        m_status.fail(pathOf(key), code);
        return Presence::Broken;
    }
    // A value that starts like null but is not (n, nul, nan) is no JSON value at all.
    bool isNull = false;
    if (const auto nullCode = value.is_null().get(isNull); nullCode != simdjson::SUCCESS) {
        m_status.fail(pathOf(key), nullCode);
        return Presence::Broken;
    }
    return isNull ? Presence::Null : Presence::Present;
}

bool ObjectReader::require(std::string_view key, od::value &value)
{
    if (!ok())
        return false;
    switch (find(key, value)) {
    case Presence::Missing:
        m_status.fail(pathOf(key), QStringLiteral("missing"));
        return false;
    case Presence::Null:
        m_status.fail(pathOf(key), QStringLiteral("null where a value is required"));
        return false;
    case Presence::Broken:
        return false;
    case Presence::Present:
        break;
    }
    return true;
}

template <typename T> bool ObjectReader::convert(od::value &value, T &out, std::string_view key)
{
    if (const char *what = toValue(value, out)) {
        m_status.fail(pathOf(key), QString::fromLatin1(what));
        return false;
    }
    return true;
}

void ObjectReader::convertPooled(od::value &value, QString &out, TextPool &pool, std::string_view key)
{
    if (const char *what = toPooledString(value, out, pool))
        m_status.fail(pathOf(key), QString::fromLatin1(what));
}

void ObjectReader::required(std::string_view key, QString &out)
{
    od::value value;
    if (require(key, value))
        convert(value, out, key);
}

void ObjectReader::required(std::string_view key, QString &out, TextPool &pool)
{
    od::value value;
    if (require(key, value))
        convertPooled(value, out, pool, key);
}

void ObjectReader::required(std::string_view key, qint64 &out)
{
    od::value value;
    if (require(key, value))
        convert(value, out, key);
}

void ObjectReader::required(std::string_view key, double &out)
{
    od::value value;
    if (require(key, value))
        convert(value, out, key);
}

void ObjectReader::required(std::string_view key, bool &out)
{
    od::value value;
    if (require(key, value))
        convert(value, out, key);
}

std::optional<od::array> ObjectReader::requiredArray(std::string_view key)
{
    od::value value;
    if (!require(key, value))
        return std::nullopt;
    od::array array;
    if (value.get_array().get(array) != simdjson::SUCCESS) {
        m_status.fail(pathOf(key), QStringLiteral("expected an array"));
        return std::nullopt;
    }
    return array;
}

std::optional<od::object> ObjectReader::requiredObject(std::string_view key)
{
    od::value value;
    if (!require(key, value))
        return std::nullopt;
    return objectAt(value, key);
}

std::optional<od::object> ObjectReader::objectAt(od::value &value, std::string_view key)
{
    od::object object;
    if (value.get_object().get(object) != simdjson::SUCCESS) {
        m_status.fail(pathOf(key), QStringLiteral("expected an object"));
        return std::nullopt;
    }
    return object;
}

std::optional<od::object> ObjectReader::optionalObject(std::string_view key)
{
    od::value value;
    if (!ok() || find(key, value) != Presence::Present)
        return std::nullopt;
    return objectAt(value, key);
}

void ObjectReader::optional(std::string_view key, QString &out)
{
    od::value value;
    if (ok() && find(key, value) == Presence::Present)
        convert(value, out, key);
}

void ObjectReader::optional(std::string_view key, QString &out, TextPool &pool)
{
    od::value value;
    if (ok() && find(key, value) == Presence::Present)
        convertPooled(value, out, pool, key);
}

void ObjectReader::optional(std::string_view key, qint64 &out)
{
    od::value value;
    if (ok() && find(key, value) == Presence::Present)
        convert(value, out, key);
}

template <typename T> void ObjectReader::readOptional(std::string_view key, std::optional<T> &out)
{
    od::value value;
    if (!ok() || find(key, value) != Presence::Present)
        return;
    T read{};
    if (convert(value, read, key))
        out = std::move(read);
}

void ObjectReader::optional(std::string_view key, std::optional<QString> &out)
{
    readOptional(key, out);
}

void ObjectReader::optional(std::string_view key, std::optional<qint64> &out)
{
    readOptional(key, out);
}

void ObjectReader::optional(std::string_view key, std::optional<double> &out)
{
    readOptional(key, out);
}

void ObjectReader::optional(std::string_view key, std::optional<QStringList> &out)
{
    readOptional(key, out);
}

void ObjectReader::lenient(std::string_view key, std::optional<double> &out)
{
    od::value value;
    if (!ok() || find(key, value) != Presence::Present)
        return;
    double number = 0;
    qint64 integer = 0;
    if (!toNumber(value, number))
        out = number;
    else if (!toInteger(value, integer))
        out = double(integer);
}

bool readString(od::value &value, QString &out, DecodeStatus &status, const QString &path)
{
    return report(toString(value, out), status, path);
}

bool readInteger(od::value &value, qint64 &out, DecodeStatus &status, const QString &path)
{
    return report(toInteger(value, out), status, path);
}

bool readNumber(od::value &value, double &out, DecodeStatus &status, const QString &path)
{
    return report(toNumber(value, out), status, path);
}

bool readArray(od::value &value, od::array &out, DecodeStatus &status, const QString &path)
{
    return report(value.get_array().get(out) == simdjson::SUCCESS ? nullptr : "expected an array", status,
                  path);
}

bool element(simdjson::simdjson_result<od::value> item, od::value &out, DecodeStatus &status,
             const QString &path, qsizetype index)
{
    if (const auto code = item.get(out); code != simdjson::SUCCESS) {
        status.fail(indexed(path, index), code);
        return false;
    }
    return true;
}

} // namespace json
