#include "ui/common/StateFileAlerts.h"

#include "core/common/NotificationBus.h"
#include "core/slotfiles/StateFileText.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

namespace {

// The window the user acted in: the active one, else the first window shown. A window a quit hid (the
// window system may still count it as active) is none: the quit tells what failed meanwhile itself, and
// an alert over a hidden window would come back with it under the window and hold it.
QWidget *windowInUse()
{
    if (QWidget *active = QApplication::activeWindow(); active && active->isVisible())
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        const Qt::WindowType type = window->windowType();
        if (window->isVisible() && (type == Qt::Window || type == Qt::Dialog))
            return window;
    }
    return nullptr;
}

} // namespace

StateFileAlerts::StateFileAlerts(QObject *parent) : QObject(parent)
{
    NotificationBus &bus = NotificationBus::instance();
    connect(&bus, &NotificationBus::stateFileSaveFailed, this,
            [this](const QString &path, const QString &reason) {
                if (!StateFileText::isBookFile(path))
                    tell(StateFileText::unsaved(path, reason), QStringLiteral("The file: %1").arg(path));
            });
    connect(&bus, &NotificationBus::stateFileSetAside, this,
            [this](const QString &path, const QString &aside) {
                if (!StateFileText::isBookFile(path))
                    tell(QStringLiteral("%1 could not be read and was set aside as %2.")
                             .arg(QFileInfo(path).fileName(), QFileInfo(aside).fileName()),
                         QStringLiteral("It is kept at %1.").arg(aside));
            });
    connect(&bus, &NotificationBus::stateFileOtherVersionKept, this,
            [this](const QString &path, const QString &kept) {
                tell(
                    QStringLiteral("Another program wrote %1 as Lyrafold saved it, and its version could not "
                                   "be merged. It is kept as %2.")
                        .arg(QFileInfo(path).fileName(), QFileInfo(kept).fileName()),
                    QStringLiteral("It is kept at %1.").arg(kept));
            });
    // A quit tells every save it could not make in an alert of its own, over the window it shows
    // again: this one, hidden with the windows, would come back under it and hold it.
    connect(&bus, &NotificationBus::quitting, this, [this] {
        if (m_shown)
            m_shown->close();
    });
}

void StateFileAlerts::tell(const QString &message, const QString &detail)
{
    if (m_shown && m_shown->isVisible()) {
        m_shown->setInformativeText(m_shown->informativeText() + QStringLiteral("\n\n") + message +
                                    QLatin1Char(' ') + detail);
        return;
    }
    QWidget *window = windowInUse();
    if (!window)
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Lyrafold"), message,
                                QMessageBox::NoButton, window);
    box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setObjectName(QStringLiteral("stateFileAlert"));
    box->setInformativeText(detail);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    m_shown = box;
}
