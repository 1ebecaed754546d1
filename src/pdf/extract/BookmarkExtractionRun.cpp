#include "pdf/extract/BookmarkExtractionRun.h"

#include "core/common/Hop.h"
#include "core/common/UiText.h"
#include "core/slots/LibrarySlots.h"

#include <QFileInfo>
#include <QSet>
#include <QThread>

namespace {

// The first few names of a list, then how many more.
QString namedBooks(const QStringList &names)
{
    constexpr qsizetype named = 3;
    QString books = names.mid(0, named).join(QStringLiteral(", "));
    if (names.size() > named)
        books += UiText::tr(" and %1 more").arg(names.size() - named);
    return books;
}

} // namespace

QString BookmarkExtractionRun::Summary::statusText() const
{
    if (cancelled)
        return UiText::tr("Extraction cancelled; nothing was changed.");
    QString text = UiText::tr("Extracted %1 bookmarks from %2 PDF(s)").arg(bookmarkCount).arg(pdfCount);
    // A count of none is left out. The books are named, so that the user knows which ones to look at;
    // a book without an outline also learns where it comes in whole.
    QStringList missed;
    if (!unopened.isEmpty())
        missed.append(UiText::tr("%1 could not be opened").arg(unopened.size()) + QStringLiteral(" (") +
                      namedBooks(unopened) + QLatin1Char(')'));
    if (!withoutBookmarks.isEmpty())
        missed.append(UiText::tr("%1 had no bookmarks").arg(withoutBookmarks.size()) +
                      (withoutBookmarks.size() == 1
                           ? UiText::tr(" (%1; add it with \"Import Images/PDFs\")")
                           : UiText::tr(" (%1; add them with \"Import Images/PDFs\")"))
                          .arg(namedBooks(withoutBookmarks)));
    if (!missed.isEmpty())
        text += QStringLiteral("; ") + missed.join(QStringLiteral(", "));
    if (unreadableFolders > 0)
        text += UiText::tr("; %1 folder(s) could not be read").arg(unreadableFolders);
    return text + undecodableText(undecodableNames);
}

QString BookmarkExtractionRun::undecodableText(const QStringList &names)
{
    if (names.isEmpty())
        return {};
    if (names.size() == 1)
        return UiText::tr("; 1 not read, its file or folder name is not valid UTF-8 "
                          "(%1; rename it to extract it)")
            .arg(names.first());
    return UiText::tr("; %1 not read, their file or folder names are not valid UTF-8 "
                      "(%2; rename them to extract them)")
        .arg(names.size())
        .arg(namedBooks(names));
}

BookmarkExtractionRun::BookmarkExtractionRun(LibrarySlots &librarySlots, Request request, QObject *parent)
    : QObject(parent), m_slots(librarySlots), m_request(std::move(request))
{
    m_pool.setMaxThreadCount(QThread::idealThreadCount());
    m_summary.pdfCount = m_request.pdfPaths.size();
    m_summary.unreadableFolders = m_request.unreadableFolders;
    m_summary.undecodableNames = m_request.undecodableNames;
}

BookmarkExtractionRun::~BookmarkExtractionRun()
{
    m_cancelled->store(true);
    m_pool.clear();
    m_pool.waitForDone();
}

QString BookmarkExtractionRun::progressText(qsizetype index, qsizetype total, const QString &path)
{
    return UiText::tr("Extracting bookmarks... %1/%2: %3")
        .arg(index + 1)
        .arg(total)
        .arg(QFileInfo(path).fileName());
}

void BookmarkExtractionRun::start()
{
    if (m_running)
        return;
    m_running = true;
    const QStringList &paths = m_request.pdfPaths;
    m_books.assign(size_t(paths.size()), std::nullopt);
    if (paths.isEmpty()) {
        complete();
        return;
    }
    Q_EMIT progressed(0, paths.size(), progressText(0, paths.size(), paths.first()));
    const Hop::Receiver back(this);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        m_pool.start([back, cancelled = m_cancelled, path = paths.at(i), i, this] {
            if (cancelled->load())
                return;
            PdfBookmarkExtractor::ExtractedBook book = PdfBookmarkExtractor::extractBook(path);
            back.post([this, i, book = std::move(book)]() mutable { bookRead(i, std::move(book)); });
        });
    }
}

