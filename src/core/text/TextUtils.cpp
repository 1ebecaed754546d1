#include "text/TextUtils.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {

const QDateTime &referenceDate()
{
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    return reference;
}

} // namespace

namespace TextUtils {

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

QString trimmed(const QString &text)
{
    return text.trimmed();
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
