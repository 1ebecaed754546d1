#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress of an auto-tag run over the main window: a text line, a bar and Cancel. Window-modal:
// the main window waits, the rest of the application does not. It only shows; the run is the
// window's.
class AutoTagSheet : public QDialog {
    Q_OBJECT

public:
    // The most characters of a title the text line shows.
    static constexpr int maxTitleLength = 80;

    AutoTagSheet(qsizetype total, QWidget *parent);

    void showProgress(qsizetype done, qsizetype total, const QString &title);

Q_SIGNALS:
    // Cancel, Escape or the window's close: the run stops before its next title; the sheet stays until
    // the run has ended.
    void cancelRequested();

protected:
    void reject() override;

private:
    // "12/40: Title", the title cut to maxTitleLength characters and an ellipsis.
    static QString progressText(qsizetype done, qsizetype total, const QString &title);
    QLabel *m_label = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancel = nullptr;
};
