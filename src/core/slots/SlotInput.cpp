#include "core/slots/SlotInput.h"

#include "core/text/TextUtils.h"

namespace SlotInput {

std::optional<qint64> parseSlotNumber(const QString &text)
{
    return TextUtils::wholeNumber(TextUtils::trimmed(text));
}

QList<qint64> parseSlotList(const QString &text)
{
    QList<qint64> numbers;
    for (const QString &piece : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (const std::optional<qint64> number = parseSlotNumber(piece))
            numbers.append(*number);
    }
    return numbers;
}

} // namespace SlotInput
