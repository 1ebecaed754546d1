#include "ui/mainwindow/TileView.h"

#include "ui/common/LyrafoldTheme.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRegularExpression>

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

void TileGlassView::setFocusRing(bool shown)
{
    if (shown == m_focusRing)
        return;
    m_focusRing = shown;
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
    if (m_focusRing) {
        // Just inside the border (a toggled tile's is 3 wide) and the selection ring, clear of the
        // captions that fill a small tile's width.
        constexpr qreal width = 2;
        const qreal inset = qMax(m_borderWidth, m_ringWidth) + 1 + width / 2;
        QPainterPath ring;
        ring.addRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset),
                            qMax<qreal>(2, m_cornerRadius - inset + 1),
                            qMax<qreal>(2, m_cornerRadius - inset + 1));
        painter.strokePath(ring, QPen(LyrafoldTheme::focusRing(), width));
    }
}

namespace {

// What a caption label keeps for its layout: the type size it is made in and its most lines.
constexpr char nominalPixelSizeProperty[] = "lyrafoldCaptionPixelSize";
constexpr char maxLinesProperty[] = "lyrafoldCaptionMaxLines";

struct CaptionMeasure {
    int widestWord = 0;
    int lines = 0;
    int height = 0; // of the lines, without the leading under the last
};

CaptionMeasure measureCaption(const QString &text, const QFont &font, int width)
{
    const QFontMetrics metrics(font);
    CaptionMeasure measure;
    static const QRegularExpression space(QStringLiteral("\\s+"));
    for (const QString &word : text.split(space, Qt::SkipEmptyParts))
        measure.widestWord = qMax(measure.widestWord, metrics.horizontalAdvance(word));
    const int wrapped =
        metrics.boundingRect(QRect(0, 0, qMax(1, width), 100000), Qt::AlignHCenter | Qt::TextWordWrap, text)
            .height();
    measure.lines = qMax(1, qRound(double(wrapped) / metrics.lineSpacing()));
    measure.height = (measure.lines - 1) * metrics.lineSpacing() + metrics.height();
    return measure;
}

bool fitsIn(const CaptionMeasure &measure, const QSize &area, int maxLines)
{
    return measure.widestWord <= area.width() && measure.lines <= maxLines && measure.height <= area.height();
}

} // namespace

TileView::TileView(QSize size, int minimumWidth, qreal cornerRadius, const QString &toolTip, Action action,
                   QWidget *parent)
    : QWidget(parent), m_action(std::move(action)), m_glassBacking(new TileGlassView(cornerRadius, this)),
      m_imageView(new QLabel(this)), m_hitButton(new QPushButton(this)), m_naturalSize(size),
      m_minimumWidth(qMin(minimumWidth, size.width()))
{
    setFixedHeight(size.height());
    setMinimumWidth(m_minimumWidth);
    setMaximumWidth(size.width());
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    resize(size);
    setToolTip(toolTip);
    // Tab reaches the tile; a click does not take the focus away from where the user types.
    setFocusPolicy(Qt::TabFocus);
    m_glassBacking->setGeometry(rect());

    m_imageView->setAlignment(Qt::AlignCenter);
    m_imageView->setAttribute(Qt::WA_TransparentForMouseEvents);

    // Invisible, over everything; the tile takes the presses, the button keeps the state.
    m_hitButton->setFlat(true);
    m_hitButton->setFocusPolicy(Qt::NoFocus);
    m_hitButton->setToolTip(toolTip);
    // The hit button carries the tool tip (a language switch rewrites it there), but lies under no
    // pointer: the tile shows it.
    m_hitButton->installEventFilter(this);
    m_hitButton->setStyleSheet(QStringLiteral("QPushButton { background: transparent; border: none; }"));
    m_hitButton->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_hitButton->setGeometry(rect());
    connect(m_hitButton, &QPushButton::clicked, this, [this] {
        if (m_action)
            m_action(m_hitButton);
    });
}

QSize TileView::sizeHint() const
{
    return m_naturalSize;
}

QSize TileView::minimumSizeHint() const
{
    return {m_minimumWidth, m_naturalSize.height()};
}

void TileView::setWidths(int minimum, int natural, int maximum)
{
    if (minimum == m_minimumWidth && natural == m_naturalSize.width() && maximum == maximumWidth())
        return;
    m_minimumWidth = minimum;
    m_naturalSize.setWidth(natural);
    setMinimumWidth(minimum);
    setMaximumWidth(maximum);
    updateGeometry();
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
    label->setProperty(nominalPixelSizeProperty, font.pixelSize());
    label->setProperty(maxLinesProperty, maxLines);
    return label;
}

void TileView::placePicture(const QRect &box)
{
    if (m_imageView->geometry() == box && !m_imageView->pixmap().isNull())
        return;
    m_imageView->setGeometry(box);
    const QSizeF logical = m_picture.deviceIndependentSize();
    if (m_picture.isNull() || (logical.width() <= box.width() && logical.height() <= box.height())) {
        m_imageView->setPixmap(m_picture);
        return;
    }
    const QSize pixels = (QSizeF(box.size()) * m_picture.devicePixelRatio()).toSize();
    QPixmap scaled = m_picture.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(m_picture.devicePixelRatio());
    m_imageView->setPixmap(scaled);
}

void TileView::placeCaption(QLabel *caption, const QRect &area, int maxLines)
{
    QFont font = caption->font();
    const int nominal = caption->property(nominalPixelSizeProperty).toInt();
    CaptionMeasure measure;
    for (int size = qMax(nominal, smallestCaptionPixelSize); size >= smallestCaptionPixelSize; --size) {
        font.setPixelSize(size);
        measure = measureCaption(caption->text(), font, area.width());
        if (fitsIn(measure, area.size(), maxLines))
            break;
    }
    if (font != caption->font())
        caption->setFont(font);
    const int lineHeight = QFontMetrics(font).lineSpacing();
    const int height = qMin(qMin(measure.height, maxLines * lineHeight), area.height());
    caption->setGeometry(area.left(), area.top(), area.width(), qMax(0, height));
}

bool TileView::captionFitsForTesting(const QLabel *caption)
{
    const int maxLines = caption->property(maxLinesProperty).toInt();
    const QSize size = caption->size();
    return fitsIn(measureCaption(caption->text(), caption->font(), size.width()), size, qMax(1, maxLines));
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

void TileView::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const bool press = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    constexpr Qt::KeyboardModifiers chord =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (!press || event->modifiers().testAnyFlags(chord)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!event->isAutoRepeat())
        activate();
}

void TileView::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    m_glassBacking->setFocusRing(true);
}

void TileView::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    m_glassBacking->setFocusRing(false);
}

void TileView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        refreshAppearance();
}

void TileView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_glassBacking->setGeometry(rect());
    m_hitButton->setGeometry(rect());
    relayout();
}

bool TileView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_hitButton && event->type() == QEvent::ToolTipChange)
        setToolTip(m_hitButton->toolTip());
    return QWidget::eventFilter(watched, event);
}

bool TileView::event(QEvent *event)
{
    // A caption given a new text (a language switch) asks its tile for room.
    if (event->type() == QEvent::LayoutRequest)
        relayout();
    return QWidget::event(event);
}

void TileView::relayout()
{
    layoutContents();
    // The first caption: a tool's title, a slot's name.
    for (const QLabel *label : findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (label != m_imageView && !label->text().isEmpty()) {
            setAccessibleName(label->text().simplified());
            return;
        }
    }
}
