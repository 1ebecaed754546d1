#include "core/annotations/AnnotationDocument.h"

#include <algorithm>

namespace {

EditAction actionOn(EditAction::Kind kind, qint64 page)
{
    EditAction action;
    action.kind = kind;
    action.pageIndex = page;
    return action;
}

} // namespace

class AnnotationDocument::HistoryWatch {
public:
    explicit HistoryWatch(AnnotationDocument &document)
        : m_document(document), m_couldUndo(document.canUndo()), m_couldRedo(document.canRedo())
    {
    }
    ~HistoryWatch()
    {
        if (m_document.canUndo() != m_couldUndo)
            Q_EMIT m_document.canUndoChanged(m_document.canUndo());
        if (m_document.canRedo() != m_couldRedo)
            Q_EMIT m_document.canRedoChanged(m_document.canRedo());
    }
    HistoryWatch(const HistoryWatch &) = delete;
    HistoryWatch &operator=(const HistoryWatch &) = delete;

private:
    AnnotationDocument &m_document;
    const bool m_couldUndo;
    const bool m_couldRedo;
};

AnnotationDocument::AnnotationDocument(QObject *parent) : QObject(parent) {}

bool AnnotationDocument::pageHasAnnotations(qint64 page) const
{
    return !m_pages.strokesByPage.value(page).isEmpty() || !m_pages.textsByPage.value(page).isEmpty();
}

quint64 AnnotationDocument::version(qint64 page) const
{
    return std::max(m_pageRevisions.value(page), m_resetRevision);
}

void AnnotationDocument::reset(const PdfEditCacheFile &pages)
{
    const HistoryWatch watch(*this);
    m_pages = pages;
    m_undo.clear();
    m_redo.clear();
    m_pageRevisions.clear();
    m_resetRevision = ++m_revision;
    Q_EMIT replaced();
}

void AnnotationDocument::clearHistory()
{
    const HistoryWatch watch(*this);
    m_undo.clear();
    m_redo.clear();
}

void AnnotationDocument::touch(qint64 page, Change change)
{
    const quint64 previous = version(page);
    m_pageRevisions.insert(page, ++m_revision);
    Q_EMIT pageChanged(page, previous, change);
}

void AnnotationDocument::perform(EditAction action)
{
    const HistoryWatch watch(*this);
    applyRedo(action);
    m_undo.append(std::move(action));
    m_redo.clear();
}

EditAction AnnotationDocument::clearAction(qint64 page) const
{
    EditAction action = actionOn(EditAction::Kind::clear, page);
    action.oldStrokes = strokes(page);
    action.oldTexts = texts(page);
    return action;
}

void AnnotationDocument::addStroke(qint64 page, const StrokeRecord &stroke)
{
    EditAction action = actionOn(EditAction::Kind::addStroke, page);
    action.stroke = stroke;
    perform(std::move(action));
}

void AnnotationDocument::addText(qint64 page, const TextRecord &text)
{
    EditAction action = actionOn(EditAction::Kind::addText, page);
    action.text = text;
    perform(std::move(action));
}

int AnnotationDocument::clearPages(const QList<qint64> &pages, qint64 pageCount)
{
    int cleared = 0;
    for (const qint64 page : pages) {
        if (page < 0 || page >= pageCount || !pageHasAnnotations(page))
            continue;
        perform(clearAction(page));
        ++cleared;
    }
    return cleared;
}

bool AnnotationDocument::clearBook()
{
    if (!hasAnnotations())
        return false;
    const HistoryWatch watch(*this);
    // The pages with a stroke list first, then those with notes only.
    QList<qint64> pages = m_pages.strokesByPage.keys();
    for (const qint64 page : m_pages.textsByPage.keys()) {
        if (!m_pages.strokesByPage.contains(page))
            pages.append(page);
    }
    for (const qint64 page : std::as_const(pages)) {
        if (pageHasAnnotations(page))
            m_undo.append(clearAction(page));
    }
    m_redo.clear();
    // The pages go with their lists: nothing of the book is left to write.
    m_pages = {};
    for (const qint64 page : std::as_const(pages))
        touch(page);
    return true;
}

bool AnnotationDocument::undo()
{
    if (m_undo.isEmpty())
        return false;
    const HistoryWatch watch(*this);
    EditAction action = m_undo.takeLast();
    applyUndo(action);
    m_redo.append(std::move(action));
    return true;
}

bool AnnotationDocument::redo()
{
    if (m_redo.isEmpty())
        return false;
    const HistoryWatch watch(*this);
    EditAction action = m_redo.takeLast();
    applyRedo(action);
    m_undo.append(std::move(action));
    return true;
}

bool AnnotationDocument::withdrawLastStroke()
{
    if (m_undo.isEmpty() || m_undo.last().kind != EditAction::Kind::addStroke)
        return false;
    const HistoryWatch watch(*this);
    QList<StrokeRecord> &list = m_pages.strokesByPage[m_undo.last().pageIndex];
    list.removeLast();
    const qint64 page = m_undo.takeLast().pageIndex;
    touch(page);
    return true;
}

bool AnnotationDocument::sameStroke(const StrokeRecord &a, const StrokeRecord &b)
{
    return a.points == b.points && a.thickness == b.thickness && a.opacity == b.opacity;
}

void AnnotationDocument::applyUndo(const EditAction &action)
{
    const qint64 page = action.pageIndex;
    switch (action.kind) {
    case EditAction::Kind::addStroke: {
        const auto found = m_pages.strokesByPage.find(page);
        if (found == m_pages.strokesByPage.end())
            return;
        found->removeIf([&](const StrokeRecord &stroke) { return sameStroke(stroke, action.stroke); });
        break;
    }
    case EditAction::Kind::addText: {
        const auto found = m_pages.textsByPage.find(page);
        if (found == m_pages.textsByPage.end())
            return;
        found->removeIf([&](const TextRecord &text) {
            return text.position == action.text.position && text.text == action.text.text;
        });
        break;
    }
    case EditAction::Kind::clear:
        m_pages.strokesByPage.insert(page, action.oldStrokes);
        m_pages.textsByPage.insert(page, action.oldTexts);
        break;
    }
    touch(page);
}

void AnnotationDocument::applyRedo(const EditAction &action)
{
    const qint64 page = action.pageIndex;
    switch (action.kind) {
    case EditAction::Kind::addStroke:
        m_pages.strokesByPage[page].append(action.stroke);
        touch(page, Change::strokeAppended);
        return;
    case EditAction::Kind::addText:
        m_pages.textsByPage[page].append(action.text);
        touch(page, Change::textAppended);
        return;
    case EditAction::Kind::clear:
        m_pages.strokesByPage.insert(page, {});
        m_pages.textsByPage.insert(page, {});
        touch(page);
        return;
    }
}
