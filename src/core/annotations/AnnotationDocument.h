#pragma once

#include "core/annotations/PdfEditCacheFile.h"

#include <QHash>
#include <QList>
#include <QObject>

// One annotation change as the history keeps it: a stroke or a note appended to a page, or a page's
// annotations as they were just before the page was cleared. An action holds its own copies.
struct EditAction {
    enum class Kind { addStroke, addText, clear };

    Kind kind = Kind::addStroke;
    qint64 pageIndex = 0;
    StrokeRecord stroke;            // addStroke
    TextRecord text;                // addText
    QList<StrokeRecord> oldStrokes; // clear
    QList<TextRecord> oldTexts;     // clear
};

// The annotations of one open book, by 0-based page index, with their undo history: what the viewer
// draws and edits, and what the single-title export draws into its pages (pages() is a snapshot that
// copies nothing until one side changes). Main thread only.
//
// Every change is one action, also a whole stroke however long its drag: a new change empties the
// redo history; undo and redo move one action at a time between the two. The history has no bound, so
// that clearing a whole book can always be undone page by page; it stays cheap because an action
// shares the lists it holds with the pages rather than copying them. It is emptied whenever the
// annotations are replaced (reset()), so it never spans two books or two openings.
class AnnotationDocument : public QObject {
    Q_OBJECT

public:
    enum class Change { strokeAppended, textAppended, other };

    explicit AnnotationDocument(QObject *parent = nullptr);

    const PdfEditCacheFile &pages() const { return m_pages; }
    QList<StrokeRecord> strokes(qint64 page) const { return m_pages.strokesByPage.value(page); }
    QList<TextRecord> texts(qint64 page) const { return m_pages.textsByPage.value(page); }
    bool hasAnnotations() const { return m_pages.hasAnnotations(); }
    bool pageHasAnnotations(qint64 page) const;
    // Grows with every change of the page (and with every reset), never the same twice.
    quint64 version(qint64 page) const;

    // Replaces every page and empties the history.
    void reset(const PdfEditCacheFile &pages = {});
    void clearHistory();

    void addStroke(qint64 page, const StrokeRecord &stroke);
    void addText(qint64 page, const TextRecord &text);
    // Empties the listed pages in order, one action each; pages outside 0 to pageCount - 1 and pages
    // without annotations are skipped. Returns how many pages were cleared.
    int clearPages(const QList<qint64> &pages, qint64 pageCount);
    // One action for each page with annotations, then every page goes; false when there was nothing.
    bool clearBook();

    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    // False, changing nothing, when there is nothing to undo or redo.
    bool undo();
    bool redo();
    // Takes back the last action when it is a stroke, as though it had never been drawn: it goes to
    // neither history. For a press that turned out to be part of a double click.
    bool withdrawLastStroke();

    // The histories themselves, for tests of what each step holds.
    const QList<EditAction> &undoStackForTesting() const { return m_undo; }
    const QList<EditAction> &redoStackForTesting() const { return m_redo; }

    // Strokes that an undo of one of them removes together: the same points, thickness and opacity,
    // whatever their colours.
    static bool sameStroke(const StrokeRecord &a, const StrokeRecord &b);

Q_SIGNALS:
    // A page changed; previousVersion is its version before. When the change only appended a stroke or
    // a note, what shows the previous version may add just that.
    void pageChanged(qint64 page, quint64 previousVersion, AnnotationDocument::Change change);
    // Everything may have changed (reset()).
    void replaced();
    // Undo or redo became possible or impossible.
    void canUndoChanged(bool canUndo);
    void canRedoChanged(bool canRedo);

private:
    // Tells canUndoChanged() and canRedoChanged() when its scope changed what they report.
    class HistoryWatch;

    // Applies a new change and records it: the redo history empties.
    void perform(EditAction action);
    EditAction clearAction(qint64 page) const;
    void applyUndo(const EditAction &action);
    void applyRedo(const EditAction &action);
    void touch(qint64 page, Change change = Change::other);

    PdfEditCacheFile m_pages;
    QList<EditAction> m_undo;
    QList<EditAction> m_redo;
    quint64 m_revision = 0;
    quint64 m_resetRevision = 0;
    QHash<qint64, quint64> m_pageRevisions;
};
