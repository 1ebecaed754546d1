#include "ui/common/LyrafoldTheme.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>

namespace {

QColor rgb255(int r, int g, int b, qreal a = 1.0)
{
    return QColor::fromRgbF(float(r / 255.0), float(g / 255.0), float(b / 255.0), float(a));
}

bool isInstalled(const QString &family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

QFont serifFont(qreal size, bool bold, const LyrafoldTheme::FamilyFilter &installed)
{
    static const QStringList georgia = {QStringLiteral("Georgia"), QStringLiteral("Gelasio")};
    static const QStringList palatino = {QStringLiteral("Palatino"), QStringLiteral("Palatino Linotype"),
                                         QStringLiteral("TeX Gyre Pagella"), QStringLiteral("P052"),
                                         QStringLiteral("URW Palladio L")};
    const auto has = installed ? installed : LyrafoldTheme::FamilyFilter(isInstalled);
    const int pixels = qMax(1, qRound(size));
    for (const QStringList *faces : {&georgia, &palatino}) {
        for (const QString &family : *faces) {
            if (!has(family))
                continue;
            QFont font(family);
            font.setPixelSize(pixels);
            font.setWeight(bold ? QFont::Bold : QFont::Normal);
            return font;
        }
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixels);
    font.setWeight(bold ? QFont::DemiBold : QFont::Normal);
    return font;
}

void paintRoundedFill(QWidget *widget, qreal radius, const QColor &fill, qreal borderWidth = 0,
                      const QColor &border = {})
{
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = borderWidth / 2;
    QPainterPath path;
    path.addRoundedRect(QRectF(widget->rect()).adjusted(inset, inset, -inset, -inset), radius, radius);
    painter.fillPath(path, fill);
    if (borderWidth > 0)
        painter.strokePath(path, QPen(border, borderWidth));
}

// Paints the card fill under a widget's own painting; the widget class stays whatever it is.
class CardFillPainter : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            paintRoundedFill(static_cast<QWidget *>(watched), 8, LyrafoldTheme::playlistNameCardFill());
        return false;
    }
};

class LiquidPanel : public QWidget {
public:
    LiquidPanel(qreal cornerRadius, bool hairlineBorder, QWidget *parent)
        : QWidget(parent), m_cornerRadius(cornerRadius), m_borderWidth(hairlineBorder ? 1 : 0)
    {
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        // A heads-up-display glass: dark and see-through, whatever the palette.
        paintRoundedFill(this, m_cornerRadius, QColor::fromRgbF(0.11f, 0.12f, 0.14f, 0.72f), m_borderWidth,
                         QColor::fromRgbF(1, 1, 1, 0.22f));
    }

private:
    qreal m_cornerRadius;
    qreal m_borderWidth;
};

// The controls in the style's own drawing (the alerts' buttons, the round picture buttons, Study mode,
// the fields, the pop-ups, the spin boxes, the current item of a list) show the keyboard focus with a
// ring of the theme, not the style's faint outline, which the dark panels swallow.
class FocusRingStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        // A list's current item, where the keys act.
        if (element == PE_FrameFocusRect && qobject_cast<const QAbstractItemView *>(widget)) {
            drawRing(painter, QRectF(option->rect), false,
                     option->palette.color((option->state & State_Selected) ? QPalette::Highlight
                                                                            : QPalette::Base));
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        // A field of its own; the field inside a spin box or a pop-up is ringed with its control.
        if (element == PE_PanelLineEdit && (option->state & State_HasFocus) &&
            qobject_cast<const QLineEdit *>(widget) && widget->parentWidget() &&
            !qobject_cast<const QAbstractSpinBox *>(widget->parentWidget()) &&
            !qobject_cast<const QComboBox *>(widget->parentWidget()))
            drawRing(painter, QRectF(option->rect), false, option->palette.color(QPalette::Base));
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        if ((element == CE_PushButton || element == CE_CheckBox || element == CE_RadioButton) &&
            (option->state & State_HasFocus))
            drawRing(painter, QRectF(option->rect), false,
                     option->palette.color(element == CE_PushButton ? QPalette::Button : QPalette::Window));
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override
    {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if (!(option->state & State_HasFocus))
            return;
        if (control == CC_ComboBox || control == CC_SpinBox || control == CC_Slider) {
            drawRing(painter, QRectF(option->rect), false,
                     option->palette.color(control == CC_SpinBox  ? QPalette::Base
                                           : control == CC_Slider ? QPalette::Window
                                                                  : QPalette::Button));
            return;
        }
        if (control != CC_ToolButton)
            return;
        // A picture alone on a flat button (the round Spotify and YouTube logos) is ringed round.
        const auto *tool = qstyleoption_cast<const QStyleOptionToolButton *>(option);
        const bool round = tool && tool->toolButtonStyle == Qt::ToolButtonIconOnly &&
                           (option->state & State_AutoRaise) && tool->rect.width() == tool->rect.height();
        drawRing(painter, QRectF(option->rect), round, option->palette.color(QPalette::Window));
    }

private:
    static void drawRing(QPainter *painter, const QRectF &rect, bool round, const QColor &backdrop = {})
    {
        if (!round) {
            LyrafoldTheme::drawFocusRing(*painter, rect, 5, backdrop);
            return;
        }
        constexpr qreal width = 2;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(LyrafoldTheme::focusRing(), width));
        painter->drawEllipse(rect.adjusted(width / 2, width / 2, -width / 2, -width / 2));
        painter->restore();
    }
};

} // namespace

