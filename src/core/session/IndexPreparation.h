#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class BuildProgress;

// When a library's indexes are made: once its edits pause (they come in bursts: an auto-tag run, a cell
// after a cell), once for each version of the library, on workers that a quit stops rather than waits
// for. The owner says what to make; this says when.
class IndexPreparation : public QObject {
    Q_OBJECT

public:
    // prepare runs on the owner's thread once the library has stopped changing.
    explicit IndexPreparation(std::function<void()> prepare, QObject *parent = nullptr);
    ~IndexPreparation() override;

    // The library changed: prepare once it has been still for a moment.
    void libraryChanged();
    // Whether to start making the indexes of this version of the library: true once a version.
    bool startFor(quint64 version);
    // What the builds on workers look at to stop early; cancelled at a quit and by cancel().
    const std::shared_ptr<BuildProgress> &builds() const { return m_builds; }
    void cancel();
    // The application is quitting: the indexes may be left to the end of the process.
    bool quitting() const { return m_quitting; }

private:
    std::function<void()> m_prepare;
    QTimer m_settleTimer;
    std::optional<quint64> m_preparingVersion;
    std::shared_ptr<BuildProgress> m_builds;
    bool m_quitting = false;
};
