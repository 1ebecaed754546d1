#include "core/titles/BookmarkTitleRules.h"

#include "core/text/TextUtils.h"

#include <QTextBoundaryFinder>

#include <array>

namespace {

// Composer notes longer than this are prose, not a name.
constexpr qsizetype composerLengthLimit = 200;

struct ComposerMarker {
    QLatin1String text;
    QChar closer;
};

// The note opened by a marker ends at the bracket that matches the marker's own: a "]" never closes
// a "(" note, so a bracketed note cannot swallow a later "(Live)" or the like.
constexpr std::array<ComposerMarker, 4> composerMarkers{{
    {QLatin1String("(Composer:"), QLatin1Char(')')},
    {QLatin1String("(Composer="), QLatin1Char(')')},
    {QLatin1String("[Composer:"), QLatin1Char(']')},
    {QLatin1String("[Composer="), QLatin1Char(']')},
}};

struct NoteSpan {
    qsizetype start = -1;    // the marker
    qsizetype nameStart = 0; // just after the marker
    qsizetype nameEnd = 0;   // the closer, or the end of the text
    qsizetype end = 0;       // just after the closer, or the end of the text
};

std::optional<NoteSpan> findComposerNote(const QString &text, const ComposerMarker &marker)
{
    const qsizetype start = text.indexOf(marker.text, 0, Qt::CaseInsensitive);
    if (start < 0)
        return std::nullopt;
    NoteSpan span;
    span.start = start;
    span.nameStart = start + marker.text.size();
    const qsizetype closer = text.indexOf(marker.closer, span.nameStart);
    span.nameEnd = closer < 0 ? text.size() : closer;
    span.end = closer < 0 ? text.size() : closer + 1;
    return span;
}

bool isNoteTrimmed(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char(' ') ||
           c == QLatin1Char('-');
}

QString noteTrimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isNoteTrimmed(text[begin]))
        ++begin;
    while (end > begin && isNoteTrimmed(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString();
}

// Counts user-perceived characters, stopping once the limit is reached.
bool fewerCharactersThan(const QString &text, qsizetype limit)
{
    if (text.size() < limit) // a character is at least one code unit
        return true;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0) {
        if (++count >= limit)
            return false;
    }
    return true;
}

bool hasLetterMarkOrNumber(const QString &text)
{
    for (char32_t c : text.toUcs4()) {
        if (QChar::isLetterOrNumber(c) || QChar::isMark(c))
            return true;
    }
    return false;
}

bool hasDecimalDigit(const QString &text)
{
    for (char32_t c : text.toUcs4()) {
        if (QChar::isDigit(c))
            return true;
    }
    return false;
}

// The Uppercase property: category Lu plus the Other_Uppercase code points (Roman numerals, circled
// and squared Latin capitals).
bool hasUppercaseProperty(char32_t c)
{
    return QChar::category(c) == QChar::Letter_Uppercase || (c >= 0x2160 && c <= 0x216F) ||
           (c >= 0x24B6 && c <= 0x24CF) || (c >= 0x1F130 && c <= 0x1F149) || (c >= 0x1F150 && c <= 0x1F169) ||
           (c >= 0x1F170 && c <= 0x1F189);
}

bool startsWithUppercase(const QString &word)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, word);
    const qsizetype end = finder.toNextBoundary();
    if (end <= 0)
        return false;
    const QString first = word.left(end);
    const QList<uint> scalars = first.toUcs4();
    if (scalars.size() == 1)
        return hasUppercaseProperty(scalars.front());
    // A letter with combining marks: upper case when it is cased and already in upper-case form.
    return first.toUpper() == first && first.toLower() != first;
}

const QStringList &nonComposerWords()
{
    static const QStringList words = {
        QStringLiteral("version"), QStringLiteral("live"),         QStringLiteral("remix"),
        QStringLiteral("edit"),    QStringLiteral("take"),         QStringLiteral("theme"),
        QStringLiteral("intro"),   QStringLiteral("outro"),        QStringLiteral("chorus"),
        QStringLiteral("verse"),   QStringLiteral("instrumental"), QStringLiteral("from "),
        QStringLiteral("feat"),    QStringLiteral("featuring"),
    };
    return words;
}

