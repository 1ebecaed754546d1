#include "ui/import/ImagePdfDropTarget.h"

#include "core/imports/ImportableFiles.h"

#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

ImagePdfDropTarget::ImagePdfDropTarget(QWidget *area) : QObject(area), m_area(area)
{
    area->setAcceptDrops(true);
    area->installEventFilter(this);
}

bool ImagePdfDropTarget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_area)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (!ImportableFiles::importablePaths(drag->mimeData()).isEmpty()) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList paths = ImportableFiles::importablePaths(drop->mimeData());
        if (paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // After the drop is done: the import asks its questions in dialogs of their own, and the desktop
        // should not wait for them.
        QMetaObject::invokeMethod(
            this, [this, paths] { Q_EMIT filesDropped(paths); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}
