#include "pdf/view/ScannedPageMasters.h"

#include "pdf/view/RetiredThreads.h"

ScannedPageMasters::ScannedPageMasters(Ready ready) : m_state(std::make_shared<State>())
{
    m_state->ready = std::move(ready);
    m_thread = std::thread([state = m_state] { run(state); });
}

ScannedPageMasters::~ScannedPageMasters()
{
    bool making = false;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        m_state->giveUp = true;
        making = m_state->making.has_value();
    }
    m_state->wake.notify_all();
    // As the render queue's: only a thread still making an image is left to finish on its own.
    if (making)
        RetiredThreads::adopt(std::move(m_thread));
    else
        m_thread.join();
}

void ScannedPageMasters::setDocument(quint64 generation, const QString &path)
{
    State &state = *m_state;
    {
        std::lock_guard lock(state.mutex);
        state.generation = generation;
        state.path = path;
        state.wanted.clear();
        state.made.clear();
        if (state.making)
            state.giveUp = true;
    }
    state.wake.notify_all();
}

void ScannedPageMasters::want(quint64 generation, int pageIndex, double scale, const QRectF &image)
{
    State &state = *m_state;
    {
        std::lock_guard lock(state.mutex);
        if (generation != state.generation)
            return;
        const auto enough = [&](double made) { return made >= scale * (1 - 1e-9); };
        for (const Made &made : state.made) {
            if (made.pageIndex == pageIndex && enough(made.image->scale()))
                return;
        }
        if (state.making && !state.giveUp && state.making->pageIndex == pageIndex &&
            enough(state.making->scale))
            return;
        std::erase_if(state.wanted, [&](const Wanted &wanted) { return wanted.pageIndex == pageIndex; });
        state.wanted.push_front({pageIndex, scale, image});
    }
    state.wake.notify_all();
}

std::shared_ptr<const ScannedPageImage> ScannedPageMasters::find(quint64 generation, int pageIndex) const
{
    std::lock_guard lock(m_state->mutex);
    if (generation != m_state->generation)
        return nullptr;
    for (const Made &made : m_state->made) {
        if (made.pageIndex == pageIndex)
            return made.image;
    }
    return nullptr;
}

bool ScannedPageMasters::isIdle() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->wanted.empty() && !m_state->making;
}

void ScannedPageMasters::setStartHookForTesting(std::function<void(int pageIndex)> hook)
{
    std::lock_guard lock(m_state->mutex);
    m_state->startHook = std::move(hook);
}

void ScannedPageMasters::run(const std::shared_ptr<State> &shared)
{
    State &state = *shared;
    PdfDocumentPtr document;
    quint64 openedGeneration = 0;
    std::unique_lock lock(state.mutex);
    for (;;) {
        // A closed book is let go at once.
        if (state.path.isEmpty())
            document.reset();
        const auto hasWork = [&] {
            return state.stopping || !state.wanted.empty() || (state.path.isEmpty() && document);
        };
        state.wake.wait(lock, hasWork);
        if (state.stopping)
            return;
        if (state.wanted.empty())
            continue;
        const Wanted wanted = state.wanted.front();
        state.wanted.pop_front();
        const quint64 generation = state.generation;
        const QString path = state.path;
        state.making = wanted;
        state.giveUp = false;
        const auto startHook = state.startHook;
        lock.unlock();
        if (startHook)
            startHook(wanted.pageIndex);

        // A book of its own: the queue's is busy rendering, and a book is used by one thread at a time.
        if (!document || openedGeneration != generation) {
            Result<PdfDocumentPtr> opened = PdfDocument::open(path);
            document = opened ? std::move(opened).value() : nullptr;
            openedGeneration = generation;
        }
        std::optional<ScannedPageImage> made;
        if (document)
            made = ScannedPageImage::render(*document, wanted.pageIndex, wanted.scale, wanted.image,
                                            &state.giveUp);

        lock.lock();
        state.making.reset();
        if (!made || state.giveUp || generation != state.generation)
            continue;
        std::erase_if(state.made, [&](const Made &old) { return old.pageIndex == wanted.pageIndex; });
        state.made.push_front({wanted.pageIndex, std::make_shared<const ScannedPageImage>(std::move(*made))});
        while (state.made.size() > size_t(kept))
            state.made.pop_back();
        lock.unlock();
        state.ready(generation, wanted.pageIndex, wanted.scale);
        lock.lock();
    }
}
