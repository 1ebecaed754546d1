#include "pdf/view/RetiredThreads.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

class Reaper {
public:
    ~Reaper()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void adopt(std::thread thread)
    {
        {
            std::lock_guard lock(m_mutex);
            m_waiting.push_back(std::move(thread));
            ++m_unjoined;
            ++m_adopted;
            if (!m_thread.joinable())
                m_thread = std::thread([this] { run(); });
        }
        m_wake.notify_all();
    }

    int adopted()
    {
        std::lock_guard lock(m_mutex);
        return m_adopted;
    }

    void waitForAll()
    {
        std::unique_lock lock(m_mutex);
        m_ended.wait(lock, [this] { return m_unjoined == 0; });
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
            if (m_waiting.empty())
                return;
            std::thread thread = std::move(m_waiting.front());
            m_waiting.pop_front();
            lock.unlock();
            thread.join();
            lock.lock();
            --m_unjoined;
            m_ended.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_ended;
    std::deque<std::thread> m_waiting;
    int m_unjoined = 0;
    int m_adopted = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

Reaper &reaper()
{
    static Reaper instance;
    return instance;
}

} // namespace

void RetiredThreads::adopt(std::thread thread)
{
    reaper().adopt(std::move(thread));
}

void RetiredThreads::waitForAll()
{
    reaper().waitForAll();
}

int RetiredThreads::adoptedForTesting()
{
    return reaper().adopted();
}
