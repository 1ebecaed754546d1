#pragma once

#include <QWidget>

// A header bar with the card look (LyrafoldPlaylistCardChrome).
class LyrafoldPlaylistStyleHeaderBarView : public QWidget {
    Q_OBJECT

public:
    explicit LyrafoldPlaylistStyleHeaderBarView(QWidget *parent = nullptr);
};