void BookmarkExtractionRun::cancel()
{
    if (!m_running)
        return;
    m_running = false;
    m_cancelled->store(true);
    m_pool.clear();
    m_planned.reset();
    Summary summary;
    summary.cancelled = true;
    summary.pdfCount = m_summary.pdfCount;
    Q_EMIT finished(summary);
}

void BookmarkExtractionRun::bookRead(qsizetype index, PdfBookmarkExtractor::ExtractedBook book)
{
    if (!m_running)
        return;
    m_books[size_t(index)] = std::move(book);
    const qsizetype total = m_request.pdfPaths.size();
    // Songs, counts and lines are taken in list order, as far as the books are read without a gap:
    // each book still gets its line before its songs are taken.
    while (m_next < total && m_books[size_t(m_next)]) {
        PdfBookmarkExtractor::ExtractedBook &next = *m_books[size_t(m_next)];
        using Status = PdfBookmarkExtractor::ExtractedBook::Status;
        const QString fileName = QFileInfo(m_request.pdfPaths.at(m_next)).fileName();
        if (next.status == Status::unreadable)
            m_summary.unopened.append(fileName);
        else if (next.status == Status::noBookmarks)
            m_summary.withoutBookmarks.append(fileName);
        m_bookmarks.append(std::move(next.bookmarks));
        m_books[size_t(m_next)].reset();
        if (++m_next < total)
            Q_EMIT progressed(m_next, total, progressText(m_next, total, m_request.pdfPaths.at(m_next)));
    }
    if (m_next == total)
        complete();
}

void BookmarkExtractionRun::complete()
{
    ExtractionResult result;
    result.slot = m_request.slot;
    result.slotName = m_request.slotName;
    result.folder = m_request.folder;
    result.bookmarks = std::move(m_bookmarks);
    if (m_request.partial) {
        QSet<QString> books;
        for (const QString &path : std::as_const(m_request.pdfPaths))
            books.insert(QFileInfo(path).fileName().toLower());
        result.rereadBooks = std::move(books);
    }
    adopt(std::move(result));
}

void BookmarkExtractionRun::adopt(ExtractionResult result)
{
    // The songs are merged into the slot's rows on a worker; should the library change meanwhile, the
    // merge is made again from the rows as they are then.
    Hop::run(this, m_slots.extractionPlanner(std::move(result)),
             m_slots.session().landings().landing(this, [this](ExtractionPlan plan) {
                 if (!m_running)
                     return;
                 // What the user agreed to is what is replaced: a merge made again that would remove other
                 // counts is asked about again.
                 const std::pair counts(plan.slotRows, plan.bookmarksLost);
                 if (m_request.asksBeforeRebuilding && plan.slotRows > 0 && counts != m_answered) {
                     m_planned = std::move(plan);
                     Q_EMIT rebuildPlanned(counts.first, counts.second);
                     return;
                 }
                 take(std::move(plan));
             }));
}

void BookmarkExtractionRun::rebuild()
{
    if (!m_running || !m_planned)
        return;
    ExtractionPlan plan = std::move(*m_planned);
    m_planned.reset();
    m_answered = std::pair(plan.slotRows, plan.bookmarksLost);
    take(std::move(plan));
}

void BookmarkExtractionRun::take(ExtractionPlan plan)
{
    ExtractionResult again = plan.result;
    const std::optional<qsizetype> count = m_slots.adoptExtraction(std::move(plan));
    if (!count) {
        adopt(std::move(again));
        return;
    }
    m_running = false;
    m_summary.bookmarkCount = *count;
    Q_EMIT finished(m_summary);
}
