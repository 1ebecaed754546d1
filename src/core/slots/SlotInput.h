#pragma once

#include <QList>
#include <QString>

#include <optional>

// Slot numbers as the user types them into the copy and merge prompts.
namespace SlotInput {

// The text trimmed of white space and line breaks, read as a whole decimal number with an optional
// "+" or "-"; nothing for anything else (letters, a decimal point, an empty text, an overflow). The
// range is the caller's to check.
std::optional<qint64> parseSlotNumber(const QString &text);

// The numbers of a comma-separated list, in typed order, repeats kept; empty pieces and pieces that
// are not numbers are skipped.
QList<qint64> parseSlotList(const QString &text);

} // namespace SlotInput
