#pragma once

#include "core/playlist/PlaylistLibrary.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"
#include "core/slots/LibraryFiles.h"
#include "core/slots/LibrarySlots.h"

#include <memory>
#include <utility>

class LibraryFlowService;
class NotificationBus;
class OpenViewers;
class StateFileAlerts;

// The shared owners every window works with, made once at start by the application delegate and
// handed to each window's constructor. No window owns them, and no window needs another window to
// reach the library or the playlists: windows observe these owners (libraryChanged(),
// playlistsChanged(), saveFailed()) and change them only through their operations, or through the
// library flows the context holds for every window (libraryFlows()).
//
// The settings (AppSettings) and the interface language (LyrafoldLanguageService) are services over
// QSettings that read the stored value afresh on every call, so that a switch in one window reaches
// every window at once; their change notices come through notifications(), the application-wide bus.
class AppContext {
public:
    // Reads the playlists file; the library stays empty until a window loads a slot into it.
    AppContext();
    ~AppContext();
    AppContext(const AppContext &) = delete;
    AppContext &operator=(const AppContext &) = delete;

    LibrarySession &library() { return m_library; }
    // The rows of the library the main window's table shows, searched and sorted.
    LibraryShownRows &shownRows() { return m_shownRows; }
    // The slot operations and the files behind the songs, over the library's mutations.
    LibrarySlots &librarySlots() { return m_slots; }
    LibraryFiles &libraryFiles() { return m_files; }
    PlaylistLibrary &playlists() { return m_playlists; }
    NotificationBus &notifications();
    // The viewers open in the application, whichever window opened them.
    OpenViewers &viewers() { return *m_viewers; }
    // The library work that several windows start (extraction, imports, export, custom files,
    // relinking, opening songs), each reporting to the window it was started in.
    LibraryFlowService &libraryFlows() { return *m_libraryFlows; }

    // The state files set aside while the context was made (the playlists file is read then), before
    // any window could hear of it: (file, where it went). The main window tells them.
    QList<std::pair<QString, QString>> takeFilesSetAsideAtStart()
    {
        return std::exchange(m_setAsideAtStart, {});
    }

private:
    QList<std::pair<QString, QString>> m_setAsideAtStart;
    QMetaObject::Connection m_setAsideRecorder;
    // The session syncs the playlists, so they are made first and go last.
    PlaylistLibrary m_playlists;
    LibrarySession m_library;
    // Made right after the session, so that it hears of every change of the rows before the windows.
    LibraryShownRows m_shownRows;
    LibrarySlots m_slots;
    LibraryFiles m_files;
    // The viewers work with the library and the playlists: they go first.
    std::unique_ptr<OpenViewers> m_viewers;
    std::unique_ptr<LibraryFlowService> m_libraryFlows;
    // A file that could not be saved, or was set aside, is told over the window in use.
    std::unique_ptr<StateFileAlerts> m_fileAlerts;
};
