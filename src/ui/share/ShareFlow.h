#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// What every share from a window has in common: the flow lives as a child of the window and ends with
// it, one share of a window builds at a time, and what it made is offered in the share-or-save popup
// under the window's Share button. Main thread only.
class ShareFlow : public QObject {
    Q_OBJECT

public:
    // Whether a share of the window is building.
    static bool isBuilding(const QWidget *window);

Q_SIGNALS:
    // The flow has ended (nothing was made, the build was cancelled, the popup is shown, or the save
    // was reported); it deletes itself after.
    void finished();

protected:
    // anchor: the Share button the popup points at; the window when there is none.
    ShareFlow(QWidget *window, QWidget *anchor, const QString &objectName);

    virtual bool building() const = 0;
    // Where the popup points: the Share button while it lives, else the window.
    QWidget *popupAnchor() const;
    void end();

    QWidget *m_window;

private:
    QPointer<QWidget> m_anchor;
};
