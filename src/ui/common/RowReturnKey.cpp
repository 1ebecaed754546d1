#include "ui/common/RowReturnKey.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>

namespace RowReturnKey {

namespace {

class Filter : public QObject {
public:
    Filter(QAbstractItemView *view, std::function<void(const QModelIndex &)> action, Unselected unselected)
        : QObject(view), m_view(view), m_action(std::move(action)), m_unselected(unselected)
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
        QItemSelectionModel *selection = m_view->selectionModel();
        if (!current.isValid() || !selection)
            return false;
        if (!selection->isRowSelected(current.row(), current.parent())) {
            if (m_unselected == Unselected::ignore)
                return false;
            selection->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        if (!key->isAutoRepeat())
            m_action(current);
        return true;
    }

private:
    QAbstractItemView *m_view;
    std::function<void(const QModelIndex &)> m_action;
    Unselected m_unselected;
};

} // namespace

void install(QAbstractItemView *view, std::function<void(const QModelIndex &current)> action,
             Unselected unselected)
{
    view->installEventFilter(new Filter(view, std::move(action), unselected));
}

} // namespace RowReturnKey
