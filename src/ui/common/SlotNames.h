#pragma once

#include "core/library/SlotStore.h"

#include <QString>

// A slot's name as the windows show it: a name the user gave stays as written; the built-in names
// ("Default", "Slot 1" ...) are shown in the interface language.
inline QString shownSlotName(qint64 slot, const QString &name)
{
    return SlotStore::shownName(slot, name);
}
