#include "ui/viewer/ViewerToolbarRow.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

namespace {

// A one-line label that cuts its text at the tail with "…" when it is too narrow.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        const QRect area = contentsRect();
        painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    }
};

// A push button as wide as its text needs: the style's minimum width for text buttons would make the
// one-glyph page buttons as wide as "Fullscreen".
class CompactPushButton : public QPushButton {
public:
    using QPushButton::QPushButton;

    QSize sizeHint() const override
    {
        const QSize base = QPushButton::sizeHint();
        const int textWidth = fontMetrics().horizontalAdvance(text()) + 2 * 10;
        return QSize(std::max(textWidth, 30), base.height());
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

} // namespace

QPushButton *ViewerToolbarRow::makeButton(const QString &text)
{
    auto *button = new CompactPushButton(text);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QLabel *ViewerToolbarRow::makeElidingLabel()
{
    return new ElidingLabel(QString());
}

ViewerToolbarRow::ViewerToolbarRow(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_overflowMenu = new QMenu(this);
    m_overflowMenu->setToolTipsVisible(true);
    connect(m_overflowMenu, &QMenu::aboutToShow, this, &ViewerToolbarRow::fillOverflowMenu);
    m_overflowButton = new QToolButton(this);
    m_overflowButton->setText(QStringLiteral("\u00BB"));
    m_overflowButton->setObjectName(QStringLiteral("viewerToolbarOverflow"));
    m_overflowButton->setToolTip(QStringLiteral("More controls"));
    m_overflowButton->setFocusPolicy(Qt::TabFocus);
    m_overflowButton->setPopupMode(QToolButton::InstantPopup);
    m_overflowButton->setMenu(m_overflowMenu);
    m_overflowButton->hide();
}

void ViewerToolbarRow::addControl(QWidget *control, int keep)
{
    Control entry;
    entry.widget = control;
    entry.button = qobject_cast<QAbstractButton *>(control);
    entry.keep = keep;
    append(entry);
}

void ViewerToolbarRow::addControlPair(QWidget *first, QWidget *second, int keep)
{
    addControl(first, keep);
    addControl(second, keep);
    const qsizetype last = m_controls.size() - 1;
    m_controls[last - 1].partner = last;
    m_controls[last].partner = last - 1;
    relayout();
}

void ViewerToolbarRow::addElasticControl(QWidget *control)
{
    Control entry;
    entry.widget = control;
    entry.elastic = true;
    append(entry);
}

void ViewerToolbarRow::append(const Control &control)
{
    control.widget->setParent(this);
    m_controls.append(control);
    updateGeometry();
    relayout();
}

QList<QAbstractButton *> ViewerToolbarRow::overflowedButtons() const
{
    QList<QAbstractButton *> buttons;
    for (const Control &control : m_controls) {
        if (control.overflowed)
            buttons.append(control.button);
    }
    return buttons;
}

int ViewerToolbarRow::preferredWidth(const Control &control) const
{
    const QWidget *widget = control.widget;
    if (control.elastic && widget->maximumWidth() < QWIDGETSIZE_MAX)
        return widget->maximumWidth();
    return std::clamp(widget->sizeHint().width(), widget->minimumWidth(), widget->maximumWidth());
}

int ViewerToolbarRow::minimumWidth(const Control &control) const
{
    return control.elastic ? control.widget->minimumWidth() : preferredWidth(control);
}

QSize ViewerToolbarRow::sizeHint() const
{
    int width = 0;
    int height = m_overflowButton->sizeHint().height();
    for (const Control &control : m_controls) {
        width += preferredWidth(control) + (width > 0 ? spacing : 0);
        height = std::max(height, control.widget->sizeHint().height());
    }
    return QSize(width, height);
}

bool ViewerToolbarRow::event(QEvent *event)
{
    // A control's size changed (the page count label, for one).
    if (event->type() == QEvent::LayoutRequest) {
        updateGeometry();
        relayout();
    }
    return QWidget::event(event);
}

void ViewerToolbarRow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void ViewerToolbarRow::relayout()
{
    for (Control &control : m_controls)
        control.overflowed = false;

    // The width everything in the row takes with the elastic control at its minimum.
    const auto neededWidth = [&](bool withOverflow) {
        int width = 0;
        int count = 0;
        for (const Control &control : std::as_const(m_controls)) {
            if (!control.overflowed) {
                width += minimumWidth(control);
                ++count;
            }
        }
        if (withOverflow) {
            width += m_overflowButton->sizeHint().width();
            ++count;
        }
        return width + spacing * std::max(count - 1, 0);
    };

    const bool overflowing = neededWidth(false) > width();
    if (overflowing) {
        // The buttons leave in order of keep, of equal ones the rightmost first.
        QList<qsizetype> leaving;
        for (qsizetype i = 0; i < m_controls.size(); ++i) {
            if (m_controls[i].button)
                leaving.append(i);
        }
        std::stable_sort(leaving.begin(), leaving.end(), [&](qsizetype a, qsizetype b) {
            return m_controls[a].keep != m_controls[b].keep ? m_controls[a].keep < m_controls[b].keep : a > b;
        });
        for (const qsizetype index : std::as_const(leaving)) {
            if (neededWidth(true) <= width())
                break;
            m_controls[index].overflowed = true;
            if (m_controls[index].partner >= 0)
                m_controls[m_controls[index].partner].overflowed = true;
        }
    }

    // What is left over widens the elastic control; what is missing still narrows it.
    const int spare = width() - neededWidth(overflowing);
    const int rowHeight = height();
    int x = 0;
    for (const Control &control : std::as_const(m_controls)) {
        QWidget *widget = control.widget;
        int controlWidth = minimumWidth(control);
        if (control.elastic)
            controlWidth = std::min(controlWidth + spare, preferredWidth(control));
        if (control.overflowed || (control.elastic && controlWidth < minimumElasticWidth)) {
            widget->hide();
            continue;
        }
        const int controlHeight = std::min(widget->sizeHint().height(), rowHeight);
        widget->setGeometry(x, (rowHeight - controlHeight) / 2, controlWidth, controlHeight);
        widget->show();
        x += controlWidth + spacing;
    }
    if (overflowing) {
        const QSize size = m_overflowButton->sizeHint();
        const int controlHeight = std::min(size.height(), rowHeight);
        m_overflowButton->setGeometry(width() - size.width(), (rowHeight - controlHeight) / 2, size.width(),
                                      controlHeight);
    }
    m_overflowButton->setVisible(overflowing);
}

void ViewerToolbarRow::fillOverflowMenu()
{
    m_overflowMenu->clear();
    for (QAbstractButton *button : overflowedButtons()) {
        // A button that shows a symbol ("+", the arrows) is named in words, as a screen reader hears it.
        QAction *action = m_overflowMenu->addAction(
            button->accessibleName().isEmpty() ? button->text() : button->accessibleName());
        action->setToolTip(button->toolTip());
        action->setCheckable(button->isCheckable());
        action->setChecked(button->isChecked());
        action->setEnabled(button->isEnabled());
        connect(action, &QAction::triggered, button, &QAbstractButton::click);
    }
}
