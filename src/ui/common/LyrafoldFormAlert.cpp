#include "ui/common/LyrafoldFormAlert.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

LyrafoldFormAlert::LyrafoldFormAlert(QWidget *parent, const QString &objectName, const QString &message,
                                     const QString &informativeText, const QStringList &buttons)
    : QDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(message);
    // Wide enough for the title bar to show the message whole.
    setMinimumWidth(std::max(360, fontMetrics().horizontalAdvance(message) + 160));
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    auto *messageLabel = new QLabel(message);
    QFont bold = messageLabel->font();
    bold.setBold(true);
    messageLabel->setFont(bold);
    messageLabel->setWordWrap(true);
    m_informative = new QLabel(informativeText);
    m_informative->setWordWrap(true);
    m_informative->setVisible(!informativeText.isEmpty());
    layout->addWidget(messageLabel);
    layout->addWidget(m_informative);

    auto *box = new QDialogButtonBox;
    for (int i = 0; i < buttons.size(); ++i) {
        const bool escape = buttons.size() > 1 && i == buttons.size() - 1;
        QPushButton *button = box->addButton(buttons.at(i), escape ? QDialogButtonBox::RejectRole
                                                                   : QDialogButtonBox::AcceptRole);
        button->setAutoDefault(false);
        button->setDefault(i == 0);
        connect(button, &QPushButton::clicked, this, [this, i] { press(i); });
        m_buttons.append(button);
    }
    layout->addWidget(box);
}

void LyrafoldFormAlert::setAccessory(QWidget *accessory)
{
    auto *column = static_cast<QVBoxLayout *>(layout());
    if (m_accessory)
        delete m_accessory;
    m_accessory = accessory;
    column->insertWidget(column->count() - 1, accessory);
    // The buttons were made first: Tab goes through the form's controls, then to them.
    QWidget *last = accessory->focusPolicy() & Qt::TabFocus ? accessory : nullptr;
    for (QWidget *widget = accessory->nextInFocusChain(); accessory->isAncestorOf(widget);
         widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            last = widget;
    }
    for (QPushButton *button : std::as_const(m_buttons)) {
        if (last)
            QWidget::setTabOrder(last, button);
        last = button;
    }
}

void LyrafoldFormAlert::setFirstField(QLineEdit *field)
{
    field->setFocus();
    field->selectAll();
}

void LyrafoldFormAlert::press(int index)
{
    if (index == 0 && m_acceptCheck && !m_acceptCheck())
        return;
    m_pressed = index;
    if (index == m_buttons.size() - 1 && m_buttons.size() > 1)
        reject();
    else
        accept();
}

int LyrafoldFormAlert::run()
{
    m_pressed = -1;
    exec();
    return m_pressed;
}

std::optional<QString> LyrafoldFormAlert::askText(QWidget *parent, const QString &objectName,
                                                  const QString &message, const QString &informativeText,
                                                  const QString &acceptButton, int fieldWidth)
{
    LyrafoldFormAlert alert(parent, objectName, message, informativeText,
                            {acceptButton, QStringLiteral("Cancel")});
    auto *field = new QLineEdit;
    field->setObjectName(objectName + QStringLiteral("Field"));
    field->setFixedWidth(fieldWidth);
    alert.setAccessory(field);
    alert.setFirstField(field);
    if (alert.run() != 0)
        return std::nullopt;
    return field->text();
}

QWidget *LyrafoldFormAlert::labeledRow(const QString &label, QWidget *control, const QString &detail)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto *caption = new QLabel(label);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    caption->setFixedWidth(120);
    layout->addWidget(caption, 0, Qt::AlignVCenter);
    if (detail.isEmpty()) {
        layout->addWidget(control, 1, Qt::AlignVCenter);
        return row;
    }
    auto *stack = new QWidget;
    auto *column = new QVBoxLayout(stack);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto *detailLabel = new QLabel(detail);
    QFont small = detailLabel->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    detailLabel->setFont(small);
    detailLabel->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(control);
    column->addWidget(detailLabel);
    layout->addWidget(stack, 1, Qt::AlignVCenter);
    return row;
}
