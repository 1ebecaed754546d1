#include "core/json/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace json {

JsonWriter::JsonWriter(qsizetype expectedSize, Layout layout) : m_indented(layout == Layout::Indented)
{
    m_buffer.resize(qMax<qsizetype>(expectedSize, 64));
}

char *JsonWriter::reserve(qsizetype extra)
{
    if (m_size + extra > m_buffer.size())
        m_buffer.resize(qMax(m_buffer.size() * 2, m_size + extra));
    return m_buffer.data() + m_size;
}

void JsonWriter::append(char c)
{
    *reserve(1) = c;
    ++m_size;
}

void JsonWriter::append(const char *data, qsizetype size)
{
    std::memcpy(reserve(size), data, size_t(size));
    m_size += size;
}

// Two blanks per open container.
void JsonWriter::newLine()
{
    if (!m_indented)
        return;
    const qsizetype width = 1 + 2 * qsizetype(m_hasMember.size());
    char *out = reserve(width);
    out[0] = '\n';
    std::memset(out + 1, ' ', size_t(width - 1));
    m_size += width;
}

void JsonWriter::separate()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_hasMember.empty()) {
        if (m_hasMember.back())
            append(',');
        m_hasMember.back() = true;
        newLine();
    }
}

void JsonWriter::beginObject()
{
    separate();
    append('{');
    m_hasMember.push_back(false);
}

void JsonWriter::endObject()
{
    const bool hadMember = m_hasMember.back();
    m_hasMember.pop_back();
    if (hadMember)
        newLine();
    append('}');
}

void JsonWriter::beginArray()
{
    separate();
    append('[');
    m_hasMember.push_back(false);
}

void JsonWriter::endArray()
{
    const bool hadMember = m_hasMember.back();
    m_hasMember.pop_back();
    if (hadMember)
        newLine();
    append(']');
}

void JsonWriter::key(std::string_view name)
{
    separate();
    append('"');
    append(name.data(), qsizetype(name.size()));
    append('"');
    if (m_indented)
        append(": ", 2);
    else
        append(':');
    m_afterKey = true;
}

void JsonWriter::value(const QString &text)
{
    separate();
    appendEscaped(text.constData(), text.size());
}

void JsonWriter::value(std::string_view utf8Text)
{
    value(QString::fromUtf8(utf8Text.data(), qsizetype(utf8Text.size())));
}

void JsonWriter::value(qint64 number)
{
    separate();
    char *out = reserve(24);
    const auto result = std::to_chars(out, out + 24, number);
    m_size += result.ptr - out;
}

void JsonWriter::value(double number)
{
    if (!std::isfinite(number)) {
        m_failed = true;
        nullValue();
        return;
    }
    separate();
    char *out = reserve(32);
    // Shortest text that reads back as the same double.
    const auto result = std::to_chars(out, out + 32, number);
    m_size += result.ptr - out;
}

void JsonWriter::value(bool flag)
{
    separate();
    if (flag)
        append("true", 4);
    else
        append("false", 5);
}

void JsonWriter::nullValue()
{
    separate();
    append("null", 4);
}

void JsonWriter::appendEscaped(const QChar *data, qsizetype size)
{
    static const char hex[] = "0123456789abcdef";
    // Worst case: every UTF-16 unit becomes a six-byte \u escape.
    char *out = reserve(size * 6 + 2);
    char *const start = out;
    *out++ = '"';
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = data[i].unicode();
        if (u < 0x80) {
            if (u >= 0x20 && u != '"' && u != '\\') {
                *out++ = char(u);
                continue;
            }
            *out++ = '\\';
            switch (u) {
            case '"':
                *out++ = '"';
                break;
            case '\\':
                *out++ = '\\';
                break;
            case '\n':
                *out++ = 'n';
                break;
            case '\r':
                *out++ = 'r';
                break;
            case '\t':
                *out++ = 't';
                break;
            case '\b':
                *out++ = 'b';
                break;
            case '\f':
                *out++ = 'f';
                break;
            default:
                *out++ = 'u';
                *out++ = '0';
                *out++ = '0';
                *out++ = hex[(u >> 4) & 0xF];
                *out++ = hex[u & 0xF];
            }
        } else if (u == 0xFEFF) {
            // Escaped: a reader that decodes a string's bytes alone (Qt's among them) drops a
            // byte-order mark opening them.
            for (const char c : {'\\', 'u', 'f', 'e', 'f', 'f'})
                *out++ = c;
        } else if (u < 0x800) {
            *out++ = char(0xC0 | (u >> 6));
            *out++ = char(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && i + 1 < size && data[i + 1].isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(u, data[i + 1].unicode());
            ++i;
            *out++ = char(0xF0 | (cp >> 18));
            *out++ = char(0x80 | ((cp >> 12) & 0x3F));
            *out++ = char(0x80 | ((cp >> 6) & 0x3F));
            *out++ = char(0x80 | (cp & 0x3F));
        } else {
            // A lone surrogate has no UTF-8 form: store the replacement character instead.
            const char16_t c = QChar::isSurrogate(u) ? char16_t(0xFFFD) : u;
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        }
    }
    *out++ = '"';
    m_size += out - start;
}

QByteArray JsonWriter::take()
{
    if (m_failed || !m_hasMember.empty())
        return {};
    m_buffer.truncate(m_size);
    QByteArray result = std::move(m_buffer);
    m_buffer = QByteArray();
    m_size = 0;
    return result;
}

} // namespace json
