#pragma once

#include <QObject>
#include <QPointer>

class QMessageBox;

// Tells the user in an alert over the window they are working in when one of the application's files
// could not be saved (once, until it is saved again: the storage tells only the first failure of a
// file) or could not be read and was set aside while Lyrafold ran. The window's status line tells too;
// with no window shown, only the status lines do. A book's annotation file is told by its viewer. A
// quit closes the alert: it tells what is still unsaved itself.
class StateFileAlerts : public QObject {
    Q_OBJECT

public:
    explicit StateFileAlerts(QObject *parent = nullptr);

private:
    void tell(const QString &message, const QString &detail);

    // The alert shown now: what else goes wrong meanwhile is added to it rather than stacked over it.
    QPointer<QMessageBox> m_shown;
};
