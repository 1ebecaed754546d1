#include "core/slotfiles/StateFileText.h"

#include "core/common/AppPaths.h"
#include "core/common/UiText.h"
#include "core/slotfiles/SlotStore.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace StateFileText {

namespace {

bool samePath(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

// What becomes of changes a state file could not take.
QString keptText()
{
    return UiText::tr("The changes stay in Lyrafold until they can be saved, and a quit tells you what it "
                      "could not save.");
}

} // namespace

QString unsaved(const QString &path, const QString &reason)
{
    if (samePath(path, AppPaths::playlistsPath()))
        return UiText::tr("Your playlists could not be saved: %1. %2").arg(reason, keptText());
    if (samePath(path, SlotStore::metaFilePath()))
        return UiText::tr("Your slot names could not be saved: %1. %2").arg(reason, keptText());
    // The cache is a spare copy: the slot's own file holds the changes.
    if (samePath(path, AppPaths::bookmarkCachePath()))
        return UiText::tr("The spare copy of your bookmarks could not be saved: %1.").arg(reason);
    static const QRegularExpression slotFile(QStringLiteral("^slot_([0-5])\\.json$"));
    const QFileInfo info(path);
    if (const QRegularExpressionMatch slot = slotFile.match(info.fileName());
        slot.hasMatch() && samePath(info.absolutePath(), SlotStore::rootPath()))
        return UiText::tr("Your bookmarks in %1 could not be saved: %2. %3")
            .arg(SlotStore::slotName(slot.captured(1).toLongLong()), reason, keptText());
    return UiText::tr("%1 could not be saved: %2.").arg(info.fileName(), reason);
}

bool isBookFile(const QString &path)
{
    return samePath(QFileInfo(path).absolutePath(), AppPaths::annotationCacheDir());
}

} // namespace StateFileText
