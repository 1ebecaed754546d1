#include "ui/common/SlotClearing.h"

#include "core/slots/LibrarySlots.h"
#include "ui/common/LyrafoldAlert.h"

namespace SlotClearing {

bool confirm(QWidget *parent, const SlotClearPlan &plan)
{
    return LyrafoldAlert::run(parent, LyrafoldAlert::Style::warning, plan.message(), plan.informativeText(),
                              {QStringLiteral("Clear"), QStringLiteral("Cancel")}) == 0;
}

bool confirmRebuild(QWidget *parent, const SlotClearPlan &plan)
{
    // Asked once the books are read, whenever that is: keys typed meanwhile were meant for something else.
    return LyrafoldAlert::runUnasked(parent, LyrafoldAlert::Style::warning, plan.rebuildMessage(),
                                     plan.rebuildInformativeText(),
                                     {QStringLiteral("Rebuild"), QStringLiteral("Cancel")}) == 0;
}

std::optional<QString> clearCurrentSlot(QWidget *parent, LibrarySlots &librarySlots)
{
    if (librarySlots.session().currentSlotId() == 0) {
        const QString refusal = QStringLiteral("Cannot clear the Default slot");
        LyrafoldAlert::run(parent, LyrafoldAlert::Style::warning, refusal,
                           QStringLiteral("Default slot stays protected. Switch to Slot 1-5 to clear."));
        return refusal;
    }
    const SlotClearPlan plan = librarySlots.planClearSlot(librarySlots.session().currentSlotId());
    if (LyrafoldAlert::run(parent, LyrafoldAlert::Style::warning, plan.clearCommandMessage(),
                           SlotClearPlan::clearCommandInformativeText(),
                           {QStringLiteral("Clear"), QStringLiteral("Cancel")}) != 0)
        return std::nullopt;
    if (const std::optional<QString> status = librarySlots.clearCurrentSlot(plan))
        return status;
    return QStringLiteral("The library changed before it was cleared; nothing was cleared.");
}

} // namespace SlotClearing
