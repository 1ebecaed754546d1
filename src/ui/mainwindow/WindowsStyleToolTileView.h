#pragma once

#include "ui/mainwindow/TileView.h"

#include <QPixmap>

#include <optional>

// A tool tile of the main window's tool strip: a picture over a caption of up to three lines.
class WindowsStyleToolTileView : public TileView {
    Q_OBJECT

public:
    // A "\n" in the title breaks the line. Without an image the desktop's symbol of
    // fallbackSystemSymbol stands in; without either the picture stays empty.
    WindowsStyleToolTileView(const QString &title, const QPixmap &image, const QString &toolTip,
                             Action action, const QString &fallbackSystemSymbol = {},
                             std::optional<qreal> customHeight = std::nullopt, QWidget *parent = nullptr);

    void refreshChrome();

protected:
    void refreshAppearance() override { refreshChrome(); }
    void layoutContents() override;

private:
    QLabel *m_captionField;
};
