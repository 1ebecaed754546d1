#include "core/text/TextUtils.h"

#include <QStringDecoder>
#include <QTextBoundaryFinder>
#include <QTimeZone>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

const QDateTime &referenceDate()
{
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    return reference;
}

// The text without one leading "+", as ASCII for from_chars (which takes no "+"); nothing when the
// text holds anything but ASCII, or a NUL, or a second sign after the "+".
std::optional<QByteArray> numberText(QStringView text)
{
    if (text.startsWith(QLatin1Char('+'))) {
        text = text.sliced(1);
        if (text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')))
            return std::nullopt;
    }
    QByteArray ascii;
    ascii.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() == 0 || c.unicode() > 0x7F)
            return std::nullopt;
        ascii.append(char(c.unicode()));
    }
    return ascii;
}

template <typename T, typename... Format>
std::optional<T> fromWholeText(const QByteArray &ascii, Format... format)
{
    T value{};
    const char *end = ascii.constData() + ascii.size();
    const auto result = std::from_chars(ascii.constData(), end, value, format...);
    if (ascii.isEmpty() || result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

} // namespace

namespace TextUtils {

QString utf8Text(QByteArrayView bytes)
{
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QString nfc(const QString &text)
{
    return text.normalized(QString::NormalizationForm_C);
}

bool canonicallyEqual(const QString &a, const QString &b)
{
    return a == b || nfc(a) == nfc(b);
}

int compareCodePoints(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x == y)
            continue;
        // Surrogates (D800-DFFF) stand for code points above FFFF: move them above E000-FFFF, which
        // keeps the order among surrogates and among the rest.
        if (x >= 0xD800 && y >= 0xD800) {
            x = x >= 0xE000 ? char16_t(x - 0x800) : char16_t(x + 0x2000);
            y = y >= 0xE000 ? char16_t(y - 0x800) : char16_t(y + 0x2000);
        }
        return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

QString singleLine(const QString &text)
{
    const auto folded = [](QChar c) { return isLineBreak(c.unicode()) || isBidiControl(c.unicode()); };
    if (std::none_of(text.cbegin(), text.cend(), folded))
        return text;
    QString result;
    result.reserve(text.size());
    bool inRun = false;
    for (QChar c : text) {
        if (!folded(c))
            result += c;
        else if (!inRun)
            result += QLatin1Char(' ');
        inRun = folded(c);
    }
    return result;
}

QString foldedTitle(const QString &text)
{
    // Control characters are U+0000-U+001F and U+007F-U+009F (line breaks among them, U+0085 too).
    const auto folded = [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u <= 0x9F) || isLineBreak(u) || isBidiControl(u);
    };
    if (text.size() <= maxTitleLength && std::none_of(text.cbegin(), text.cend(), folded))
        return text;
    // A tab parts two words as a blank does; it joins the run of line breaks around it.
    QString line = text;
    line.replace(QLatin1Char('\t'), QLatin1Char('\n'));
    return truncatedAtCharacter(withoutControlCharacters(singleLine(line)), maxTitleLength,
                                TextMeasure::Utf16Units);
}

QString fieldText(const QString &text)
{
    const auto dropped = [](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t') || u == 0x7F;
    };
    if (text.size() <= maxFieldLength && std::none_of(text.cbegin(), text.cend(), dropped))
        return text;
    QString kept = text;
    kept.removeIf(dropped);
    // Where the cut may fall depends on the character after it (two units for one beyond U+FFFF), and
    // on nothing further: a text of a million characters is not segmented whole.
    if (kept.size() > maxFieldLength + 2)
        kept.truncate(maxFieldLength + 2);
    return truncatedAtCharacter(kept, maxFieldLength, TextMeasure::Utf16Units);
}

QString trimmed(const QString &text)
{
    return text.trimmed();
}

std::optional<qint64> decimalDigits(QStringView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        const int digit = c.unicode() - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

QString withoutControlCharacters(const QString &text)
{
    const auto isControl = [](QChar c) { return c.category() == QChar::Other_Control; };
    if (std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    QString result = text;
    result.removeIf(isControl);
    return result;
}

QString truncatedAtCharacter(const QString &text, qsizetype limit, TextMeasure measure)
{
    const auto size = [measure](QStringView part) {
        return measure == TextMeasure::Utf16Units ? part.size() : part.toUtf8().size();
    };
    if (size(text) <= limit)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype kept = 0;
    qsizetype keptSize = 0;
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        keptSize += size(QStringView(text).sliced(kept, next - kept));
        if (keptSize > limit)
            break;
        kept = next;
    }
    return text.left(kept);
}

std::optional<qint64> wholeNumber(QStringView text)
{
    const auto ascii = numberText(text);
    if (!ascii)
        return std::nullopt;
    return fromWholeText<qint64>(*ascii);
}

std::optional<double> realNumber(QStringView text)
{
    // from_chars never skips blanks and knows no hexadecimal form without being asked, as the rule
    // wants.
    const auto ascii = numberText(text);
    if (!ascii)
        return std::nullopt;
    return fromWholeText<double>(*ascii, std::chars_format::general);
}

QRegularExpression unicodeRegex(const QString &pattern, QRegularExpression::PatternOptions options)
{
    QRegularExpression regex(pattern, options | QRegularExpression::UseUnicodePropertiesOption);
    regex.optimize();
    Q_ASSERT_X(regex.isValid(), "unicodeRegex", qPrintable(regex.errorString()));
    return regex;
}

double toReferenceSeconds(const QDateTime &time)
{
    return double(referenceDate().msecsTo(time)) / 1000.0;
}

QDateTime fromReferenceSeconds(double seconds)
{
    // Keep absurd values from overflowing the millisecond count; they still load as a date.
    const double bounded = std::isfinite(seconds) ? std::clamp(seconds, -1e14, 1e14) : 0.0;
    return referenceDate().addMSecs(qint64(std::llround(bounded * 1000.0)));
}

} // namespace TextUtils
