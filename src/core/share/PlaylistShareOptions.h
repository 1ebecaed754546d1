#pragma once

// Where the files of a playlist export go: copied into a folder the user picks, or offered in the
// share-or-save popup.
enum class PlaylistShareDestination { local, other };

// The answer of the "Share Playlist" dialog: which files to build and where they go. The initial
// values are the dialog's initial states.
struct PlaylistShareOptions {
    bool exportPDF = true;
    bool exportJPEG = false;
    bool exportTXT = false;
    bool exportHTML = false;
    bool exportLYF = false;
    bool includeLinksInPDF = true;
    bool includeLinksInText = true;
    bool includeBookAndPages = true;
    PlaylistShareDestination destination = PlaylistShareDestination::other;

    bool anyFormat() const { return exportPDF || exportJPEG || exportTXT || exportHTML || exportLYF; }

    friend bool operator==(const PlaylistShareOptions &, const PlaylistShareOptions &) = default;
};
