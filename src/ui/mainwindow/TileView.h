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
    // A ring along the outer edge, over the border; width 0 for none.
    void setRing(qreal width, const QColor &colour);
    qreal ringWidthForTesting() const { return m_ringWidth; }
    // The keyboard focus ring, inside the border and the ring.
    void setFocusRing(bool shown);
    bool hasFocusRingForTesting() const { return m_focusRing; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_cornerRadius;
    qreal m_borderWidth = 1;
    QColor m_borderColour;
    qreal m_ringWidth = 0;
    QColor m_ringColour;
    bool m_focusRing = false;
};

// What the three kinds of tile of the tool strip share: a glass panel, a picture, and over everything
// an invisible hit button that carries the tile's action, tool tip, on/off state and tag. The tile
// catches every press on its surface itself (the children let mouse events through) and passes it to
// the action with the hit button as sender, so the picture and the caption are as good as the glass.
//
// A tile takes keyboard focus by Tab, shows it with a ring, and takes Space and Return as a press.
//
// A tile has a fixed height and a width between its minimum and its natural width: a narrow window
// narrows the tiles rather than pushing some out of sight. The picture and the captions are laid out
// again for each width and each new caption text, the captions in a smaller type where a word or the
// lines would not fit.
class TileView : public QWidget {
    Q_OBJECT

public:
    using Action = std::function<void(QAbstractButton *sender)>;

    // A number a hit button carries for its action (a slot tile's slot), as an int property.
    static inline constexpr char tagProperty[] = "lyrafoldTag";
    static int tag(const QAbstractButton *button);

    QPushButton *hitButton() const { return m_hitButton; }

    // Whether the tile shows its dark look: the palette's window colour is dark.
    bool isDarkAppearance() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The smallest type a caption shrinks to.
    static constexpr int smallestCaptionPixelSize = 8;
    // Whether the caption's text fits its place: every word on one line, and all of its lines; for the
    // tests of clipped texts, which cannot tell so from the label alone.
    static bool captionFitsForTesting(const QLabel *caption);

protected:
    TileGlassView *glassBacking() const { return m_glassBacking; }

    // size is the natural size; the tile narrows down to minimumWidth.
    TileView(QSize size, int minimumWidth, qreal cornerRadius, const QString &toolTip, Action action,
             QWidget *parent);

    // Called for a press anywhere on the tile. Sends the action whether or not the hit button is
    // enabled: the Extract Bookmarks tile starts disabled and still lets the user pick a folder.
    virtual void activate();
    // The look for the current appearance.
    virtual void refreshAppearance() = 0;
    // Places the picture and the captions for the tile's current width.
    virtual void layoutContents() = 0;

    QLabel *makeLabel(const QString &text, qreal pixelSize, QFont::Weight weight, int maxLines);
    void setPicture(const QPixmap &picture) { m_picture = picture; }
    // For a tile whose width follows its caption: the narrowest, natural and widest width.
    void setWidths(int minimum, int natural, int maximum);
    // Shows the picture in the box, scaled down (never up) to fit.
    void placePicture(const QRect &box);
    // Lays a caption out in the area, at most maxLines lines high, in the type of its nominal size or
    // the largest smaller one in which it fits (see captionFits()).
    static void placeCaption(QLabel *caption, const QRect &area, int maxLines);

    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Lays out the contents and names the tile by its caption, for a screen reader.
    void relayout();

    Action m_action;

private:
    TileGlassView *m_glassBacking;
    QLabel *m_imageView;
    QPushButton *m_hitButton;
    QPixmap m_picture;
    QSize m_naturalSize;
    int m_minimumWidth;
};
