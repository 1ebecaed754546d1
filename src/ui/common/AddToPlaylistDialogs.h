#pragma once

#include "core/bookmarks/BookmarkEntry.h"

#include <QString>

class PlaylistLibrary;
class QWidget;

// Putting one title into a playlist, from the viewer's "+" and the main window's row "+": the choice
// of a playlist (a button each for a few, a list to pick from for more), or a new playlist by name.
// The playlists change through PlaylistLibrary, which writes them in the background. Main thread.
namespace AddToPlaylistDialogs {

// Up to this many playlists are offered as buttons.
constexpr qsizetype maxPlaylistButtons = 6;

struct Result {
    enum class Kind {
        cancelled,    // nothing chosen, or a blank name
        added,        // the title went into the chosen playlist
        alreadyThere, // the chosen playlist held it already
        created,      // a new playlist was made with the title in it
        nameTaken,    // the new name was taken (the user was told); nothing changed
    };
    Kind kind = Kind::cancelled;
    QString playlistName;
};

Result addToPlaylist(QWidget *parent, PlaylistLibrary &playlists, const BookmarkEntry &entry);
// The prompt for a new playlist's name, then the title into it.
Result createNewPlaylistAndAdd(QWidget *parent, PlaylistLibrary &playlists, const BookmarkEntry &entry);

} // namespace AddToPlaylistDialogs
