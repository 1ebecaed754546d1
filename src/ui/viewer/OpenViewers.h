#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class AppContext;
class PdfViewerWindowController;
struct ViewerOpenRequest;

// The viewers open in the application, whichever window opened them, and the one that is current (the
// one shown last, while it is open); the application context keeps the one registry. A viewer leaves it
// when its window closes and is deleted on the next turn of the event loop; the viewers still open when
// the registry goes are deleted with it.
class OpenViewers : public QObject {
    Q_OBJECT

public:
    explicit OpenViewers(AppContext &context);
    ~OpenViewers() override;

    // A song opened from a window's list: the viewer that was current closes, the new one joins the
    // open viewers and shows. With study mode on it takes the left half of its screen (studyModeFrame())
    // and the chosen provider's web search for the title opens beside it. Returns the viewer.
    PdfViewerWindowController *openSong(const ViewerOpenRequest &request);

private:
    // Takes the viewer in and shows it (which closes the viewer that was current). Returns the viewer.
    PdfViewerWindowController *show(PdfViewerWindowController *viewer);
    // A viewer being shown becomes the current one; the one that was current closes.
    void makeCurrent(PdfViewerWindowController *viewer);
    // A viewer's window has closed.
    void viewerClosed();

    AppContext &m_context;
    QList<PdfViewerWindowController *> m_viewers;
    QPointer<PdfViewerWindowController> m_current;
};
