#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

// The way in for work done elsewhere that changes the library's rows when its result arrives, however
// long after it began: a slot read or read again, a merge, a metadata change worked out on a worker, an
// extraction, an import, another program's version of the slot's file. Main thread only; the library's
// (LibrarySession::landings()).
//
// While a field holds text typed for a row (a table cell's field, the metadata dialog: from
// fieldOpened() to fieldClosed()), such work waits, so that the field keeps its song and every key typed
// into it: new rows under it would end it in the middle of a word. It lands the moment the last field
// has closed, its text given to the library first, in the order the landings arrived; each landing then
// finds the library changed by that text, as by any edit, and does its work again over it.
//
// While a quit is under way (from NotificationBus::quitting() until the program ends or the user takes
// the quit back: NotificationBus::quitCancelled()), work that lands is kept back, as if a field were
// open, and dropped as the program ends (its dropped() called: an import removes the files
// it wrote); a quit the user takes back lets it land. Another program's version of the slot's file is
// the exception (AtQuit::land): it is taken at a quit too, so that what the quit saves is made on it.
class LandingGate : public QObject {
    Q_OBJECT

public:
    enum class AtQuit { drop, land };

    explicit LandingGate(QObject *parent = nullptr);
    ~LandingGate() override;

    // Counted: each fieldOpened() is ended by one fieldClosed(). The last close lands what waited.
    void fieldOpened();
    void fieldClosed();
    bool fieldOpen() const { return m_openFields > 0; }
    // Whether anything waits to land.
    bool holding() const { return !m_waiting.isEmpty(); }

    // Runs landing at once when nothing holds it back; otherwise keeps it until the fields have closed
    // (or the quit was taken back). When receiver is gone by then, dropped runs in its place.
    void land(QObject *receiver, std::function<void()> landing, AtQuit atQuit = AtQuit::drop,
              std::function<void()> dropped = {});

    // done wrapped to land through the gate, for Hop::run: done(result) runs as land() runs a landing.
    template <typename Done>
    auto landing(QObject *receiver, Done done, AtQuit atQuit = AtQuit::drop,
                 std::function<void()> dropped = {})
    {
        auto kept = std::make_shared<Done>(std::move(done));
        return [this, receiver = QPointer<QObject>(receiver), kept, atQuit, dropped](auto &&...result) {
            auto arguments = std::make_shared<std::tuple<std::decay_t<decltype(result)>...>>(
                std::forward<decltype(result)>(result)...);
            land(
                receiver,
                [kept, arguments] {
                    std::apply([&kept](auto &...taken) { (*kept)(std::move(taken)...); }, *arguments);
                },
                atQuit, dropped);
        };
    }

Q_SIGNALS:
    // What waited has landed, or was dropped: nothing waits now (tests wait for it).
    void settled();

private:
    struct Waiting {
        QPointer<QObject> receiver;
        std::function<void()> landing;
        AtQuit atQuit = AtQuit::drop;
        std::function<void()> dropped;
    };

    bool holdsBack(AtQuit atQuit) const;
    // Lands, in order, what nothing holds back any longer.
    void landWaiting();
    void dropWaiting();

    int m_openFields = 0;
    bool m_quitting = false;
    QList<Waiting> m_waiting;
    bool m_landing = false;
};
