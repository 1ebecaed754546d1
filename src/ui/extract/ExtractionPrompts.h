#pragma once

#include <QStringList>

#include <optional>

class LibrarySlots;
class QWidget;

// The questions of an extraction from a folder. Texts are English in every interface language.
namespace ExtractionPrompts {

struct SlotChoice {
    qint64 slot = 1;
    // As typed; "Slot <n>" when the field was left empty.
    QString slotName;
};

// Slots 1 to 5 (the current one preselected, slot 1 for Default) and a name for the slot. Says how many
// bookmarks the chosen slot holds, and that a full extraction replaces them when replacesSlot is set.
std::optional<SlotChoice> promptSlotForExtraction(QWidget *parent, LibrarySlots &librarySlots,
                                                  bool replacesSlot);

// Extract with the library folder set and bookmarks in the slot.
enum class Start { newExtraction, reextractFolder, cancel };
Start promptExtractStart(QWidget *parent);

// The whole list, the books the user ticks (in the list's order), or nothing for Cancel.
std::optional<QStringList> promptExtractAllOrChooseBooks(QWidget *parent, const QStringList &pdfs);
// The books shown by file name, ignoring case; the ticked ones come back in the list's order, nothing
// when none is ticked.
std::optional<QStringList> promptChooseBooksFromList(QWidget *parent, const QStringList &pdfs);

} // namespace ExtractionPrompts
