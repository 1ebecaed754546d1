#include "ui/common/RowReturnKey.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>

namespace RowReturnKey {

namespace {

class Filter : public QObject {
public:
    Filter(QAbstractItemView *view, std::function<void(const QModelIndex &)> action)
        : QObject(view), m_view(view), m_action(std::move(action))
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_view || event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            key->modifiers().testAnyFlags(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                                          Qt::MetaModifier) ||
            !m_view->hasFocus())
            return false;
        const QModelIndex current = m_view->currentIndex();
        const QItemSelectionModel *selection = m_view->selectionModel();
        if (!current.isValid() || !selection || !selection->isRowSelected(current.row(), current.parent()))
            return false;
        if (!key->isAutoRepeat())
            m_action(current);
        return true;
    }

private:
    QAbstractItemView *m_view;
    std::function<void(const QModelIndex &)> m_action;
};

} // namespace

void install(QAbstractItemView *view, std::function<void(const QModelIndex &current)> action)
{
    view->installEventFilter(new Filter(view, std::move(action)));
}

} // namespace RowReturnKey
