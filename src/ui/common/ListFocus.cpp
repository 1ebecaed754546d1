#include "ui/common/ListFocus.h"

#include "ui/common/LyrafoldTheme.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QList>
#include <QPainter>

#include <utility>

namespace ListFocus {

namespace {

// The ring round an area: over its viewport, shown only while it is wanted, and never in the way of the
// pointer or a drop.
class EmptyRing : public QWidget {
public:
    explicit EmptyRing(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        LyrafoldTheme::drawFocusRing(painter, rect(), 4, parentWidget()->palette().color(QPalette::Base));
    }
};

class Watcher : public QObject {
public:
    // view is the area as a list, or null for an area without items.
    Watcher(QAbstractScrollArea *area, QAbstractItemView *view)
        : QObject(area), m_area(area), m_viewport(area->viewport()), m_view(view), m_ring(new EmptyRing(area))
    {
        area->installEventFilter(this);
        m_viewport->installEventFilter(this);
        // A widget says it is destroyed before its children go: the viewport first, then a model the
        // view owns, which empties itself as it goes and would call back into a viewport already freed.
        connect(area, &QObject::destroyed, this, [this] { letGo(); });
        if (!view)
            return;
        if (QItemSelectionModel *selection = view->selectionModel())
            m_connections.append(
                connect(selection, &QItemSelectionModel::currentChanged, this, [this] { showRing(); }));
        if (QAbstractItemModel *model = view->model()) {
            m_connections.append(
                connect(model, &QAbstractItemModel::modelReset, this, [this] { showRing(); }));
            m_connections.append(
                connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { showRing(); }));
            m_connections.append(
                connect(model, &QAbstractItemModel::rowsInserted, this, [this] { showRing(); }));
        }
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_viewport) {
            if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
                m_ring->setGeometry(m_viewport->geometry());
            return false;
        }
        if (watched != m_area)
            return false;
        switch (event->type()) {
        case QEvent::FocusIn:
            // After the view's own handling, which makes the first item current when there is none.
            QMetaObject::invokeMethod(
                this, [this] { showRing(); }, Qt::QueuedConnection);
            break;
        case QEvent::FocusOut:
            showRing();
            break;
        case QEvent::KeyPress:
            return m_view && keyPressed(static_cast<QKeyEvent *>(event));
        default:
            break;
        }
        return false;
    }

private:
    // The ring is on the current item, selected or not, and wherever the focus came from (Tab on a
    // first visit or back from the next control, the window shown again): Down or Up on an item the
    // ring marks but the selection does not selects that item, where the view would step past it.
    bool keyPressed(const QKeyEvent *key)
    {
        const QModelIndex current = m_view->currentIndex();
        QItemSelectionModel *selection = m_view->selectionModel();
        if ((key->key() != Qt::Key_Down && key->key() != Qt::Key_Up) || key->modifiers() != Qt::NoModifier ||
            !current.isValid() || !selection || selection->isSelected(current) ||
            m_view->selectionMode() == QAbstractItemView::NoSelection)
            return false;
        const auto rows = m_view->selectionBehavior() == QAbstractItemView::SelectRows
                              ? QItemSelectionModel::Rows
                              : QItemSelectionModel::NoUpdate;
        selection->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect | rows);
        m_view->scrollTo(current);
        return true;
    }

    void letGo()
    {
        for (const QMetaObject::Connection &connection : std::as_const(m_connections))
            disconnect(connection);
        m_connections.clear();
        m_viewport->removeEventFilter(this);
        m_area->removeEventFilter(this);
    }

    void showRing()
    {
        const bool shown = m_area->hasFocus() && (!m_view || !m_view->currentIndex().isValid());
        m_ring->setGeometry(m_viewport->geometry());
        m_ring->setVisible(shown);
        if (shown)
            m_ring->raise();
    }

    QAbstractScrollArea *m_area;
    QWidget *m_viewport;
    QAbstractItemView *m_view;
    EmptyRing *m_ring;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace

void install(QAbstractItemView *view)
{
    new Watcher(view, view);
}

void ringArea(QAbstractScrollArea *area)
{
    new Watcher(area, nullptr);
}

} // namespace ListFocus
