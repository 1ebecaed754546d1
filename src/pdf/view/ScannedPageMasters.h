#pragma once

#include "pdf/render/ScannedPageImage.h"

#include <QRectF>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// The large renders of scanned pages (ScannedPageImage) that the render queue makes zoom steps from,
// made on a thread of their own with a book of their own, so that the queue goes on rendering in the
// meantime. It keeps the last few it made for the book; a new book drops them. The thread shares
// what it works on with the object, so that the object can go while an image is still being given up.
class ScannedPageMasters {
public:
    // ready runs on the builder's thread once an image is made, with its book's generation, its page
    // and its scale.
    using Ready = std::function<void(quint64 generation, int pageIndex, double scale)>;
    explicit ScannedPageMasters(Ready ready);
    // Gives up the image being made, whose thread then ends by itself (RetiredThreads); an idle thread
    // is joined.
    ~ScannedPageMasters();
    ScannedPageMasters(const ScannedPageMasters &) = delete;
    ScannedPageMasters &operator=(const ScannedPageMasters &) = delete;

    // The book the images are made from; what was made or wanted for another is dropped.
    void setDocument(quint64 generation, const QString &path);
    // Asks for the page at scale, its scan lying over image (in points of the page as shown), unless an
    // image at that scale is there or being made. Pages asked for wait their turn; a page asked for
    // again moves to the front.
    void want(quint64 generation, int pageIndex, double scale, const QRectF &image);
    // The page's image, if made for this generation.
    std::shared_ptr<const ScannedPageImage> find(quint64 generation, int pageIndex) const;
    // Nothing asked for and nothing being made.
    bool isIdle() const;

    // Called on the builder's thread as each image is begun: a test that must act while one is being
    // made holds it there.
    void setStartHookForTesting(std::function<void(int pageIndex)> hook);

    // Images kept per book: the page in view and the one before it.
    static constexpr int kept = 2;

private:
    struct Wanted {
        int pageIndex = -1;
        double scale = 0;
        QRectF image;
    };
    struct Made {
        int pageIndex = -1;
        std::shared_ptr<const ScannedPageImage> image;
    };
    struct State {
        Ready ready;
        mutable std::mutex mutex;
        std::condition_variable wake;
        quint64 generation = 0;
        QString path;
        std::deque<Wanted> wanted;
        std::optional<Wanted> making;
        std::atomic<bool> giveUp = false;
        std::deque<Made> made; // the most recent first
        bool stopping = false;
        std::function<void(int pageIndex)> startHook;
    };
    static void run(const std::shared_ptr<State> &state);

    std::shared_ptr<State> m_state;
    std::thread m_thread;
};
