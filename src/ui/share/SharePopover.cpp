#include "ui/share/SharePopover.h"

#include "ui/common/LyrafoldShareHelper.h"

#include <QFrame>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString popoverName = QStringLiteral("shareOrSavePopover");

QPoint placeUnder(const QWidget *anchor, const QSize &size)
{
    const QPoint below =
        anchor->mapToGlobal(QPoint(anchor->width() / 2 - size.width() / 2, anchor->height()));
    const QScreen *screen = anchor->screen();
    if (!screen)
        return below;
    const QRect area = screen->availableGeometry();
    QPoint place = below;
    if (place.y() + size.height() > area.bottom())
        place.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - size.height());
    place.setX(std::clamp(place.x(), area.left(), std::max(area.left(), area.right() - size.width())));
    place.setY(std::max(place.y(), area.top()));
    return place;
}

} // namespace

namespace SharePopover {

QFrame *show(QWidget *anchor, const QStringList &files, const std::function<void()> &onSave)
{
    if (!anchor || files.isEmpty())
        return nullptr;
    QWidget *window = anchor->window();
    if (auto *open = window->findChild<QFrame *>(popoverName, Qt::FindDirectChildrenOnly))
        open->close();

    QList<QUrl> items;
    for (const QString &file : files)
        items.append(QUrl::fromLocalFile(file));
    auto *popup = new QFrame(window, Qt::Popup);
    popup->setObjectName(popoverName);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setFrameShape(QFrame::StyledPanel);
    const QPointer<QWidget> shareAnchor(anchor);
    const LyrafoldShareContent content = LyrafoldShareHelper::makeShareOrSaveContent(
        popup,
        [popup, items, shareAnchor](QPushButton *sender) {
            LyrafoldShareHelper::showSystemSharePicker(
                items, shareAnchor ? shareAnchor.data() : static_cast<QWidget *>(sender), Qt::BottomEdge,
                [popup] { popup->close(); });
        },
        popup,
        [popup, window, onSave](QPushButton *) {
            popup->close();
            // After the popup has gone, so that the save's panel is not opened from inside it.
            QTimer::singleShot(0, window, onSave);
        },
        bool(onSave));
    auto *layout = new QVBoxLayout(popup);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content.view);
    popup->adjustSize();
    popup->move(placeUnder(anchor, popup->size()));
    popup->show();
    return popup;
}

} // namespace SharePopover
