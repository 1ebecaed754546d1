#include "ui/common/PagePreviewWindow.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

PagePreviewWindow::PagePreviewWindow(QWidget *owner)
    // A tool-tip window: frameless, above the others and never activated, so the library window stays
    // the active one (its preview closes when it is not).
    : QWidget(owner,
              Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(contentWidth, contentHeight);
    m_imageView = new QLabel(this);
    m_imageView->setGeometry(rect().adjusted(1, 1, -1, -1));
    m_imageView->setAlignment(Qt::AlignCenter);
    m_imageView->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PagePreviewWindow::setImage(const QImage &image)
{
    QPixmap pixmap = QPixmap::fromImage(image);
    // Scaled down proportionally to fit, never up: a small page stays sharp.
    const QSize room = m_imageView->size() * devicePixelRatioF();
    if (pixmap.width() > room.width() || pixmap.height() > room.height())
        pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    pixmap.setDevicePixelRatio(devicePixelRatioF());
    m_imageView->setPixmap(pixmap);
}

bool PagePreviewWindow::hasImage() const
{
    return !m_imageView->pixmap().isNull();
}

void PagePreviewWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.fillPath(card, palette().color(QPalette::Window));
    painter.setPen(QPen(QColor(200, 200, 200), 1));
    painter.drawPath(card);
}
