#pragma once

#include "core/playlist/PlaylistItem.h"

#include <QList>
#include <QObject>

#include <optional>

class QPushButton;
class QWidget;

// The buttons that float over the viewer's pages: the previous and next title of the list played
// through, in a strip along the bottom edge, and in presentation mode the exit button in the top right
// corner. White and translucent over the page; in presentation mode they are lighter, with white text.
class ViewerFloatingButtons : public QObject {
    Q_OBJECT

public:
    explicit ViewerFloatingButtons(QWidget *window);

    // Places them along the window's edges again.
    void layout();
    // The titles beside the current one, or the strip hidden without a list.
    void showTitles(const std::optional<QList<PlaylistItem>> &items, qint64 currentIndex);
    void setPresentationMode(bool on);

Q_SIGNALS:
    void previousTitle();
    void nextTitle();
    void exitFullscreen();

private:
    QPushButton *makeTitleButton(const QString &objectName);
    void applyTitleStyle(QPushButton *button);
    void refreshStyles();

    QWidget *m_window;
    QWidget *m_titleStrip = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_exitFullscreen = nullptr;
    bool m_presentationMode = false;
};
