#pragma once

// Strict decoding on top of simdjson, shared by every codec of this library (internal header: the
// simdjson types do not leave the core library).
//
// The rules: a required key that is missing, or any key whose value has the wrong JSON type, fails
// the whole document; an optional key that is missing or null keeps its default; unknown keys are
// ignored. The first failure is kept with the path of the value that caused it.

#include <QByteArray>
#include <QString>

#include <simdjson.h>

#include <optional>
#include <string_view>

namespace json {

class JsonDocument {
public:
    // Parses bytes; false on a syntax error (see error()).
    bool parse(const QByteArray &bytes);
    simdjson::dom::element root() const { return m_root; }
    const QString &error() const { return m_error; }

private:
    simdjson::dom::parser m_parser;
    simdjson::dom::element m_root;
    QString m_error;
};

// Collects the first decoding failure of one document.
class DecodeStatus {
public:
    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    void fail(const QString &path, const QString &what)
    {
        if (m_error.isEmpty())
            m_error = path.isEmpty() ? what : path + QStringLiteral(": ") + what;
    }

private:
    QString m_error;
};

// Reads the members of one JSON object by key.
class ObjectReader {
public:
    // Fails the status when element is not an object. The object's path, for messages, is path, or
    // path[index] for an array element; it is only spelled out when something fails.
    ObjectReader(simdjson::dom::element element, DecodeStatus &status, QString path = {},
                 qsizetype index = -1);

    bool ok() const { return m_status.ok(); }
    DecodeStatus &status() { return m_status; }
    QString path() const;
    QString pathOf(std::string_view key) const;

    void required(std::string_view key, QString &out);
    void required(std::string_view key, qint64 &out);
    void required(std::string_view key, double &out);
    std::optional<simdjson::dom::array> requiredArray(std::string_view key);
    std::optional<simdjson::dom::object> requiredObject(std::string_view key);

    // Missing or null leaves out as it is.
    void optional(std::string_view key, QString &out);
    void optional(std::string_view key, qint64 &out);
    void optional(std::string_view key, std::optional<QString> &out);
    void optional(std::string_view key, std::optional<qint64> &out);
    void optional(std::string_view key, std::optional<double> &out);

private:
    enum class Presence { Missing, Null, Present };
    Presence find(std::string_view key, simdjson::dom::element &value) const;
    bool require(std::string_view key, simdjson::dom::element &value);
    template <typename T>
    bool convert(simdjson::dom::element value, T &out, std::string_view key);

    simdjson::dom::object m_object;
    DecodeStatus &m_status;
    QString m_path;
    qsizetype m_index = -1;
};

// Value conversions with type checks; each fails status at path on a wrong type.
bool readString(simdjson::dom::element value, QString &out, DecodeStatus &status, const QString &path);
bool readInteger(simdjson::dom::element value, qint64 &out, DecodeStatus &status, const QString &path);
bool readNumber(simdjson::dom::element value, double &out, DecodeStatus &status, const QString &path);

} // namespace json
