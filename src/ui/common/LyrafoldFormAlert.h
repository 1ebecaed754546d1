#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// A modal alert with controls of its own between its texts and its buttons: the slot prompts, the
// extraction choices and the import forms. The first button is the default and answers Return, the
// last of several is the way out and answers Escape. Its texts are English in every interface language.
class LyrafoldFormAlert : public QDialog {
    Q_OBJECT

public:
    LyrafoldFormAlert(QWidget *parent, const QString &objectName, const QString &message,
                      const QString &informativeText, const QStringList &buttons);

    // Placed between the texts and the buttons; the alert takes it. Tab goes through its controls, then
    // to the buttons.
    void setAccessory(QWidget *accessory);
    // The field of the accessory the user fills: the cursor is in it as the alert opens, its text
    // selected, so that what is typed first replaces it.
    void setFirstField(QLineEdit *field);
    // Asked when the first button is pressed; false keeps the alert open (it has told the user why).
    void setAcceptCheck(std::function<bool()> check) { m_acceptCheck = std::move(check); }

    // The index of the button pressed; -1 when the alert was closed another way.
    int run();
    // As if the button at index were pressed (an accessory's own way to answer, a double click).
    void press(int index);

    // An alert whose accessory is one text field (object name: the alert's with "Field" appended):
    // the typed text when the first button is pressed.
    static std::optional<QString> askText(QWidget *parent, const QString &objectName, const QString &message,
                                          const QString &informativeText, const QString &acceptButton,
                                          int fieldWidth);

    // A form row: the label right-aligned in 120 pixels, then the control, with the detail in small
    // grey text below it when given.
    static QWidget *labeledRow(const QString &label, QWidget *control, const QString &detail = {});

private:
    QLabel *m_informative = nullptr;
    QWidget *m_accessory = nullptr;
    QList<QPushButton *> m_buttons;
    std::function<bool()> m_acceptCheck;
    int m_pressed = -1;
};
