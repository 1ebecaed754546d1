#pragma once

#include "ui/mainwindow/TileView.h"

#include <QPixmap>

#include <optional>

// A small on/off tile of the tool strip (CUSTOM, DEFAULT): a picture over a caption of up to two
// lines, with a brass border while its hit button is on.
class WindowsStyleToggleToolTileView : public TileView {
    Q_OBJECT

public:
    // isToggle: the hit button flips between on and off when clicked; otherwise only code sets its
    // state and a click just sends the action.
    WindowsStyleToggleToolTileView(const QString &title, const QString &toolTip, Action action, bool isToggle,
                                   const QPixmap &image = {}, const QString &fallbackSystemSymbol = {},
                                   std::optional<qreal> customHeight = std::nullopt,
                                   QWidget *parent = nullptr);

    void refreshChrome();
    // The border for the hit button's state; call it after changing the state.
    void refreshToggleChrome();

protected:
    void activate() override;
    void refreshAppearance() override;
    void layoutContents() override;

private:
    QLabel *m_captionField;
    bool m_isToggle;
};
