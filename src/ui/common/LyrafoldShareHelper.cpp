#include "ui/common/LyrafoldShareHelper.h"

#include "ui/common/StatusLine.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWindow>

using ShareMenuService::ShareChoice;

namespace {

QPointer<QMenu> &activePicker()
{
    static QPointer<QMenu> menu;
    return menu;
}

// A hint in the interface language, under a button whose title stays English.
QLabel *makeHintLabel(const QString &english)
{
    auto *label = new QLabel(LyrafoldLanguageService::localized(english));
    QFont font = label->font();
    font.setPixelSize(10);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    // The full width of the stack, so the text wraps there and not at the label's own guess.
    label->setFixedWidth(276);
    return label;
}

QPushButton *makeButton(const QString &title, QObject *target,
                        const LyrafoldShareHelper::ButtonAction &action)
{
    auto *button = new QPushButton(title);
    button->setMinimumHeight(32);
    QObject::connect(button, &QPushButton::clicked, target ? target : button, [button, action] {
        if (action)
            action(button);
    });
    return button;
}

// The share menu's choices, in English as the rest of sharing is; the popover's hint names "Copy".
QString choiceTitle(ShareChoice choice)
{
    switch (choice) {
    case ShareChoice::ShowInFolder:
        return QStringLiteral("Show in folder");
    case ShareChoice::Copy:
        return QStringLiteral("Copy");
    case ShareChoice::Email:
        break;
    }
    return QStringLiteral("Send by e-mail");
}

QPoint popupPosition(const QWidget *anchor, const QSize &menuSize, Qt::Edge edge)
{
    const QPoint topLeft = anchor->mapToGlobal(QPoint(0, 0));
    switch (edge) {
    case Qt::TopEdge:
        return topLeft - QPoint(0, menuSize.height());
    case Qt::LeftEdge:
        return topLeft - QPoint(menuSize.width(), 0);
    case Qt::RightEdge:
        return topLeft + QPoint(anchor->width(), 0);
    case Qt::BottomEdge:
        break;
    }
    return topLeft + QPoint(0, anchor->height());
}

// The window the menu belongs to: not the caller's popup, which closes as the menu opens.
QWidget *menuOwner(QWidget *anchor)
{
    QWidget *window = anchor->window();
    if (window->windowType() == Qt::Popup && window->parentWidget())
        return window->parentWidget()->window();
    return window;
}

void showNow(const QList<QUrl> &items, QWidget *anchor, Qt::Edge edge,
             const std::function<void()> &dismissHost)
{
    if (QMenu *previous = activePicker()) {
        previous->hide();
        previous->deleteLater();
    }
    QMenu *menu = LyrafoldShareHelper::makeShareMenu(items, menuOwner(anchor));
    activePicker() = menu;
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] {
        if (activePicker() == menu)
            activePicker() = nullptr;
        menu->deleteLater();
    });
    menu->popup(popupPosition(anchor, menu->sizeHint(), edge));
    if (dismissHost)
        dismissHost();
}

constexpr int noteMilliseconds = 4000;
// How long a note waits for its window to be active before it shows all the same.
constexpr int activationWaitMilliseconds = 1000;

// A tool tip hides at every change of the active window, and a dialog that has just closed (the save
// panel, the progress of a save that took a moment) gives activation back to the window beneath only
// a moment later, once the window manager gets to it: a note shown in between would be gone at once.
// So the note waits for its window to be active, a second at most (the user may have gone to another
// program), and comes back whenever the window is activated again within its time.
void showNote(QWidget *window, const QString &text, const QPoint &at)
{
    const QString watchName = QStringLiteral("noteWatch");
    // A newer note takes the place of one still watching.
    delete window->findChild<QObject *>(watchName, Qt::FindDirectChildrenOnly);
    auto *watch = new QObject(window);
    watch->setObjectName(watchName);
    const QDeadlineTimer end(noteMilliseconds);
    const auto show = [window, text, at, end] {
        if (!end.hasExpired())
            QToolTip::showText(at, text, window, {}, int(end.remainingTime()));
    };
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, watch, [window, show](QWindow *focus) {
        if (focus && focus == window->windowHandle())
            show();
    });
    QTimer::singleShot(noteMilliseconds, watch, [watch] { watch->deleteLater(); });
    if (window->isActiveWindow())
        show();
    else
        QTimer::singleShot(activationWaitMilliseconds, watch, show);
}

} // namespace

