#pragma once

// Internal to lyrafold_core: the simdjson types stay inside the library, and the other layers decode
// through the codecs' functions. The library's own sources define LYRAFOLD_CORE_INTERNAL.
#ifndef LYRAFOLD_CORE_INTERNAL
#error "core/json/JsonReader.h is internal to lyrafold_core: decode through the codecs' functions"
#endif

// Strict decoding on top of simdjson's on-demand parser, shared by every codec of this library
// (internal header: the simdjson types do not leave the core library).
//
// The rules: a required key that is missing, or any key whose value has the wrong JSON type, fails
// the whole document; an optional key that is missing or null keeps its default; unknown keys are
// ignored. The first failure is kept with the path of the value that caused it.
//
// The on-demand parser reads values as they are asked for, so values must be taken in document
// order within each container: read an object's keys, or iterate an array, before moving on.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <simdjson.h>

#include <QHash>

#include <optional>
#include <string_view>

namespace json {

namespace od = simdjson::ondemand;

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
    void fail(const QString &path, simdjson::error_code code)
    {
        fail(path, QString::fromUtf8(simdjson::error_message(code)));
    }

private:
    QString m_error;
};

class JsonDocument {
public:
    // Starts reading bytes, which must outlive this object. Syntax errors may surface only as values
    // are read; finish() checks that nothing but white space follows the root value.
    bool open(const QByteArray &bytes, DecodeStatus &status);
    // Starts reading a value that lies in the text of another open document (an element's raw_json()),
    // where it stands; whole must stay open meanwhile. Each call drops the value read before.
    bool openPart(const JsonDocument &whole, std::string_view part, DecodeStatus &status);
    bool rootObject(od::object &object, DecodeStatus &status);
    bool rootArray(od::array &array, DecodeStatus &status);
    bool rootValue(od::value &value, DecodeStatus &status);
    bool finish(DecodeStatus &status);

private:
    bool iterate(simdjson::padded_string_view view, DecodeStatus &status);

    QByteArray m_bytes;
    od::parser m_parser;
    simdjson::padded_string m_copy;
    // The end of the readable padding after the text being read.
    const char *m_paddedEnd = nullptr;
    od::document m_document;
};

// One shared copy of each text that repeats over the rows of a document (a book's path and file name
// on every song of it, a genre on thousands of them): each distinct text is decoded once and the rows
// share it. Keyed by the bytes of the document being read, so it must not outlive that document; a
// text that does not lie there (a string with escapes, unescaped into the parser's own buffer, which
// the next value or the next part read overwrites) is keyed by a copy the pool keeps.
class TextPool {
public:
    // utf8 lies in the bytes of the document, which stay as they are while the pool lives.
    QString text(std::string_view utf8);
    // utf8 lies in memory that may change or go once the next value is read.
    QString copiedText(std::string_view utf8);

private:
    QHash<QByteArrayView, QString> m_texts;
    QList<QByteArray> m_copiedKeys;
};

// Reads the members of one JSON object by key.
class ObjectReader {
public:
    // The object's path, for messages, is path, or path[index] for an array element; it is only
    // spelled out when something fails.
    ObjectReader(od::object object, DecodeStatus &status, QString path = {}, qsizetype index = -1);
    // Fails the status when value is not an object.
    ObjectReader(od::value value, DecodeStatus &status, QString path = {}, qsizetype index = -1);

    bool ok() const { return m_status.ok(); }
    QString path() const;
    QString pathOf(std::string_view key) const;

    void required(std::string_view key, QString &out);
    void required(std::string_view key, QString &out, TextPool &pool);
    void required(std::string_view key, qint64 &out);
    void required(std::string_view key, double &out);
    // Only JSON true and false: 0 and 1 are numbers, not truth values.
    void required(std::string_view key, bool &out);
    std::optional<od::array> requiredArray(std::string_view key);
    std::optional<od::object> requiredObject(std::string_view key);

    // Missing or null leaves out as it is.
    void optional(std::string_view key, QString &out);
    void optional(std::string_view key, QString &out, TextPool &pool);
    void optional(std::string_view key, qint64 &out);
    void optional(std::string_view key, std::optional<QString> &out);
    void optional(std::string_view key, std::optional<qint64> &out);
    void optional(std::string_view key, std::optional<double> &out);
    // An array of strings; any other value fails.
    void optional(std::string_view key, std::optional<QStringList> &out);
    // An object; any other value fails.
    std::optional<od::object> optionalObject(std::string_view key);

    // Takes a number when there is one and otherwise leaves out as it is; never fails the document.
    void lenient(std::string_view key, std::optional<double> &out);

private:
    enum class Presence { Missing, Null, Present, Broken };
    Presence find(std::string_view key, od::value &value);
    bool require(std::string_view key, od::value &value);
    std::optional<od::object> objectAt(od::value &value, std::string_view key);
    template <typename T> bool convert(od::value &value, T &out, std::string_view key);
    void convertPooled(od::value &value, QString &out, TextPool &pool, std::string_view key);
    template <typename T> void readOptional(std::string_view key, std::optional<T> &out);

    od::object m_object;
    DecodeStatus &m_status;
    QString m_path;
    qsizetype m_index = -1;
};

// Value conversions with type checks; each fails status at path on a wrong type.
bool readString(od::value &value, QString &out, DecodeStatus &status, const QString &path);
bool readInteger(od::value &value, qint64 &out, DecodeStatus &status, const QString &path);
bool readNumber(od::value &value, double &out, DecodeStatus &status, const QString &path);
bool readArray(od::value &value, od::array &out, DecodeStatus &status, const QString &path);

// The next element of an array being iterated, or a failure at path[index].
bool element(simdjson::simdjson_result<od::value> item, od::value &out, DecodeStatus &status,
             const QString &path, qsizetype index);

} // namespace json
