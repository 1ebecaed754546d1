#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

// The small window-modal dialog that an export shows while it builds or saves: what it is doing now,
// how far it is, and Cancel. While it is open the window beneath takes no input, so no second export
// of that window can start. Closing it (Escape, the title bar) asks to cancel as Cancel does; the
// owner closes it when the work has stopped. Its texts are English in every interface language.
class ExportProgressDialog : public QDialog {
    Q_OBJECT

public:
    explicit ExportProgressDialog(QWidget *window, const QString &title = QStringLiteral("Exporting"));

    // "Building the PDF (1 of 3)": replaces the count with a busy bar until setCount().
    void setStep(const QString &text);
    // The count under the bar ("3 of 12 titles"); none for a total of 0.
    void setCount(qint64 done, qint64 total, const QString &unit = QStringLiteral("titles"));
    // The bar, which may count finer steps than the text (pages); a total of 0 shows a busy bar.
    void setBar(qint64 done, qint64 total);

    // Shows the dialog unless the work ends within a moment, so that quick work does not flash it.
    // A second export is refused meanwhile by its owner, not by the dialog.
    void showSoon();
    // The moment showSoon() waits (250 ms); 0 shows the dialog of even the quickest work.
    static void setShowDelayForTesting(int milliseconds);

    // Closes the dialog once the work has stopped.
    void finish() { QDialog::done(QDialog::Accepted); }
    // Asks to cancel, as Cancel does; the dialog stays.
    void reject() override;

Q_SIGNALS:
    void cancelled();

private:
    QLabel *m_step;
    QLabel *m_count;
    QProgressBar *m_bar;
    QPushButton *m_cancel;
    bool m_cancelRequested = false;
};
