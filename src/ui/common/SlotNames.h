#pragma once

#include "core/slotfiles/SlotStore.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QString>

// A slot's name on its tile and on the workshop's tab: a name the user gave stays as written, and so do
// "Slot 1" to "Slot 5"; the built-in slot's "Default" is shown in the interface language. Everywhere else
// (status texts, questions, forms) a slot goes by its name as it stands, in English.
inline QString slotTileName(qint64 slot, const QString &name)
{
    if (slot == 0 && name == SlotStore::builtInSlotName(0))
        return LyrafoldLanguageService::localized(name);
    return name;
}
