#pragma once

#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QStringView>

#include <cmath>
#include <optional>

namespace TextUtils {

// Canonical composition. File names from other systems arrive decomposed; texts are compared and
// keys hashed in this form.
QString nfc(const QString &text);

// Equality under canonical equivalence, case-sensitive.
bool canonicallyEqual(const QString &a, const QString &b);

// Orders texts by their Unicode scalar values (negative, 0, positive). Comparing UTF-16 code units
// instead would put every character above U+FFFF before U+E000-U+FFFF.
int compareCodePoints(QStringView a, QStringView b);

// Removes white space and line breaks at both ends.
QString trimmed(const QString &text);

// A pattern in which \s, \d and the letter classes follow Unicode, compiled at once so that the
// object can be shared between threads as a function-local static.
QRegularExpression unicodeRegex(const QString &pattern, QRegularExpression::PatternOptions options = {});

// Dates are stored as seconds, with fraction, since 2001-01-01 00:00:00 UTC.
double toReferenceSeconds(const QDateTime &time);
QDateTime fromReferenceSeconds(double seconds);

// A rating that is not a finite number is no rating.
inline std::optional<double> finiteRating(std::optional<double> rating)
{
    if (rating && !std::isfinite(*rating))
        return std::nullopt;
    return rating;
}

} // namespace TextUtils
