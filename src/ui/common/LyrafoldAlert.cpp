#include "ui/common/LyrafoldAlert.h"

#include "core/common/NotificationBus.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace LyrafoldAlert {

namespace {

std::chrono::milliseconds keyGuard = std::chrono::seconds(1);

// Drops every key meant for the box or a control in it until the guard has passed since the box showed:
// the Space of a two-word search, the Return that ends a cell's field. A shortcut's key (a button's
// mnemonic) is taken as a key, and dropped with it. The mouse answers at once.
class KeyGuard : public QObject {
public:
    explicit KeyGuard(QWidget *box) : QObject(box), m_box(box)
    {
        m_shown.start();
        qApp->installEventFilter(this);
    }
    ~KeyGuard() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_box && type == QEvent::Show)
            m_shown.start();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || (widget != m_box && !m_box->isAncestorOf(widget)) ||
            m_shown.elapsed() >= qint64(keyGuard.count()))
            return false;
        event->accept();
        return true;
    }

private:
    QWidget *m_box;
    QElapsedTimer m_shown;
};

int runBox(QWidget *parent, Style style, const QString &message, const QString &informativeText,
           const QStringList &buttons, qsizetype namedButtons, bool unasked)
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
    // The way out, which Escape and the close box answer: "Cancel" wherever it stands (the quit's alert
    // offers it first), else the last button.
    qsizetype wayOut = buttons.size() - 1;
    for (qsizetype i = namedButtons; i < buttons.size(); ++i) {
        if (buttons.at(i) == QLatin1String("Cancel")) {
            wayOut = i;
            break;
        }
    }
    const qsizetype preferred = unasked ? wayOut : 0;
    QList<QAbstractButton *> added;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        // A name's "&" is shown, not taken as the mark of a shortcut key.
        const QString text = i < namedButtons
                                 ? QString(buttons.at(i)).replace(QLatin1Char('&'), QStringLiteral("&&"))
                                 : buttons.at(i);
        // The role orders the buttons: the last of several laid out last, so they stand as given.
        const bool last = buttons.size() > 1 && i == buttons.size() - 1;
        QPushButton *button = box.addButton(text, last ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        if (i == preferred)
            box.setDefaultButton(button);
        if (i == wayOut)
            box.setEscapeButton(button);
        added.append(button);
    }
    if (unasked) {
        new KeyGuard(&box);
        if (QAbstractButton *escape = box.escapeButton())
            QObject::connect(&NotificationBus::instance(), &NotificationBus::quitting, escape,
                             &QAbstractButton::click);
    }
    box.exec();
    return int(added.indexOf(box.clickedButton()));
}

} // namespace

int run(QWidget *parent, Style style, const QString &message, const QString &informativeText,
        const QStringList &buttons, qsizetype namedButtons)
{
    return runBox(parent, style, message, informativeText, buttons, namedButtons, false);
}

int runUnasked(QWidget *parent, Style style, const QString &message, const QString &informativeText,
               const QStringList &buttons)
{
    return runBox(parent, style, message, informativeText, buttons, 0, true);
}

void setKeyGuardForTesting(std::chrono::milliseconds guard)
{
    keyGuard = guard;
}

} // namespace LyrafoldAlert
