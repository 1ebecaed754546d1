#include "ui/common/LyrafoldPlaylistStyleHeaderBarView.h"

#include "ui/common/LyrafoldTheme.h"

LyrafoldPlaylistStyleHeaderBarView::LyrafoldPlaylistStyleHeaderBarView(QWidget *parent) : QWidget(parent)
{
    LyrafoldPlaylistCardChrome::applyLayerStyle(this);
}
