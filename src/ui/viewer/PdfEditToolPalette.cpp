#include "ui/viewer/PdfEditToolPalette.h"

#include "ui/common/LyrafoldUIAssets.h"

#include <QApplication>
#include <QColorDialog>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int thicknessSteps = 10; // slider steps per point
constexpr int opacitySteps = 100;
constexpr int sliderWidth = 190;
// Room for the longest row label ("Herramientas"); the opacity row (label, slider, colour well) still fits
// the palette's width.
constexpr int labelWidth = 86;

const QColor penTint(0, 122, 255);
const QColor textTint(175, 82, 222);
const QColor highlighterTint(255, 204, 0);

// The icon at that size, or an empty picture of it when the icon cannot be read.
QIcon loadEditToolIcon(const QString &name, int side)
{
    QPixmap pixmap = LyrafoldUIAssets::image(name, side);
    if (pixmap.isNull()) {
        pixmap = QPixmap(side, side);
        pixmap.fill(Qt::transparent);
    }
    return QIcon(pixmap);
}

QPushButton *toolButton(QWidget *parent, const QString &tooltip)
{
    auto *button = new QPushButton(parent);
    button->setCheckable(true);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    button->setToolTip(tooltip);
    // Most show a picture alone: the tip names them for a screen reader.
    button->setAccessibleName(tooltip);
    button->setFixedSize(44, 36);
    return button;
}

QSlider *slider(QWidget *parent, int minimum, int maximum)
{
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(minimum, maximum);
    slider->setFixedWidth(sliderWidth);
    slider->setFocusPolicy(Qt::TabFocus);
    return slider;
}

// A command button no wider than its text needs, rather than the style's least width for a titled button:
// the four share the palette's fixed width, also with the longer Turkish and Spanish words.
class CommandButton : public QPushButton {
public:
    using QPushButton::QPushButton;

    QSize minimumSizeHint() const override
    {
        // The style's size for the text's room, asked without the title that would raise it to its least.
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        const QSize room = fontMetrics().size(Qt::TextShowMnemonic, text());
        return style()->sizeFromContents(QStyle::CT_PushButton, &option, room, this);
    }
};

QPushButton *commandButton(QWidget *parent, const QString &text)
{
    auto *button = new CommandButton(text, parent);
    // Narrower than its natural width where the row needs it, down to minimumSizeHint().
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

// A row of the palette, led by its label when it has one; the labels share a width, so the controls
// after them line up.
QHBoxLayout *row(QWidget *palette, QVBoxLayout *column, int spacing, const QString &label = {})
{
    auto *layout = new QHBoxLayout;
    layout->setSpacing(spacing);
    layout->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    column->addLayout(layout);
    if (!label.isEmpty()) {
        auto *text = new QLabel(label, palette);
        text->setFixedWidth(labelWidth);
        layout->addWidget(text);
    }
    return layout;
}

} // namespace

ColorWell::ColorWell(const QColor &color, QWidget *parent) : QPushButton(parent), m_color(color)
{
    setAutoDefault(false);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(44, 26);
    connect(this, &QPushButton::clicked, this, [this] {
        const QColor chosen = QColorDialog::getColor(m_color, window(), QStringLiteral("Colours"));
        if (chosen.isValid() && chosen != m_color) {
            setColor(chosen);
            Q_EMIT colorChanged(chosen);
        }
    });
}

void ColorWell::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void ColorWell::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0, 0, 0, 60));
    painter.setBrush(m_color);
    painter.drawRoundedRect(QRectF(rect()).adjusted(6.5, 5.5, -6.5, -5.5), 3, 3);
}

