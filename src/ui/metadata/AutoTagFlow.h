#pragma once

#include "core/metadata/SongDataImportOptions.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <optional>

class AppContext;
class AutoTagRun;
class AutoTagSheet;
class QWidget;
class StatusSink;

// The auto-tag runs: "Import Song Data" over every title, "Tag selected", "Auto-Tag All Bookmarks…"
// and "Auto-tag this row". One run at a time, shown in a sheet over the window that starts the flow,
// which is its parent; its status sink hears how the run ended.
class AutoTagFlow : public QObject {
    Q_OBJECT

public:
    AutoTagFlow(AppContext &context, StatusSink &sink, QWidget *window);
    // A run still going ends its batch now.
    ~AutoTagFlow() override;

    // The column choice, then a run over every title.
    void importSongData();
    // The column choice, then a run over the titles at these places of the library; refused in the
    // Default slot.
    void tagTitles(const QList<qsizetype> &positions);
    // After the question, a run over every title that fills only empty fields; refused in the Default
    // slot.
    void tagAll();
    // No options: only empty fields are filled.
    void startRun(const QList<qsizetype> &candidates, const std::optional<SongDataImportOptions> &options);

Q_SIGNALS:
    // The run has tagged enough titles for the table to show them.
    void reloadPoint();

private:
    // While a run is going, says so and returns true.
    bool refuseSecondRun();
    bool ensureEditable();

    AppContext &m_context;
    StatusSink &m_sink;
    QWidget *m_window;
    QPointer<AutoTagRun> m_run;
    QPointer<AutoTagSheet> m_sheet;
};
