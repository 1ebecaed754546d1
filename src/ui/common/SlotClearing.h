#pragma once

#include <QString>

#include <optional>

class LibrarySlots;
class QWidget;
struct SlotClearPlan;

// The one question asked before any slot is emptied, and the "Clear slot" command that the main window
// and the workshop share.
namespace SlotClearing {

// Asks whether to empty the planned slot, naming it and the bookmarks it holds ("Clear" / "Cancel").
bool confirm(QWidget *parent, const SlotClearPlan &plan);
// Asks before a full extraction rebuilds a slot that holds bookmarks ("Rebuild" / "Cancel", the default):
// an alert raised on its own (LyrafoldAlert::runUnasked).
bool confirmRebuild(QWidget *parent, const SlotClearPlan &plan);

// Clears the current slot after the question: the Default slot is refused with an alert. Returns the
// status text to show; nothing when the user said no.
std::optional<QString> clearCurrentSlot(QWidget *parent, LibrarySlots &librarySlots);

} // namespace SlotClearing
