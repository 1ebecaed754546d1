#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// The filter form of the auto playlist: how its free-text fields read, the fixed choices of its pickers,
// the texts the pickers write back, and the tempo-map presets.
namespace AutoPlaylistFilters {

// The terms of a filter field: nothing for a blank text; with a comma, the comma-separated pieces
// trimmed (a piece may hold blanks, blank pieces dropped); without one, the words.
std::optional<QStringList> parseFilter(const QString &text);

// Whether the value contains one of the terms, ignoring case; a blank term matches nothing.
bool matchesAny(const QString &value, const QStringList &terms);

const QStringList &genreChoices();
const QStringList &styleChoices();
// The tempo symbols, as the tempo picker offers them.
const QStringList &tempoChoices();

struct TempoMapEntry {
    QString name;
    QString formula; // empty: no tempo order
    QString description;
};
const QList<TempoMapEntry> &tempoMapEntries();
inline constexpr int defaultTempoMap = 1;

// The multiple-choice picker: which choices start ticked for a field holding comma-separated terms
// (any case), and the text the ticked choices write back, in choice order, joined by ", ". Terms that
// are no choice are dropped.
QList<bool> tickedChoices(const QString &fieldText, const QStringList &choices);
QString tickedText(const QStringList &choices, const QList<bool> &ticked);

// The single-choice picker: the position of the choice that the field names (any case), -1 for "(Any)".
int selectedChoice(const QString &fieldText, const QStringList &choices);

// The popularity picker's two picks: a rating 1-5, or 0 for "(Any)" (first) and "(No range end)"
// (second), as read from the field; and the text two picks write: "" when the first is 0, "4" for a
// single rating, "2-4" for a range in either order.
std::pair<int, int> popularityPicks(const QString &fieldText);
QString popularityText(int first, int second);

// The free-text prompt's term appended to the field after ", "; a blank term changes nothing.
QString appendedTerm(const QString &fieldText, const QString &term);

} // namespace AutoPlaylistFilters
