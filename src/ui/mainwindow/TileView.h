#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QLabel;
class QPushButton;

// The glass panel behind a tile: a dark, see-through rounded panel with a border the tile sets.
class TileGlassView : public QWidget {
    Q_OBJECT

public:
    TileGlassView(qreal cornerRadius, QWidget *parent);

    void setBorder(qreal width, const QColor &colour);
    qreal borderWidth() const { return m_borderWidth; }
    const QColor &borderColour() const { return m_borderColour; }
    // A ring along the outer edge, over the border; width 0 for none.
    void setRing(qreal width, const QColor &colour);
    qreal ringWidth() const { return m_ringWidth; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_cornerRadius;
    qreal m_borderWidth = 1;
    QColor m_borderColour;
    qreal m_ringWidth = 0;
    QColor m_ringColour;
};

// What the three kinds of tile of the tool strip share: a glass panel, a picture, and over everything
// an invisible hit button that carries the tile's action, tool tip, on/off state and tag. The tile
// catches every press on its surface itself (the children let mouse events through) and passes it to
// the action with the hit button as sender, so the picture and the caption are as good as the glass.
class TileView : public QWidget {
    Q_OBJECT

public:
    using Action = std::function<void(QAbstractButton *sender)>;

    // A number a hit button carries for its action (a slot tile's slot), as an int property.
    static inline constexpr char tagProperty[] = "lyrafoldTag";
    static int tag(const QAbstractButton *button);

    QPushButton *hitButton() const { return m_hitButton; }
    TileGlassView *glassBacking() const { return m_glassBacking; }
    QLabel *imageView() const { return m_imageView; }

    // Whether the tile shows its dark look: the palette's window colour is dark.
    bool isDarkAppearance() const;

protected:
    TileView(QSize size, qreal cornerRadius, const QString &toolTip, Action action, QWidget *parent);

    // Called for a press anywhere on the tile. Sends the action whether or not the hit button is
    // enabled: the Extract Bookmarks tile starts disabled and still lets the user pick a folder.
    virtual void activate();
    // The look for the current appearance.
    virtual void refreshAppearance() = 0;

    QLabel *makeLabel(const QString &text, qreal pixelSize, QFont::Weight weight, int maxLines);
    // Shows the picture in the box, scaled down (never up) to fit.
    void setPicture(const QPixmap &picture, const QRect &box);
    // Lays a caption out under the picture, at most maxLines lines high and never past bottomLimit.
    static void placeCaption(QLabel *caption, int top, int left, int width, int bottomLimit, int maxLines);

    void mousePressEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

    Action m_action;

private:
    TileGlassView *m_glassBacking;
    QLabel *m_imageView;
    QPushButton *m_hitButton;
};
