#pragma once

#include <QList>

class PdfViewerWindowController;

// The viewers open in the application, whichever window opened them; the application context keeps
// the one registry. A viewer leaves it when its window closes and is deleted on the next turn of the
// event loop; the viewers still open when the registry goes are deleted with it.
class OpenViewers {
public:
    OpenViewers() = default;
    ~OpenViewers();
    OpenViewers(const OpenViewers &) = delete;
    OpenViewers &operator=(const OpenViewers &) = delete;

    // Takes the viewer in and shows it (which closes the viewer that was current). Returns the viewer.
    PdfViewerWindowController *show(PdfViewerWindowController *viewer);

    const QList<PdfViewerWindowController *> &list() const { return m_viewers; }

private:
    QList<PdfViewerWindowController *> m_viewers;
};
