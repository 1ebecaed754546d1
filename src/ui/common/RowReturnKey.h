#pragma once

#include <QModelIndex>

#include <functional>

class QAbstractItemView;

// Return (or Enter) on a list's current row does what a click on that row does. The key acts only
// while the view itself has the focus (not an open cell field) and its current row is selected;
// otherwise, and for every other key, the view handles the key as it would.
namespace RowReturnKey {

void install(QAbstractItemView *view, std::function<void(const QModelIndex &current)> action);

} // namespace RowReturnKey
