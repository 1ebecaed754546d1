#include "ui/common/LyrafoldAlert.h"

#include "ui/services/LyrafoldLanguageService.h"

#include <QMessageBox>
#include <QPushButton>

namespace LyrafoldAlert {

int run(QWidget *parent, Style style, const QString &message, const QString &informativeText,
        const QStringList &buttons)
{
    using LyrafoldLanguageService::localized;
    QMessageBox box(parent);
    box.setIcon(style == Style::warning ? QMessageBox::Warning : QMessageBox::Information);
    box.setText(localized(message));
    box.setInformativeText(localized(informativeText));
    QList<QAbstractButton *> added;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        // The last of several buttons is the way out, as Escape is.
        const bool escape = buttons.size() > 1 && i == buttons.size() - 1;
        QPushButton *button = box.addButton(localized(buttons.at(i)),
                                            escape ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
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
