#pragma once

#include "ui/mainwindow/TileView.h"

#include <QPixmap>

// The tile of one library slot: a picture, the slot's name and the small word "Slot" (in the interface
// language); the tile of the current slot wears a blue ring. The window writes the name into
// numberField() and sets slotSelected, each followed by applyChrome().
class WindowsStyleSlotTileView : public TileView {
    Q_OBJECT

public:
    WindowsStyleSlotTileView(int slotNumber, const QString &defaultName, const QString &toolTip,
                             Action action, const QPixmap &slotImage = {}, QWidget *parent = nullptr);

    QLabel *numberField() const { return m_numberField; }
    // Shows the slot's name and tool tip. A name too long for the tile ends in "…", and the tool tip
    // names it in full.
    void setName(const QString &name, const QString &toolTip);

    bool slotSelected = false;

    void applyChrome();

protected:
    void refreshAppearance() override { applyChrome(); }
    void layoutContents() override;

private:
    QLabel *m_numberField;
    QLabel *m_slotLabel;
    QString m_name;
    QString m_toolTip;
};
