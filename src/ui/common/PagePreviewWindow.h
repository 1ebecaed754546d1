#pragma once

#include <QWidget>

class QLabel;

// The borderless window beside the pointer that shows a song's first page while the pointer rests on
// its row: a rounded card with a thin light border, the page scaled down (never up) to fit. It never
// takes the focus or a click, so the table under it keeps working.
class PagePreviewWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int contentWidth = 532;
    static constexpr int contentHeight = 684;

    explicit PagePreviewWindow(QWidget *owner);

    void setImage(const QImage &image);
    bool hasImage() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_imageView;
};
