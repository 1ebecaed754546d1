#pragma once

#include "core/library/SlotStore.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QString>

// A slot's name as the windows show it: a name the user gave stays as written; the built-in names
// ("Default", "Slot 1" ...) are shown in the interface language.
inline QString shownSlotName(qint64 slot, const QString &name)
{
    if (name != SlotStore::builtInSlotName(slot))
        return name;
    using LyrafoldLanguageService::localized;
    return slot == 0 ? localized(QStringLiteral("Default")) : localized(QStringLiteral("Slot %1")).arg(slot);
}