QString replaceDashes(QString text)
{
    for (char16_t dash : {u'\u2013', u'\u2014', u'\u2015', u'\u2022', u'\u00B7'})
        text.replace(QChar(dash), QLatin1Char('-'));
    return text;
}

QString removeComposerNotes(QString text)
{
    for (const ComposerMarker &marker : composerMarkers) {
        if (const auto note = findComposerNote(text, marker))
            text = text.left(note->start) + text.mid(note->end);
    }
    return text;
}

// Reads "(pages A-B)" at the end of the label. Returns whether it changed anything.
bool readPageRange(QString &text, qint64 &pageNumber, qint64 &pageSpan)
{
    static const QRegularExpression pagesSuffixRegex =
        TextUtils::unicodeRegex(QStringLiteral(R"((?i)\s+\(pages\s+(\d+)\s*-\s*(\d+)\s*\)\s*\z)"));
    if (!text.endsWith(QLatin1Char(')')))
        return false;
    const QRegularExpressionMatch match = pagesSuffixRegex.match(text);
    if (!match.hasMatch())
        return false;
    const auto first = TextUtils::decimalDigits(match.capturedView(1));
    const auto last = TextUtils::decimalDigits(match.capturedView(2));
    if (!first || !last || *first < 1 || *last < *first)
        return false;
    pageNumber = *first;
    pageSpan = *last - *first + 1;
    text = TextUtils::trimmed(text.left(match.capturedStart(0)));
    return true;
}

// Reads the page number of a marker at one end of the text and cuts the marker off.
void readPageMarker(QString &text, qint64 &pageNumber, const QRegularExpression &marker)
{
    const QRegularExpressionMatch match = marker.match(text);
    if (!match.hasMatch())
        return;
    if (const auto page = TextUtils::decimalDigits(match.capturedView(1))) {
        pageNumber = *page;
        text = TextUtils::trimmed(text.left(match.capturedStart(0)) + text.mid(match.capturedEnd(0)));
    }
}

// A composer name read out of a note, or empty text when the note holds none.
QString acceptedComposer(QStringView note)
{
    const QString name = noteTrimmed(note);
    return fewerCharactersThan(name, composerLengthLimit) ? name : QString();
}

QString composerFromPatterns(const QString &text)
{
    using Option = QRegularExpression::PatternOption;
    static const std::array<QRegularExpression, 4> patterns{
        TextUtils::unicodeRegex(QStringLiteral(R"(\(\s*Composer\s*[=:]\s*([^)]+)\))"),
                                Option::CaseInsensitiveOption),
        TextUtils::unicodeRegex(QStringLiteral(R"(\(\s*Composer\s+([^)]+)\))"),
                                Option::CaseInsensitiveOption),
        TextUtils::unicodeRegex(QStringLiteral(R"(\[\s*Composer\s*[=:]\s*([^\]]+)\])"),
                                Option::CaseInsensitiveOption),
        TextUtils::unicodeRegex(
            QStringLiteral(R"(\(\s*Composer\s*\)\s*([^\n\[\]\(\)]+?)(?:\s*\z|(?=\s*[\[\(])))"),
            Option::CaseInsensitiveOption),
    };
    for (const QRegularExpression &pattern : patterns) {
        const QRegularExpressionMatch match = pattern.match(text);
        if (!match.hasMatch() || match.capturedStart(1) < 0)
            continue;
        const QString name = acceptedComposer(match.capturedView(1));
        if (!name.isEmpty())
            return name;
    }
    return QString();
}

} // namespace

