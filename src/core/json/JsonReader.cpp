#include "json/JsonReader.h"

#include <cmath>
#include <cstring>

namespace json {

namespace {

// Each returns nothing on success, or what was wrong.
const char *toString(simdjson::dom::element value, QString &out)
{
    std::string_view text;
    if (value.get(text) != simdjson::SUCCESS)
        return "expected a string";
    out = QString::fromUtf8(text.data(), qsizetype(text.size()));
    return nullptr;
}

const char *toInteger(simdjson::dom::element value, qint64 &out)
{
    switch (value.type()) {
    case simdjson::dom::element_type::INT64:
        out = int64_t(value);
        return nullptr;
    case simdjson::dom::element_type::DOUBLE: {
        // 12.0 is the integer 12; 12.5 or 1e30 is no integer.
        const double d = double(value);
        if (std::trunc(d) == d && d >= -9.2233720368547758e18 && d < 9.2233720368547758e18) {
            out = qint64(d);
            return nullptr;
        }
        return "number is not an integer in range";
    }
    case simdjson::dom::element_type::UINT64:
        return "integer out of range";
    default:
        return "expected an integer";
    }
}

const char *toNumber(simdjson::dom::element value, double &out)
{
    switch (value.type()) {
    case simdjson::dom::element_type::INT64:
        out = double(int64_t(value));
        return nullptr;
    case simdjson::dom::element_type::UINT64:
        out = double(uint64_t(value));
        return nullptr;
    case simdjson::dom::element_type::DOUBLE:
        out = double(value);
        return std::isfinite(out) ? nullptr : "number out of range";
    default:
        return "expected a number";
    }
}

const char *toValue(simdjson::dom::element value, QString &out) { return toString(value, out); }
const char *toValue(simdjson::dom::element value, qint64 &out) { return toInteger(value, out); }
const char *toValue(simdjson::dom::element value, double &out) { return toNumber(value, out); }

} // namespace


bool JsonDocument::parse(const QByteArray &bytes)
{
    const size_t length = size_t(bytes.size());
    simdjson::error_code code;
    if (size_t(bytes.capacity()) >= length + simdjson::SIMDJSON_PADDING) {
        // The buffer was read with room to spare: parse in place without another copy.
        code = m_parser.parse(bytes.constData(), length, false).get(m_root);
    } else {
        code = m_parser.parse(bytes.constData(), length, true).get(m_root);
    }
    if (code != simdjson::SUCCESS) {
        m_error = QString::fromUtf8(simdjson::error_message(code));
        return false;
    }
    return true;
}

ObjectReader::ObjectReader(simdjson::dom::element element, DecodeStatus &status, QString path,
                           qsizetype index)
    : m_status(status), m_path(std::move(path)), m_index(index)
{
    if (element.get(m_object) != simdjson::SUCCESS)
        m_status.fail(this->path(), QStringLiteral("expected an object"));
}

QString ObjectReader::path() const
{
    if (m_index < 0)
        return m_path;
    return m_path + QLatin1Char('[') + QString::number(m_index) + QLatin1Char(']');
}

template <typename T>
bool ObjectReader::convert(simdjson::dom::element value, T &out, std::string_view key)
{
    if (const char *what = toValue(value, out)) {
        m_status.fail(pathOf(key), QString::fromLatin1(what));
        return false;
    }
    return true;
}

QString ObjectReader::pathOf(std::string_view key) const
{
    const QString name = QString::fromUtf8(key.data(), qsizetype(key.size()));
    const QString base = path();
    return base.isEmpty() ? name : base + QLatin1Char('.') + name;
}

ObjectReader::Presence ObjectReader::find(std::string_view key, simdjson::dom::element &value) const
{
    if (m_object.at_key(key).get(value) != simdjson::SUCCESS)
        return Presence::Missing;
    return value.is_null() ? Presence::Null : Presence::Present;
}

bool ObjectReader::require(std::string_view key, simdjson::dom::element &value)
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
    case Presence::Present:
        break;
    }
    return true;
}

void ObjectReader::required(std::string_view key, QString &out)
{
    simdjson::dom::element value;
    if (require(key, value))
        convert(value, out, key);
}

void ObjectReader::required(std::string_view key, qint64 &out)
{
    simdjson::dom::element value;
    if (require(key, value))
        convert(value, out, key);
}

void ObjectReader::required(std::string_view key, double &out)
{
    simdjson::dom::element value;
    if (require(key, value))
        convert(value, out, key);
}

std::optional<simdjson::dom::array> ObjectReader::requiredArray(std::string_view key)
{
    simdjson::dom::element value;
    if (!require(key, value))
        return std::nullopt;
    simdjson::dom::array array;
    if (value.get(array) != simdjson::SUCCESS) {
        m_status.fail(pathOf(key), QStringLiteral("expected an array"));
        return std::nullopt;
    }
    return array;
}

std::optional<simdjson::dom::object> ObjectReader::requiredObject(std::string_view key)
{
    simdjson::dom::element value;
    if (!require(key, value))
        return std::nullopt;
    simdjson::dom::object object;
    if (value.get(object) != simdjson::SUCCESS) {
        m_status.fail(pathOf(key), QStringLiteral("expected an object"));
        return std::nullopt;
    }
    return object;
}

void ObjectReader::optional(std::string_view key, QString &out)
{
    simdjson::dom::element value;
    if (ok() && find(key, value) == Presence::Present)
        convert(value, out, key);
}

void ObjectReader::optional(std::string_view key, qint64 &out)
{
    simdjson::dom::element value;
    if (ok() && find(key, value) == Presence::Present)
        convert(value, out, key);
}

void ObjectReader::optional(std::string_view key, std::optional<QString> &out)
{
    simdjson::dom::element value;
    if (!ok() || find(key, value) != Presence::Present)
        return;
    QString text;
    if (convert(value, text, key))
        out = std::move(text);
}

void ObjectReader::optional(std::string_view key, std::optional<qint64> &out)
{
    simdjson::dom::element value;
    if (!ok() || find(key, value) != Presence::Present)
        return;
    qint64 number = 0;
    if (convert(value, number, key))
        out = number;
}

void ObjectReader::optional(std::string_view key, std::optional<double> &out)
{
    simdjson::dom::element value;
    if (!ok() || find(key, value) != Presence::Present)
        return;
    double number = 0;
    if (convert(value, number, key))
        out = number;
}

bool readString(simdjson::dom::element value, QString &out, DecodeStatus &status, const QString &path)
{
    const char *what = toString(value, out);
    if (what)
        status.fail(path, QString::fromLatin1(what));
    return !what;
}

bool readInteger(simdjson::dom::element value, qint64 &out, DecodeStatus &status, const QString &path)
{
    const char *what = toInteger(value, out);
    if (what)
        status.fail(path, QString::fromLatin1(what));
    return !what;
}

bool readNumber(simdjson::dom::element value, double &out, DecodeStatus &status, const QString &path)
{
    const char *what = toNumber(value, out);
    if (what)
        status.fail(path, QString::fromLatin1(what));
    return !what;
}

} // namespace json
