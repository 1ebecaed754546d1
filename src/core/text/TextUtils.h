#pragma once

#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QStringView>

#include <cmath>
#include <optional>

namespace TextUtils {

// UTF-8 bytes as text, every character kept. QString::fromUtf8 drops a byte-order mark that opens the
// bytes; inside a document (a cell, a string value) that mark is part of the text.
QString utf8Text(QByteArrayView bytes);

// Canonical composition. File names from other systems arrive decomposed; texts are compared and
// keys hashed in this form.
QString nfc(const QString &text);

// Equality under canonical equivalence, case-sensitive.
bool canonicallyEqual(const QString &a, const QString &b);

// Orders texts by their Unicode scalar values (negative, 0, positive). Comparing UTF-16 code units
// instead would put every character above U+FFFF before U+E000-U+FFFF.
int compareCodePoints(QStringView a, QStringView b);

// Every character that ends a line somewhere: line feed, carriage return, vertical tab, form feed,
// next line (U+0085), line and paragraph separators (U+2028, U+2029).
constexpr bool isLineBreak(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

// Directional formatting characters (U+202A-U+202E, U+2066-U+2069): an override among them shows the
// text after it reversed, so that a name can pass for another.
constexpr bool isBidiControl(char16_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Titles and names are one line of plain direction: each run of line breaks and directional formatting
// characters becomes one space, so that a title can neither forge a line of a text export nor show
// reversed.
QString singleLine(const QString &text);

// The longest title or playlist name kept, in UTF-16 units: far beyond the name of any song, and short
// enough that a row, a line of an export and an identity key stay small.
inline constexpr qsizetype maxTitleLength = 300;

// A title or a name as the library keeps it, whichever way it came in (an outline, a bookmark or
// playlist file, an import, an edit): one line (singleLine, a tab counting as a line break), without
// control characters (C0, DEL and C1, NUL included), at most maxTitleLength UTF-16 units, cut between
// two user-perceived characters. Folding a folded text changes nothing; a text that needs no folding
// is returned as it is, cheaply.
QString foldedTitle(const QString &text);

// The longest metadata text kept (a genre, a style, a composer, a tempo, a link), in UTF-16 units: no
// real field comes near it, and a field from a hostile file stays small in a row, a save and an export.
inline constexpr qsizetype maxFieldLength = 4096;

// A metadata text as the library keeps it, whichever way it came in (a metadata or bookmark file, a
// web answer, a cell or the metadata dialog, a playlist file): without NUL, DEL and the C0 controls other
// than tab, at most maxFieldLength UTF-16 units, cut between two user-perceived characters. Nothing else
// changes: no trimming, no folding of lines or blanks. A text that needs nothing is returned as it is,
// cheaply.
QString fieldText(const QString &text);

// Removes white space and line breaks at both ends.
QString trimmed(const QString &text);

// A whole text of ASCII digits read as a number up to the 64-bit maximum; other scripts' digits,
// signs, blanks and larger numbers give nothing.
std::optional<qint64> decimalDigits(QStringView digits);

// A pattern in which \s, \d and the letter classes follow Unicode, compiled at once so that the
// object can be shared between threads as a function-local static.
QRegularExpression unicodeRegex(const QString &pattern, QRegularExpression::PatternOptions options = {});

// Dates are stored as seconds, with fraction, since 2001-01-01 00:00:00 UTC.
double toReferenceSeconds(const QDateTime &time);
QDateTime fromReferenceSeconds(double seconds);

// Texts from files made elsewhere: control characters (line breaks and tabs included) removed.
QString withoutControlCharacters(const QString &text);

enum class TextMeasure { Utf16Units, Utf8Bytes };
// The longest start of text that measures at most limit and ends at the end of a user-perceived
// character, so that no letter loses its accent and no surrogate pair or UTF-8 sequence is split.
QString truncatedAtCharacter(const QString &text, qsizetype limit, TextMeasure measure);

// A whole decimal number: an optional "+" or "-" and one or more digits 0-9, nothing else (no blanks),
// within the signed 64-bit range.
std::optional<qint64> wholeNumber(QStringView text);

// A real number in C-locale notation (decimal or exponent form, "inf" and "nan" included) that uses
// up the whole text; an optional leading "+" or "-". Leading blanks or anything left over: nothing.
std::optional<double> realNumber(QStringView text);

// A rating that is not a finite number is no rating.
inline std::optional<double> finiteRating(std::optional<double> rating)
{
    if (rating && !std::isfinite(*rating))
        return std::nullopt;
    return rating;
}

} // namespace TextUtils
