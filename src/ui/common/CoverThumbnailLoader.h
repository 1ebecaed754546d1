#pragma once

#include <QCache>
#include <QDateTime>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QThreadPool>

#include <functional>
#include <optional>

class QAbstractItemView;

// The covers of a grid of books, made off the UI thread for the books the grid shows or is about to
// show, and kept for the life of the window by file and modification time: a list that is shown again
// (after any change of the library) takes its covers from here without rendering them again, and a
// book whose file changed gets a new one.
//
// Asking replaces what was asked before and not begun, so that the covers of cells scrolled away are
// never made; what is being made is finished and kept. A cover that cannot be made is not asked for
// again until retryFailed(). Main thread only.
class CoverThumbnailLoader : public QObject {
    Q_OBJECT

public:
    struct Request {
        QString path;
        QDateTime modified;
        // The book's file name, for a cover shipped with the application; empty for none.
        QString coverName;
    };

    // logicalSize is the area the covers are fitted into; they are made with the pixels of the screen's
    // device pixel ratio.
    explicit CoverThumbnailLoader(const QSize &logicalSize, QObject *parent = nullptr);
    ~CoverThumbnailLoader() override;

    // The cover of the file as it was at modified, when made already; a null pixmap otherwise.
    QPixmap cached(const QString &path, const QDateTime &modified) const;

    // What requestVisible() asks for, for the tests of the loader that ask without a view.
    void requestForTesting(const QList<Request> &wanted) { request(wanted); }
    // Asks for the covers of the rows the view shows, then of a screenful below and one above: what
    // scrolling reaches next. requestOf gives a row's request, nothing for a row without a file.
    void requestVisible(const QAbstractItemView &view,
                        const std::function<std::optional<Request>(int row)> &requestOf);

    // The rows requestVisible() takes for shown, for the benchmark that measures that walk.
    static std::pair<int, int> visibleRowsForTesting(const QAbstractItemView &view)
    {
        return visibleRows(view);
    }

    // Forgets the covers of the paths, so that they are made again when next asked for.
    void forget(const QStringList &paths);
    // Covers that could not be made are tried again when next asked for.
    void retryFailed();

    // How many covers are being made or waiting, for tests and the screenshot tool that wait for them.
    qsizetype pendingCountForTesting() const { return m_queue.size() + m_running.size(); }

Q_SIGNALS:
    // A cover was made (or found impossible to make) for path.
    void coverReady(const QString &path);

private:
    // The rows whose cells the view shows, first to last (first > last when none), for views whose
    // rows run top to bottom.
    static std::pair<int, int> visibleRows(const QAbstractItemView &view);

    // Makes the missing covers of the requests, in their order.
    void request(const QList<Request> &wanted);

    struct Entry {
        QDateTime modified;
        QPixmap pixmap;
    };
    static QString failureKey(const Request &request);
    void startNext();

    QSize m_pixelSize;
    qreal m_pixelRatio = 1.0;
    QCache<QString, Entry> m_cache;
    QList<Request> m_queue;
    QSet<QString> m_running;
    QSet<QString> m_failed;
    QThreadPool m_pool;
};
