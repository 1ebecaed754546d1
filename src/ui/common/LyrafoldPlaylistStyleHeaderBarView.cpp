#include "common/LyrafoldPlaylistStyleHeaderBarView.h"

#include "common/LyrafoldTheme.h"

LyrafoldPlaylistStyleHeaderBarView::LyrafoldPlaylistStyleHeaderBarView(QWidget *parent) : QWidget(parent)
{
    LyrafoldPlaylistCardChrome::applyLayerStyle(this);
}
