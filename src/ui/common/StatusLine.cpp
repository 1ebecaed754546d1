#include "ui/common/StatusLine.h"

#include "ui/common/SlotNames.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QFileInfo>

StatusLine::StatusLine(const QString &objectName, QWidget *parent) : QLabel(parent)
{
    setObjectName(objectName);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setMinimumWidth(0);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    LyrafoldLanguageService::markDynamicText(this);
}

void StatusLine::setStatus(const QString &text)
{
    m_showsReady = false;
    setText(text);
    setToolTip(text);
}

void StatusLine::showReady()
{
    setStatus(LyrafoldLanguageService::localized(QStringLiteral("Ready")));
    setToolTip(QString());
    m_showsReady = true;
}

void StatusLine::retranslateReady()
{
    if (m_showsReady)
        showReady();
}

QString StatusLine::loadingSlotText(qint64 slot, const QString &slotName)
{
    return LyrafoldLanguageService::pick(LyrafoldLanguageService::current(), QStringLiteral("Loading %1…"),
                                         QStringLiteral("%1 yükleniyor…"), QStringLiteral("Cargando %1…"))
        .arg(shownSlotName(slot, slotName));
}

QString StatusLine::failedSaveText(const QString &path, const QString &reason)
{
    return LyrafoldLanguageService::localized(QStringLiteral("Could not save %1: %2"))
        .arg(QFileInfo(path).fileName(), reason);
}
