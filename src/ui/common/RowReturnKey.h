#pragma once

#include <QModelIndex>

#include <functional>

class QAbstractItemView;

// Return (or Enter) on a list's current row does what a click on that row does. The key acts only
// while the view itself has the focus (not an open cell field) and has a current row; otherwise, and
// for every other key, the view handles the key as it would.
namespace RowReturnKey {

// What Return does with a current row that is not selected (Tab put the focus on it): nothing, or
// select it, as a click would, and act.
enum class Unselected { ignore, selectFirst };

void install(QAbstractItemView *view, std::function<void(const QModelIndex &current)> action,
             Unselected unselected = Unselected::ignore);

} // namespace RowReturnKey
