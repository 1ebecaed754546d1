#pragma once

#include "core/metadata/SongDataImportOptions.h"

#include <QDialog>
#include <QList>

#include <optional>

class QCheckBox;
class QRadioButton;

// The column choice before an Import Song Data or Tag selected run: which of the six columns to fetch,
// and whether to fill only empty cells or overwrite. Made anew for every showing; starts with every
// column on and filling only empty cells.
class ImportSongDataModalRunner : public QDialog {
    Q_OBJECT

public:
    explicit ImportSongDataModalRunner(QWidget *parent);

    // Shows the dialog modally over its parent; the choice, or nothing when the user cancelled or
    // closed it.
    std::optional<SongDataImportOptions> run();

    void selectAllFields();
    void clearAllFields();
    // OK with no column chosen only beeps, and the dialog stays open.
    void okPressed();

private:
    // The choice the controls show now.
    SongDataImportOptions options() const;
    void buildUI();

    QList<QCheckBox *> m_fieldButtons;
    QCheckBox *m_genre = nullptr;
    QCheckBox *m_style = nullptr;
    QCheckBox *m_year = nullptr;
    QCheckBox *m_composer = nullptr;
    QCheckBox *m_tempo = nullptr;
    QCheckBox *m_popularity = nullptr;
    QRadioButton *m_fillMissing = nullptr;
    QRadioButton *m_overwrite = nullptr;
};
