#pragma once

#include <QObject>
#include <QStringList>

class QWidget;

// Makes a widget (the main window's content, below every control that takes drops of its own) accept
// pictures and PDFs dragged from the desktop: a drag that carries at least one importable file is
// accepted as a copy, and dropping it hands over the importable files in the drag's order, once the
// drop is done. Folders and other files are left out; a drag with nothing importable is refused.
class ImagePdfDropTarget : public QObject {
    Q_OBJECT

public:
    explicit ImagePdfDropTarget(QWidget *area);

Q_SIGNALS:
    void filesDropped(const QStringList &paths);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_area;
};
