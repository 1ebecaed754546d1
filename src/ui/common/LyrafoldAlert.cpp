#include "ui/common/LyrafoldAlert.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace LyrafoldAlert {

int run(QWidget *parent, Style style, const QString &message, const QString &informativeText,
        const QStringList &buttons, qsizetype namedButtons)
{
    QMessageBox box(parent);
    box.setIcon(style == Style::warning ? QMessageBox::Warning : QMessageBox::Information);
    box.setText(message);
    box.setInformativeText(informativeText);
    // The box takes its width from the short question above, so a sentence below it would wrap after
    // two or three words; give it room for a line of about fifty characters.
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
        const QFontMetrics metrics(label->font());
        label->setMinimumWidth(
            std::min(metrics.horizontalAdvance(informativeText), metrics.averageCharWidth() * 50));
    }
    QList<QAbstractButton *> added;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        // The last of several buttons is the way out, as Escape is.
        const bool escape = buttons.size() > 1 && i == buttons.size() - 1;
        // A name's "&" is shown, not taken as the mark of a shortcut key.
        const QString text = i < namedButtons
                                 ? QString(buttons.at(i)).replace(QLatin1Char('&'), QStringLiteral("&&"))
                                 : buttons.at(i);
        QPushButton *button = box.addButton(text, escape ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        if (i == 0)
            box.setDefaultButton(button);
        if (escape)
            box.setEscapeButton(button);
        added.append(button);
    }
    box.exec();
    return int(added.indexOf(box.clickedButton()));
}

} // namespace LyrafoldAlert
