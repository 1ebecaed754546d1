#include "core/annotations/BookAnnotations.h"

#include "core/common/Hop.h"

namespace {

struct LoadOutcome {
    PdfEditCacheCodec::LoadResult result;
    std::optional<QString> asidePath;
};

} // namespace

BookAnnotations::BookAnnotations(QObject *parent) : QObject(parent)
{
    connect(&m_document, &AnnotationDocument::pageChanged, this, &BookAnnotations::markDirty);
}

BookAnnotations::~BookAnnotations()
{
    save();
}

void BookAnnotations::markDirty()
{
    m_dirty = true;
}

void BookAnnotations::open(const QString &pdfPath)
{
    if (!m_bookPath.isEmpty() && pdfPath == m_bookPath) {
        save();
        m_document.clearHistory();
        return;
    }
    close();
    m_bookPath = pdfPath;
    const quint64 opening = ++m_openCount;
    Hop::run(
        this,
        [pdfPath] {
            LoadOutcome outcome{PdfEditCacheCodec::load(pdfPath), std::nullopt};
            const auto status = outcome.result.status;
            if (status == PdfEditCacheCodec::LoadStatus::Unreadable ||
                status == PdfEditCacheCodec::LoadStatus::Undecodable)
                outcome.asidePath = PdfEditCacheCodec::setAside(pdfPath).value_or(QString());
            return outcome;
        },
        [this, opening](LoadOutcome outcome) {
            if (opening != m_openCount)
                return;
            m_ready = true;
            m_readOnly = outcome.asidePath && outcome.asidePath->isEmpty();
            m_document.reset(outcome.result.file);
            m_dirty = false;
            Q_EMIT loaded();
            if (outcome.asidePath)
                Q_EMIT fileSetAside(m_bookPath, *outcome.asidePath);
        });
}

void BookAnnotations::close()
{
    save();
    ++m_openCount;
    m_bookPath.clear();
    m_ready = false;
    m_readOnly = false;
    m_document.reset();
    m_dirty = false;
}

void BookAnnotations::save()
{
    if (!m_dirty || !m_ready || m_readOnly || m_bookPath.isEmpty())
        return;
    m_dirty = false;
    const Hop::Receiver back(this);
    PdfEditCacheCodec::saveInBackground(
        m_bookPath, m_document.pages(), [back, this, book = m_bookPath](bool saved, const QString &error) {
            if (!saved)
                back.post([this, book, error] { Q_EMIT saveFailed(book, error); });
        });
}