namespace LyrafoldShareHelper {

LyrafoldShareContent makeShareOrSaveContent(QObject *shareTarget, const ButtonAction &shareAction,
                                            QObject *saveTarget, const ButtonAction &saveAction,
                                            bool includeSave)
{
    QList<QWidget *> views;
    views << makeButton(shareButtonTitle, shareTarget, shareAction);
    views << makeHintLabel(QStringLiteral(
        "For WhatsApp: pick Copy in the share menu, then paste with Ctrl+V in chat (best under ~16 MB)."));
    if (includeSave && saveTarget && saveAction) {
        views << makeButton(saveButtonTitle, saveTarget, saveAction);
        views << makeHintLabel(
            QStringLiteral("For large files, save here then attach in WhatsApp (+ → Document or Photos)."));
    }

    int height = 24 + 8 * std::max(int(views.size()) - 1, 0);
    auto *container = new QWidget;
    auto *stack = new QVBoxLayout(container);
    stack->setContentsMargins(12, 12, 12, 12);
    stack->setSpacing(8);
    for (QWidget *view : views) {
        height += qobject_cast<QLabel *>(view) ? 40 : 32;
        stack->addWidget(view, 0, Qt::AlignLeft);
    }
    stack->addStretch(1);
    container->setFixedSize(300, height);
    return {container};
}

void showSystemSharePicker(const QList<QUrl> &items, QWidget *anchor, Qt::Edge preferredEdge,
                           const std::function<void()> &dismissHost)
{
    if (items.isEmpty() || !anchor)
        return;
    if (anchor->isVisible()) {
        showNow(items, anchor, preferredEdge, dismissHost);
        return;
    }
    QTimer::singleShot(0, anchor, [items, anchor = QPointer<QWidget>(anchor), preferredEdge, dismissHost] {
        if (anchor && anchor->isVisible())
            showNow(items, anchor, preferredEdge, dismissHost);
    });
}

void tellDone(QWidget *window, const QString &text, const QPoint &at)
{
    if (!window)
        return;
    window = window->window();
    for (StatusLine *line : window->findChildren<StatusLine *>()) {
        if (line->window() == window) {
            line->setStatus(text);
            break;
        }
    }
    showNote(window, text, at);
}

void tellDone(QWidget *window, QWidget *anchor, const QString &text)
{
    if (!window)
        return;
    const QPoint at = anchor && anchor->isVisible() ? anchor->mapToGlobal(QPoint(0, anchor->height()))
                                                    : window->mapToGlobal(window->rect().center());
    tellDone(window, text, at);
}

QMenu *activeSharePicker()
{
    return activePicker();
}

QMenu *makeShareMenu(const QList<QUrl> &items, QWidget *parent,
                     const ShareMenuService::ExecutableFinder &findExecutable)
{
    auto *menu = new QMenu(parent);
    for (ShareChoice choice : ShareMenuService::choices(items, findExecutable)) {
        QAction *action = menu->addAction(choiceTitle(choice));
        action->setData(int(choice));
        QObject::connect(action, &QAction::triggered, menu, [items, choice, findExecutable, menu, parent] {
            switch (choice) {
            case ShareChoice::ShowInFolder:
                ShareMenuService::showInFolder(items);
                break;
            case ShareChoice::Copy:
                ShareMenuService::copyToClipboard(items);
                // Nothing else shows that the files are on the clipboard.
                tellDone(parent, QStringLiteral("Copied"), menu->pos());
                break;
            case ShareChoice::Email:
                ShareMenuService::sendByEmail(items, findExecutable);
                break;
            }
        });
    }
    return menu;
}

} // namespace LyrafoldShareHelper
