#include "core/autoplaylist/AutoPlaylistFilters.h"

#include "core/text/TextUtils.h"

#include <QRegularExpression>
#include <QSet>

namespace {

// A rating 1-5 written as a whole number; 0 for anything else.
int ratingPick(const QString &text)
{
    const auto n = TextUtils::wholeNumber(TextUtils::trimmed(text));
    return n && *n >= 1 && *n <= 5 ? int(*n) : 0;
}

} // namespace

namespace AutoPlaylistFilters {

std::optional<QStringList> parseFilter(const QString &text)
{
    const QString trimmed = TextUtils::trimmed(text);
    if (trimmed.isEmpty())
        return std::nullopt;
    if (!trimmed.contains(QLatin1Char(',')))
        return trimmed.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QStringList terms;
    for (const QString &piece : trimmed.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString term = TextUtils::trimmed(piece);
        if (!term.isEmpty())
            terms.append(term);
    }
    return terms;
}

bool matchesAny(const QString &value, const QStringList &terms)
{
    const QString lower = value.toLower();
    for (const QString &term : terms) {
        const QString wanted = TextUtils::trimmed(term).toLower();
        if (!wanted.isEmpty() && lower.contains(wanted))
            return true;
    }
    return false;
}

const QStringList &genreChoices()
{
    static const QStringList choices = {"Jazz",    "Latin", "Bossa", "Pop",
                                        "Musical", "Blues", "Funk",  "Ballad"};
    return choices;
}

const QStringList &styleChoices()
{
    static const QStringList choices = {"Swing",  "Bossa Nova", "Salsa", "Pop-Rock",
                                        "Ballad", "Funk",       "Waltz", "Straight 8th"};
    return choices;
}

const QStringList &tempoChoices()
{
    static const QStringList choices = {"B", "MU", "M", "F", "MB"};
    return choices;
}

const QList<TempoMapEntry> &tempoMapEntries()
{
    static const QList<TempoMapEntry> entries = {
        {QStringLiteral("Random"), QString(), QStringLiteral("No tempo order; random mix.")},
        {QStringLiteral("Club gig"), QStringLiteral("M-MU-F-B-M-MU-MB"),
         QStringLiteral("Starts medium, builds to fast, ballad, then journey.")},
        {QStringLiteral("Energy opener"), QStringLiteral("F-M-B-MB-F-M-B-F"),
         QStringLiteral("Starts fast, ballads in between, strong finish.")},
        {QStringLiteral("Slow build"), QStringLiteral("B-MU-M-F-B-M-MU"),
         QStringLiteral("Starts with ballad, builds energy.")},
        {QStringLiteral("Classic set"), QStringLiteral("MU-F-B-M-MU-MB-M-F"),
         QStringLiteral("Medium-up opener, ballad mid-set, strong close.")},
    };
    return entries;
}

QList<bool> tickedChoices(const QString &fieldText, const QStringList &choices)
{
    QSet<QString> current;
    for (const QString &piece : fieldText.split(QLatin1Char(','), Qt::SkipEmptyParts))
        current.insert(TextUtils::trimmed(piece).toLower());
    QList<bool> ticked;
    for (const QString &choice : choices)
        ticked.append(current.contains(choice.toLower()));
    return ticked;
}

QString tickedText(const QStringList &choices, const QList<bool> &ticked)
{
    QStringList kept;
    for (qsizetype i = 0; i < choices.size() && i < ticked.size(); ++i) {
        if (ticked[i])
            kept.append(choices[i]);
    }
    return kept.join(QStringLiteral(", "));
}

int selectedChoice(const QString &fieldText, const QStringList &choices)
{
    const QString wanted = TextUtils::trimmed(fieldText);
    for (qsizetype i = 0; i < choices.size(); ++i) {
        if (choices[i].compare(wanted, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

std::pair<int, int> popularityPicks(const QString &fieldText)
{
    const QString trimmed = TextUtils::trimmed(fieldText);
    if (!trimmed.contains(QLatin1Char('-')))
        return {ratingPick(trimmed), 0};
    const QStringList pieces = trimmed.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    return {pieces.size() > 0 ? ratingPick(pieces[0]) : 0, pieces.size() > 1 ? ratingPick(pieces[1]) : 0};
}

QString popularityText(int first, int second)
{
    if (first == 0)
        return QString();
    if (second == 0 || second == first)
        return QString::number(first);
    return QStringLiteral("%1-%2").arg(std::min(first, second)).arg(std::max(first, second));
}

QString appendedTerm(const QString &fieldText, const QString &term)
{
    const QString added = TextUtils::trimmed(term);
    if (added.isEmpty())
        return fieldText;
    return fieldText.isEmpty() ? added : fieldText + QStringLiteral(", ") + added;
}

} // namespace AutoPlaylistFilters
