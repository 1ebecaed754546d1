#include "ui/common/StatusLine.h"

#include "core/common/NotificationBus.h"
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
    connect(&NotificationBus::instance(), &NotificationBus::languageChanged, this,
            &StatusLine::retranslateReady);
}

void StatusLine::setStatus(const QString &text)
{
    m_showsReady = false;
    m_showsFailure = false;
    setText(text);
    setToolTip(text);
}

void StatusLine::showFailure(const QString &text)
{
    setStatus(text);
    m_showsFailure = true;
}

void StatusLine::clearFailure()
{
    if (m_showsFailure)
        showReady();
}

void StatusLine::showReady()
{
    // In a window kept English, "Ready" is English too.
    const QString ready = QStringLiteral("Ready");
    setStatus(LyrafoldLanguageService::keptEnglish(this) ? ready : LyrafoldLanguageService::localized(ready));
    setToolTip(QString());
    m_showsReady = true;
}

void StatusLine::retranslateReady()
{
    if (m_showsReady)
        showReady();
}

QString StatusLine::loadingSlotText(const QString &slotName)
{
    return QStringLiteral("Loading %1…").arg(slotName);
}

QString StatusLine::failedSaveText(const QString &path, const QString &reason)
{
    return QStringLiteral("Could not save %1: %2").arg(QFileInfo(path).fileName(), reason);
}
