#pragma once

#include "ui/common/StatusSink.h"

#include <QLabel>

// A window's status line: what was done last, or why it failed, in the window's own words (the language
// service leaves its text alone), selectable for copying. A long text never widens the window: it is
// cut at the line's end and shows whole as the tool tip.
//
// Saves run in the background: a write that fails after a success text was shown replaces that text
// (reportFailedSaves()).
class StatusLine : public QLabel, public StatusSink {
    Q_OBJECT

public:
    explicit StatusLine(const QString &objectName, QWidget *parent = nullptr);

    void setStatus(const QString &text);
    // "Ready" in the interface's language (English in a window kept English): the line a window starts
    // with, which follows every switch of the language until a status replaces it.
    void showReady();
    bool showsReady() const { return m_showsReady; }
    void retranslateReady();

    void showStatus(const QString &text) override { setStatus(text); }
    void showFailure(const QString &text) override;
    // Back to "Ready" when the line tells a failure: a later change succeeded.
    void clearFailure();
    QWidget *statusWindow() override { return window(); }

    // "Loading Slot 3…", while a slot's file is read.
    static QString loadingSlotText(const QString &slotName);

    // "Could not save playlists.json: disk full".
    static QString failedSaveText(const QString &path, const QString &reason);

    // Shows failedSaveText() whenever the owner (LibrarySession, PlaylistLibrary) tells saveFailed.
    template <typename Owner> void reportFailedSaves(const Owner &owner)
    {
        connect(&owner, &Owner::saveFailed, this, [this](const QString &path, const QString &reason) {
            setStatus(failedSaveText(path, reason));
        });
    }

private:
    bool m_showsReady = false;
    bool m_showsFailure = false;
};
