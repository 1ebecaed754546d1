#include "pdf/view/ScannedPageMasters.h"

ScannedPageMasters::ScannedPageMasters(Ready ready) : m_ready(std::move(ready))
{
    m_thread = std::thread([this] { run(); });
}

ScannedPageMasters::~ScannedPageMasters()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_giveUp = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void ScannedPageMasters::setDocument(quint64 generation, const QString &path)
{
    {
        std::lock_guard lock(m_mutex);
        m_generation = generation;
        m_path = path;
        m_wanted.clear();
        m_made.clear();
        if (m_making)
            m_giveUp = true;
    }
    m_wake.notify_all();
}

void ScannedPageMasters::want(quint64 generation, int pageIndex, double scale, const QRectF &image)
{
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_generation)
            return;
        const auto enough = [&](double made) { return made >= scale * (1 - 1e-9); };
        for (const Made &made : m_made) {
            if (made.pageIndex == pageIndex && enough(made.image->scale()))
                return;
        }
        if (m_making && !m_giveUp && m_making->pageIndex == pageIndex && enough(m_making->scale))
            return;
        std::erase_if(m_wanted, [&](const Wanted &wanted) { return wanted.pageIndex == pageIndex; });
        m_wanted.push_front({pageIndex, scale, image});
    }
    m_wake.notify_all();
}

std::shared_ptr<const ScannedPageImage> ScannedPageMasters::find(quint64 generation, int pageIndex) const
{
    std::lock_guard lock(m_mutex);
    if (generation != m_generation)
        return nullptr;
    for (const Made &made : m_made) {
        if (made.pageIndex == pageIndex)
            return made.image;
    }
    return nullptr;
}

bool ScannedPageMasters::isIdle() const
{
    std::lock_guard lock(m_mutex);
    return m_wanted.empty() && !m_making;
}

void ScannedPageMasters::run()
{
    PdfDocumentPtr document;
    quint64 openedGeneration = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        // A closed book is let go at once.
        if (m_path.isEmpty())
            document.reset();
        m_wake.wait(lock, [&] { return m_stopping || !m_wanted.empty() || (m_path.isEmpty() && document); });
        if (m_stopping)
            return;
        if (m_wanted.empty())
            continue;
        const Wanted wanted = m_wanted.front();
        m_wanted.pop_front();
        const quint64 generation = m_generation;
        const QString path = m_path;
        m_making = wanted;
        m_giveUp = false;
        lock.unlock();

        // A book of its own: the queue's is busy rendering, and a book is used by one thread at a time.
        if (!document || openedGeneration != generation) {
            Result<PdfDocumentPtr> opened = PdfDocument::open(path);
            document = opened ? std::move(opened).value() : nullptr;
            openedGeneration = generation;
        }
        std::optional<ScannedPageImage> made;
        if (document)
            made =
                ScannedPageImage::render(*document, wanted.pageIndex, wanted.scale, wanted.image, &m_giveUp);

        lock.lock();
        m_making.reset();
        if (!made || m_giveUp || generation != m_generation)
            continue;
        std::erase_if(m_made, [&](const Made &old) { return old.pageIndex == wanted.pageIndex; });
        m_made.push_front({wanted.pageIndex, std::make_shared<const ScannedPageImage>(std::move(*made))});
        while (m_made.size() > size_t(kept))
            m_made.pop_back();
        lock.unlock();
        m_ready(generation, wanted.pageIndex, wanted.scale);
        lock.lock();
    }
}
