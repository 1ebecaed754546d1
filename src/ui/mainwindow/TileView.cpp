#include "ui/mainwindow/TileView.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

TileGlassView::TileGlassView(qreal cornerRadius, QWidget *parent)
    : QWidget(parent), m_cornerRadius(cornerRadius), m_borderColour(QColor::fromRgbF(1, 1, 1, 0.22f))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TileGlassView::setBorder(qreal width, const QColor &colour)
{
    if (width == m_borderWidth && colour == m_borderColour)
        return;
    m_borderWidth = width;
    m_borderColour = colour;
    update();
}

void TileGlassView::setRing(qreal width, const QColor &colour)
{
    if (width == m_ringWidth && colour == m_ringColour)
        return;
    m_ringWidth = width;
    m_ringColour = colour;
    update();
}

void TileGlassView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = m_borderWidth / 2;
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), m_cornerRadius,
                        m_cornerRadius);
    painter.fillPath(path, QColor::fromRgbF(0.11f, 0.12f, 0.14f, 0.72f));
    if (m_borderWidth > 0)
        painter.strokePath(path, QPen(m_borderColour, m_borderWidth));
    if (m_ringWidth > 0) {
        const qreal ringInset = m_ringWidth / 2;
        QPainterPath ring;
        ring.addRoundedRect(QRectF(rect()).adjusted(ringInset, ringInset, -ringInset, -ringInset),
                            m_cornerRadius, m_cornerRadius);
        painter.strokePath(ring, QPen(m_ringColour, m_ringWidth));
    }
}

TileView::TileView(QSize size, qreal cornerRadius, const QString &toolTip, Action action, QWidget *parent)
    : QWidget(parent), m_action(std::move(action)), m_glassBacking(new TileGlassView(cornerRadius, this)),
      m_imageView(new QLabel(this)), m_hitButton(new QPushButton(this))
{
    setFixedSize(size);
    setToolTip(toolTip);
    m_glassBacking->setGeometry(rect());

    m_imageView->setAlignment(Qt::AlignCenter);
    m_imageView->setAttribute(Qt::WA_TransparentForMouseEvents);

    // Invisible, over everything; the tile takes the presses, the button keeps the state.
    m_hitButton->setFlat(true);
    m_hitButton->setFocusPolicy(Qt::NoFocus);
    m_hitButton->setToolTip(toolTip);
    m_hitButton->setStyleSheet(QStringLiteral("QPushButton { background: transparent; border: none; }"));
    m_hitButton->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_hitButton->setGeometry(rect());
    connect(m_hitButton, &QPushButton::clicked, this, [this] {
        if (m_action)
            m_action(m_hitButton);
    });
}

int TileView::tag(const QAbstractButton *button)
{
    return button ? button->property(tagProperty).toInt() : 0;
}

bool TileView::isDarkAppearance() const
{
    return palette().color(QPalette::Window).lightnessF() < 0.5;
}

void TileView::activate()
{
    if (m_action)
        m_action(m_hitButton);
}

QLabel *TileView::makeLabel(const QString &text, qreal pixelSize, QFont::Weight weight, int maxLines)
{
    auto *label = new QLabel(text, this);
    QFont font = label->font();
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setWeight(weight);
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(maxLines > 1);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

void TileView::setPicture(const QPixmap &picture, const QRect &box)
{
    m_imageView->setGeometry(box);
    const QSizeF logical = picture.deviceIndependentSize();
    if (picture.isNull() || (logical.width() <= box.width() && logical.height() <= box.height())) {
        m_imageView->setPixmap(picture);
        return;
    }
    const QSize pixels = (QSizeF(box.size()) * picture.devicePixelRatio()).toSize();
    QPixmap scaled = picture.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(picture.devicePixelRatio());
    m_imageView->setPixmap(scaled);
}

void TileView::placeCaption(QLabel *caption, int top, int left, int width, int bottomLimit, int maxLines)
{
    const int lineHeight = caption->fontMetrics().lineSpacing();
    const int wanted =
        caption->heightForWidth(width) > 0 ? caption->heightForWidth(width) : caption->sizeHint().height();
    // A caption that needs more lines is cut at the line limit.
    const int height = qMin(qMin(wanted, maxLines * lineHeight), qMax(0, bottomLimit - top));
    caption->setGeometry(left, top, width, height);
}

void TileView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    activate();
}

void TileView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        refreshAppearance();
}
