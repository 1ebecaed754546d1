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
// meantime. It keeps the last few it made for the book; a new book drops them.
class ScannedPageMasters {
public:
    // ready runs on the builder's thread once an image is made, with its book's generation, its page
    // and its scale.
    using Ready = std::function<void(quint64 generation, int pageIndex, double scale)>;
    explicit ScannedPageMasters(Ready ready);
    // Gives up the image being made and waits for the thread.
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
    void run();

    Ready m_ready;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    quint64 m_generation = 0;
    QString m_path;
    std::deque<Wanted> m_wanted;
    std::optional<Wanted> m_making;
    std::atomic<bool> m_giveUp = false;
    std::deque<Made> m_made; // the most recent first
    bool m_stopping = false;
    std::thread m_thread;
};
