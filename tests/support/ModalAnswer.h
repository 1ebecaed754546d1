#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>

// Answers the modal dialogs that open while it lives: a message box by pressing the button with the
// given text (its message and informative text are recorded), any other dialog by handing it to a
// function; or each dialog in turn, message boxes too, by the next of a list of steps (the dialogs
// after the last step are rejected). Keeps a test from hanging in a dialog's event loop.
class ModalAnswer : public QObject {
public:
    explicit ModalAnswer(const QString &button) : m_button(button) { start(); }
    explicit ModalAnswer(std::function<void(QDialog *)> handle) : m_handle(std::move(handle)) { start(); }
    // Message boxes by the button, the other dialogs by the function.
    ModalAnswer(const QString &button, std::function<void(QDialog *)> handle)
        : m_button(button), m_handle(std::move(handle))
    {
        start();
    }
    using Step = std::function<void(QDialog *)>;
    explicit ModalAnswer(QList<Step> steps) : m_steps(std::move(steps)), m_scripted(true) { start(); }

    // Presses the button of dialog with that text; fails the test when there is none, and closes the
    // dialog so that the test goes on to its end rather than wait in the dialog for its watchdog.
    static void press(QDialog *dialog, const QString &text)
    {
        for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>()) {
            if (button->text() == text) {
                button->click();
                return;
            }
        }
        dialog->reject();
        QFAIL(qPrintable(QStringLiteral("no button %1 in %2").arg(text, dialog->objectName())));
    }

    // The steps not taken yet.
    qsizetype stepsLeft() const { return m_steps.size(); }

    QStringList messages;
    QStringList informativeTexts;
    QStringList buttons;      // of each message box, joined by "|"
    QStringList otherDialogs; // the object names of the other dialogs

private:
    void start()
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] { answer(); });
        m_timer.start();
    }

    void answer()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        // A dialog is answered once while it stays open: the one whose step opened another dialog is
        // the active one again when that closes.
        if (!dialog || m_answered.contains(dialog))
            return;
        // The progress of an export asks nothing: it shows once the work outlasts a quarter second,
        // as it does on a busy machine, and closes when the work ends. Answered, it would be cancelled
        // or taken for the dialog the test answers.
        if (dialog->objectName() == QLatin1String("exportProgressDialog"))
            return;
        m_answered.append(dialog);
        connect(dialog, &QDialog::finished, this, [this, dialog] { m_answered.removeAll(dialog); });
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            messages.append(box->text());
            informativeTexts.append(box->informativeText());
        }
        if (m_scripted) {
            if (!qobject_cast<QMessageBox *>(dialog))
                otherDialogs.append(dialog->objectName());
            if (m_steps.isEmpty()) {
                dialog->reject();
                return;
            }
            // Out of the timer's call: a step that opens another dialog needs the timer again there.
            QMetaObject::invokeMethod(
                this,
                [step = m_steps.takeFirst(), target = QPointer<QDialog>(dialog)] {
                    if (target)
                        step(target);
                },
                Qt::QueuedConnection);
            return;
        }
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            QStringList texts;
            for (QAbstractButton *button : box->buttons())
                texts.append(button->text());
            buttons.append(texts.join(QLatin1Char('|')));
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == m_button) {
                    button->click();
                    return;
                }
            }
            box->reject();
            return;
        }
        otherDialogs.append(dialog->objectName());
        if (m_handle)
            m_handle(dialog);
        else
            dialog->reject();
    }

    QString m_button;
    std::function<void(QDialog *)> m_handle;
    QList<Step> m_steps;
    bool m_scripted = false;
    QTimer m_timer;
    QList<QPointer<QDialog>> m_answered; // answered and still open
};
