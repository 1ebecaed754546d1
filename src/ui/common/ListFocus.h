#pragma once

class QAbstractItemView;
class QAbstractScrollArea;

// A list that takes the keyboard focus shows where the keys act: its current item, which the list
// rings itself (its delegate or its painting), or, while it has no item at all, a ring round the whole
// list, which this adds. The focus arriving by the keys makes the first item current without selecting
// it; Down (or Up) while the current item is not selected selects that item rather than stepping past
// it, so that Tab then Down lands on the item the ring marked, whether the list is visited the first
// time or again.
namespace ListFocus {

// Call once the view has its model.
void install(QAbstractItemView *view);
// An area without items that takes the focus to scroll by the keys (a panel of help, a form's list of
// pages): the ring round it while it has the focus.
void ringArea(QAbstractScrollArea *area);

} // namespace ListFocus