namespace LyrafoldTheme {

void installFocusRings()
{
    // Over the style the desktop chose, made anew from its name: the application deletes the style it
    // replaces.
    if (!dynamic_cast<FocusRingStyle *>(QApplication::style()))
        QApplication::setStyle(new FocusRingStyle(QApplication::style()->name()));
}

QPalette hudPalette()
{
    QPalette p;
    const QColor window = QColor::fromRgbF(0.12f, 0.13f, 0.15f);
    const QColor text = QColor::fromRgbF(0.93f, 0.93f, 0.94f);
    const QColor button = QColor::fromRgbF(0.26f, 0.27f, 0.29f);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor::fromRgbF(0.17f, 0.18f, 0.2f));
    p.setColor(QPalette::AlternateBase, QColor::fromRgbF(0.2f, 0.21f, 0.23f));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, button.lighter(140));
    p.setColor(QPalette::Midlight, button.lighter(120));
    p.setColor(QPalette::Mid, button.darker(120));
    p.setColor(QPalette::Dark, button.darker(160));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, LyrafoldTheme::tableSelectionBlue());
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor::fromRgbF(0.2f, 0.21f, 0.23f));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor::fromRgbF(1, 1, 1, 0.45f));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor::fromRgbF(1, 1, 1, 0.35f));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor::fromRgbF(1, 1, 1, 0.35f));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor::fromRgbF(1, 1, 1, 0.35f));
    return p;
}

const QColor &brassBorder()
{
    static const QColor c = rgb255(139, 105, 20);
    return c;
}

const QColor &liquidRowEven()
{
    static const QColor c = QColor::fromRgbF(1, 1, 1, 0.07f);
    return c;
}

const QColor &liquidRowOdd()
{
    static const QColor c = QColor::fromRgbF(1, 1, 1, 0.12f);
    return c;
}

const QColor &tableSelectionBlue()
{
    static const QColor c = rgb255(36, 128, 245);
    return c;
}

const QColor &focusRing()
{
    static const QColor c = rgb255(140, 195, 255);
    return c;
}

void drawFocusRing(QPainter &painter, const QRectF &rect, qreal radius, const QColor &backdrop)
{
    constexpr qreal width = 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(focusRing(), width));
    const QRectF ring = rect.adjusted(width / 2, width / 2, -width / 2, -width / 2);
    painter.drawRoundedRect(ring, radius, radius);
    // The light blue fades into a white card or field: a line of the selection's deeper blue inside
    // it keeps the ring in sight there.
    if (backdrop.isValid() && backdrop.lightnessF() > 0.6) {
        painter.setPen(QPen(tableSelectionBlue(), 1));
        painter.drawRoundedRect(ring.adjusted(1.5, 1.5, -1.5, -1.5), std::max<qreal>(0, radius - 1.5),
                                std::max<qreal>(0, radius - 1.5));
    }
    painter.restore();
}

QString focusedButtonRule(const QString &selector, int border, int paddingTop, int paddingSide)
{
    // At least as wide as the ring on the other buttons; the padding gives back what the border takes,
    // so that the text stays where it was.
    const int ring = std::max(2, border);
    const int grown = ring - border;
    return QStringLiteral("%1:focus { border: %2px solid %3; padding: %4px %5px; }")
        .arg(selector)
        .arg(ring)
        .arg(focusRing().name())
        .arg(std::max(0, paddingTop - grown))
        .arg(std::max(0, paddingSide - grown));
}

const QColor &tableHoverBlue()
{
    static const QColor c = rgb255(110, 175, 255, 0.35);
    return c;
}

const QColor &previewHighlightCardTint()
{
    static const QColor c = rgb255(70, 150, 255, 0.48);
    return c;
}

const QColor &tableHeaderFill()
{
    static const QColor c = QColor::fromRgbF(0.23f, 0.23f, 0.23f, 1);
    return c;
}

QColor playlistNameCardFill()
{
    QColor c = QGuiApplication::palette().color(QPalette::WindowText);
    c.setAlphaF(0.12f);
    return c;
}

QFont playlistCardTitleFontBold(qreal size, const FamilyFilter &installed)
{
    return serifFont(size, true, installed);
}

QFont playlistCardTitleFont(qreal size, const FamilyFilter &installed)
{
    return serifFont(size, false, installed);
}

void styleMatteRedButton(QAbstractButton *button)
{
    button->setStyleSheet(
        QStringLiteral(
            "QAbstractButton { background-color: rgba(148,18,15,250); border: 1px solid rgba(255,92,71,242); "
            "border-radius: 6px; color: white; font-size: 13px; font-weight: 700; padding: 3px 12px; } "
            "QAbstractButton:pressed { background-color: rgba(120,12,10,250); } "
            "QAbstractButton:disabled { color: rgba(255,255,255,110); } ") +
        focusedButtonRule(QStringLiteral("QAbstractButton"), 1, 3, 12));
}

} // namespace LyrafoldTheme

namespace LyrafoldPlaylistCardChrome {

void applyLayerStyle(QWidget *view)
{
    if (!view || view->findChild<CardFillPainter *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    view->installEventFilter(new CardFillPainter(view));
    if (!view->graphicsEffect()) {
        auto *shadow = new QGraphicsDropShadowEffect(view);
        shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.15f));
        shadow->setOffset(0, 2);
        shadow->setBlurRadius(8);
        view->setGraphicsEffect(shadow);
    }
    view->update();
}

} // namespace LyrafoldPlaylistCardChrome

namespace LyrafoldLiquidChrome {

QWidget *makePanelLiquidView(qreal cornerRadius, bool hairlineBorder, QWidget *parent)
{
    return new LiquidPanel(cornerRadius, hairlineBorder, parent);
}

} // namespace LyrafoldLiquidChrome

#include "LyrafoldTheme.moc"