PdfEditInspectorView::PdfEditInspectorView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("editInspectorView"));
    setFixedSize(paletteSize);
    // Colours of its own: the black of presentation mode, set on the window, does not reach the
    // palette's background and labels.
    QPalette own = QApplication::palette();
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = QPalette::ColorGroup(group);
            const auto r = QPalette::ColorRole(role);
            own.setColor(g, r, own.color(g, r));
        }
    }
    setPalette(own);
    setAttribute(Qt::WA_StyledBackground, false);
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setBlurRadius(24);
    shadow->setOffset(0, 2);
    shadow->setColor(QColor(0, 0, 0, 64));
    setGraphicsEffect(shadow);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(26, 26, 26, 26);
    column->setSpacing(12);

    QHBoxLayout *tools = row(this, column, 10, QStringLiteral("Tools"));
    m_pen = toolButton(this, QStringLiteral("Pen"));
    m_pen->setIcon(loadEditToolIcon(QStringLiteral("pencil"), 28));
    m_pen->setIconSize(QSize(28, 28));
    tools->addWidget(m_pen);
    m_text = toolButton(this, QStringLiteral("Text mode"));
    m_text->setText(QStringLiteral("Aa"));
    QFont bold = m_text->font();
    bold.setPixelSize(18);
    bold.setBold(true);
    m_text->setFont(bold);
    tools->addWidget(m_text);
    m_highlighter = toolButton(this, QStringLiteral("Highlighter pen"));
    m_highlighter->setIcon(loadEditToolIcon(QStringLiteral("highlighter_marker"), 30));
    m_highlighter->setIconSize(QSize(30, 30));
    tools->addWidget(m_highlighter);
    m_highlighterColorWell = new ColorWell(Qt::yellow, this);
    m_highlighterColorWell->setToolTip(QStringLiteral("Highlighter colour"));
    m_highlighterColorWell->setAccessibleName(m_highlighterColorWell->toolTip());
    tools->addWidget(m_highlighterColorWell);

    QHBoxLayout *thicknessRow = row(this, column, 8, QStringLiteral("Thickness"));
    m_thickness = slider(this, int(minThickness * thicknessSteps), int(maxThickness * thicknessSteps));
    m_thickness->setObjectName(QStringLiteral("EditPopoverThickness"));
    m_thickness->setAccessibleName(QStringLiteral("Thickness"));
    thicknessRow->addWidget(m_thickness);

    QHBoxLayout *opacityRow = row(this, column, 8, QStringLiteral("Opacity"));
    m_opacity = slider(this, int(minOpacity * opacitySteps), int(maxOpacity * opacitySteps));
    m_opacity->setObjectName(QStringLiteral("EditPopoverOpacity"));
    m_opacity->setAccessibleName(QStringLiteral("Opacity"));
    opacityRow->addWidget(m_opacity);
    m_colorWell = new ColorWell(Qt::red, this);
    m_colorWell->setToolTip(QStringLiteral("Pen colour"));
    m_colorWell->setAccessibleName(m_colorWell->toolTip());
    opacityRow->addWidget(m_colorWell);

    QHBoxLayout *commands = row(this, column, 8);
    m_undo = commandButton(this, QStringLiteral("Undo"));
    m_redo = commandButton(this, QStringLiteral("Redo"));
    m_clearPage = commandButton(this, QStringLiteral("Clear page"));
    m_clearBook = commandButton(this, QStringLiteral("Clear book"));
    QPalette red = m_clearBook->palette();
    red.setColor(QPalette::ButtonText, QColor(255, 59, 48));
    m_clearBook->setPalette(red);
    for (QPushButton *button : {m_undo, m_redo, m_clearPage, m_clearBook})
        commands->addWidget(button);

    connect(m_thickness, &QSlider::valueChanged, this, [this] { Q_EMIT thicknessChanged(thickness()); });
    connect(m_opacity, &QSlider::valueChanged, this, [this] { Q_EMIT opacityChanged(opacity()); });
}

double PdfEditInspectorView::thickness() const
{
    return m_thickness->value() / double(thicknessSteps);
}

double PdfEditInspectorView::opacity() const
{
    return m_opacity->value() / double(opacitySteps);
}

void PdfEditInspectorView::showThickness(double value)
{
    const QSignalBlocker quiet(m_thickness);
    m_thickness->setValue(int(std::lround(value * thicknessSteps)));
}

void PdfEditInspectorView::showOpacity(double value)
{
    const QSignalBlocker quiet(m_opacity);
    m_opacity->setValue(int(std::lround(value * opacitySteps)));
}

void PdfEditInspectorView::showTool(PdfEditTool tool)
{
    const auto show = [](QPushButton *button, bool on, const QColor &tint) {
        button->setChecked(on);
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText,
                         on ? tint : QApplication::palette().color(QPalette::ButtonText));
        button->setPalette(palette);
    };
    show(m_pen, tool == PdfEditTool::pen, penTint);
    show(m_text, tool == PdfEditTool::text, textTint);
    show(m_highlighter, tool == PdfEditTool::highlighter, highlighterTint);
}

QPoint PdfEditInspectorView::initialOrigin(const QSize &area)
{
    return QPoint(std::max(area.width() - paletteSize.width() - rightInset, edgeMargin),
                  std::max(area.height() / 2 - paletteSize.height() / 2, edgeMargin));
}

QPoint PdfEditInspectorView::clampedOrigin(const QPoint &origin, const QSize &area)
{
    return QPoint(
        std::max(std::min(origin.x(), area.width() - paletteSize.width() - edgeMargin), edgeMargin),
        std::max(std::min(origin.y(), area.height() - paletteSize.height() - edgeMargin), edgeMargin));
}

PdfEditInspectorView::EdgeDistances PdfEditInspectorView::edgesOf(const QRect &frame, const QSize &area)
{
    return {frame.top(), frame.left(), area.height() - frame.top() - frame.height(),
            area.width() - frame.left() - frame.width()};
}

QPoint PdfEditInspectorView::originFromEdges(const EdgeDistances &edges, const QSize &area)
{
    const int x = edges.right <= edges.left ? area.width() - paletteSize.width() - edges.right : edges.left;
    const int y = edges.top <= edges.bottom ? edges.top : area.height() - paletteSize.height() - edges.bottom;
    return clampedOrigin(QPoint(x, y), area);
}

void PdfEditInspectorView::placeInitially()
{
    if (!parentWidget())
        return;
    move(initialOrigin(parentWidget()->size()));
    raise();
    recordEdges();
}

void PdfEditInspectorView::recordEdges()
{
    if (parentWidget())
        m_edgeInsets = edgesOf(geometry(), parentWidget()->size());
}

void PdfEditInspectorView::restorePositionFromEdges()
{
    if (parentWidget() && m_edgeInsets)
        move(originFromEdges(*m_edgeInsets, parentWidget()->size()));
}

void PdfEditInspectorView::mousePressEvent(QMouseEvent *event)
{
    m_dragStart = event->position().toPoint();
    event->accept();
}

void PdfEditInspectorView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragStart || !parentWidget())
        return;
    move(clampedOrigin(pos() + event->position().toPoint() - *m_dragStart, parentWidget()->size()));
    recordEdges();
}

void PdfEditInspectorView::mouseReleaseEvent(QMouseEvent *)
{
    m_dragStart.reset();
}

void PdfEditInspectorView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor background = palette().color(QPalette::Window);
    background.setAlphaF(0.96f);
    painter.setBrush(background);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}
