#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

// Where a flow tells the user what became of the work a window started: that window's status line.
// The window is also the parent of the flow's questions, panels and alerts.
class StatusSink {
public:
    virtual void showStatus(const QString &text) = 0;
    // A failure: what the window shows until something else is told, or a later change made elsewhere
    // succeeds (the window's list shows it) and the failure no longer reads as what is the case.
    virtual void showFailure(const QString &text) { showStatus(text); }
    virtual QWidget *statusWindow() = 0;

    // Alerts sit over the window while it shows, and stand on their own otherwise.
    QWidget *alertParent()
    {
        QWidget *window = statusWindow();
        return window && window->isVisible() ? window : nullptr;
    }

protected:
    StatusSink() = default;
    ~StatusSink() = default;
    StatusSink(const StatusSink &) = default;
    StatusSink &operator=(const StatusSink &) = default;
};

// A sink held by work that reports later: it tells nothing once the sink's window is gone.
class StatusReport {
public:
    StatusReport() = default;
    explicit StatusReport(StatusSink &sink) : m_sink(&sink), m_window(sink.statusWindow()) {}

    void operator()(const QString &text) const
    {
        if (m_window)
            m_sink->showStatus(text);
    }
    void failure(const QString &text) const
    {
        if (m_window)
            m_sink->showFailure(text);
    }
    // Null once the window is gone.
    StatusSink *sink() const { return m_window ? m_sink : nullptr; }
    QWidget *window() const { return m_window; }

private:
    StatusSink *m_sink = nullptr;
    QPointer<QWidget> m_window;
};