namespace BookmarkTitleRules {

QString cleanTitle(const QString &label, qint64 &pageNumber, qint64 &pageSpan)
{
    QString text = TextUtils::trimmed(removeComposerNotes(replaceDashes(TextUtils::singleLine(label))));
    static const QRegularExpression leadingPage = TextUtils::unicodeRegex(QStringLiteral(R"(^(\d{1,4})\s+)"));
    static const QRegularExpression trailingPage =
        TextUtils::unicodeRegex(QStringLiteral(R"( - (\d{1,4})\z)"));
    readPageRange(text, pageNumber, pageSpan);
    readPageMarker(text, pageNumber, leadingPage);
    if (pageNumber == 0)
        readPageMarker(text, pageNumber, trailingPage);
    return text;
}

bool shouldExcludeBookmarkTitle(const std::optional<QString> &title)
{
    if (!title)
        return true;
    QString text = TextUtils::trimmed(*title);
    if (text.isEmpty())
        return true;
    static const QRegularExpression parenthesised =
        TextUtils::unicodeRegex(QStringLiteral(R"(\s*\([^)]*\)\s*)"));
    static const QRegularExpression squareBracketed =
        TextUtils::unicodeRegex(QStringLiteral(R"(\s*\[[^\]]*\]\s*)"));
    static const QRegularExpression braced = TextUtils::unicodeRegex(QStringLiteral(R"(\s*\{[^}]*\}\s*)"));
    const QString blank = QStringLiteral(" ");
    if (text.contains(QLatin1Char('(')))
        text.replace(parenthesised, blank);
    if (text.contains(QLatin1Char('[')))
        text.replace(squareBracketed, blank);
    if (text.contains(QLatin1Char('{')))
        text.replace(braced, blank);
    text = TextUtils::trimmed(text);
    return text.isEmpty() || !hasLetterMarkOrNumber(text);
}

QString extractComposerFromBookmarkTitle(const QString &label)
{
    if (label.isEmpty())
        return QString();
    const QString text = TextUtils::trimmed(label);
    for (const ComposerMarker &marker : composerMarkers) {
        const auto note = findComposerNote(text, marker);
        if (!note)
            continue;
        const QString name =
            acceptedComposer(QStringView(text).sliced(note->nameStart, note->nameEnd - note->nameStart));
        if (!name.isEmpty())
            return name;
    }
    return composerFromPatterns(text);
}

bool isLikelyComposerText(const QString &text)
{
    const QString name = TextUtils::trimmed(text);
    if (name.isEmpty() || !fewerCharactersThan(name, composerLengthLimit + 1))
        return false;
    if (hasDecimalDigit(name))
        return false;
    const QString lower = name.toLower();
    for (const QString &word : nonComposerWords()) {
        if (lower.contains(word))
            return false;
    }

    QString separated = name;
    for (QChar separator : {QLatin1Char('/'), QLatin1Char('&'), QLatin1Char(',')})
        separated.replace(separator, QLatin1Char(' '));
    qsizetype wordCount = 0;
    qsizetype capitalised = 0;
    qsizetype i = 0;
    while (i < separated.size()) {
        while (i < separated.size() && separated[i].isSpace())
            ++i;
        const qsizetype start = i;
        while (i < separated.size() && !separated[i].isSpace())
            ++i;
        if (i == start)
            break;
        ++wordCount;
        if (startsWithUppercase(separated.sliced(start, i - start)))
            ++capitalised;
    }
    return wordCount >= 2 && wordCount <= 8 && capitalised >= 2;
}

TitleAndComposer extractTrailingComposerFromTitle(const QString &title)
{
    const QString text = TextUtils::trimmed(title);
    if (text.isEmpty())
        return {title, QString()};
    static const QRegularExpression trailingParenthesised =
        TextUtils::unicodeRegex(QStringLiteral(R"(\s*\(([^()]*)\)\s*\z)"));
    static const QRegularExpression trailingBracketed =
        TextUtils::unicodeRegex(QStringLiteral(R"(\s*\[([^\[\]]*)\]\s*\z)"));
    const std::array<std::pair<const QRegularExpression *, QChar>, 2> patterns{{
        {&trailingParenthesised, QLatin1Char(')')},
        {&trailingBracketed, QLatin1Char(']')},
    }};
    for (const auto &[pattern, closer] : patterns) {
        if (!text.endsWith(closer)) // the text is trimmed, so a match must end in the bracket
            continue;
        const QRegularExpressionMatch match = pattern->match(text);
        if (!match.hasMatch() || match.capturedStart(1) < 0)
            continue;
        const QString candidate = noteTrimmed(match.capturedView(1));
        if (!isLikelyComposerText(candidate))
            continue;
        const QString rest = TextUtils::trimmed(text.left(match.capturedStart(0)));
        if (rest.isEmpty())
            continue;
        return {rest, candidate};
    }
    return {title, QString()};
}

} // namespace BookmarkTitleRules
