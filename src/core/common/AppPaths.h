#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Where the application keeps its files. Nothing here creates a folder unless its name says so.
namespace AppPaths {

// The per-user data folder ("Application Support"): $XDG_DATA_HOME or ~/.local/share.
QString dataHome();

// <data>/Lyrafold as the environment names it, when that path is not valid UTF-8: every path here is
// read as UTF-8, so dataHome() would name another folder (each bad byte decoded as U+FFFD), whose empty
// library would stand in for the user's. The bad bytes are shown as \xNN. Nothing when the path is
// sound.
std::optional<QString> undecodableDataFolder();

// A state folder the user may not read or enter, or a state file in one the user may not read, as the
// system refuses it at start: the library would open empty in its stead, and every save would fail.
struct Refused {
    QString path;
    QString reason; // the system's, in words
};
// The first such folder or file (the data folder, its slots and the annotations' folder; the files of
// the first two); nothing when the system opens them all, or they are not there yet.
std::optional<Refused> refusedStateFolder();

// <data>/Lyrafold: slot files, the bookmark cache and the playlists file.
QString applicationSupportDir();
QString slotsDir();
QString bookmarkCachePath();
QString playlistsPath();

// <data>/LyrafoldMac/PDFEditCache: the viewer's annotation files, one per PDF.
QString annotationCacheDir();

// Every folder that holds state files.
QStringList stateFolders();

// The user's Documents folder and, inside it, the import library "PDFs". The import library path is
// only computed; an empty result means it cannot be determined.
QString documentsDir();
QString importLibraryPath();

// A private folder (mode 0700) for export files inside the temporary folder, created on demand.
// Nothing when it cannot be created or is not ours.
std::optional<QString> privateTempDir();
// The same private folder of ours ("Lyrafold-<user id>") inside parent.
std::optional<QString> privateFolderIn(const QString &parent);

// The file whose lock a running instance holds for as long as it runs, so that no second process
// writes the same state files.
QString instanceLockPath();

} // namespace AppPaths
