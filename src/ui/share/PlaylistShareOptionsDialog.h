#pragma once

#include "core/share/PlaylistShareOptions.h"

#include <optional>

class QWidget;

// The "Share Playlist" dialog of every window that exports a playlist: which files to build and where
// they go. Its texts are English in every interface language. Main thread only.
namespace PlaylistShareOptionsDialog {

// Runs the dialog modally. Nothing when it is cancelled, or when no format was chosen (the user is
// told so first).
std::optional<PlaylistShareOptions> run(QWidget *parent);

} // namespace PlaylistShareOptionsDialog
