#include "ui/metadata/ImportSongDataModalRunner.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

ImportSongDataModalRunner::ImportSongDataModalRunner(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("importSongDataDialog"));
    setWindowTitle(QStringLiteral("Import Song Data \u2013 Choose columns"));
    // The main window's dark glass, which a window of its own does not take over by itself.
    if (parent)
        setPalette(parent->palette());
    setAutoFillBackground(true);
    setMinimumSize(400, 380);
    resize(440, 420);
    buildUI();
}

void ImportSongDataModalRunner::buildUI()
{
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(20, 16, 20, 16);
    root->setSpacing(6);

    auto *heading = new QLabel(
        QStringLiteral("Which data should we fetch? (Fewer columns = fewer tokens, quicker response.)"));
    heading->setWordWrap(true);
    QFont headingFont = heading->font();
    headingFont.setPixelSize(13);
    headingFont.setWeight(QFont::DemiBold);
    heading->setFont(headingFont);
    root->addWidget(heading);

    const auto checkBox = [this, root](const QString &title, const char *name) {
        auto *box = new QCheckBox(title);
        box->setObjectName(QLatin1String(name));
        box->setChecked(true);
        m_fieldButtons.append(box);
        root->addWidget(box);
        return box;
    };
    m_genre = checkBox(QStringLiteral("Genre"), "genreCheckBox");
    m_style = checkBox(QStringLiteral("Style (rhythm/feel)"), "styleCheckBox");
    m_year = checkBox(QStringLiteral("Year"), "yearCheckBox");
    m_composer = checkBox(QStringLiteral("Composer"), "composerCheckBox");
    m_tempo = checkBox(QStringLiteral("Tempo"), "tempoCheckBox");
    m_popularity = checkBox(QStringLiteral("Popularity (1\u20135 stars)"), "popularityCheckBox");

    m_fillMissing = new QRadioButton(QStringLiteral("Fill only missing cells (leave existing values as-is)"));
    m_fillMissing->setObjectName(QStringLiteral("fillMissingRadio"));
    m_fillMissing->setChecked(true);
    m_overwrite = new QRadioButton(QStringLiteral("Re-fetch and overwrite selected columns"));
    m_overwrite->setObjectName(QStringLiteral("overwriteRadio"));
    auto *mode = new QButtonGroup(this);
    mode->addButton(m_fillMissing);
    mode->addButton(m_overwrite);
    root->addSpacing(6);
    root->addWidget(m_fillMissing);
    root->addWidget(m_overwrite);

    // A row of buttons; only OK answers Return.
    const auto buttonRow = [this](QHBoxLayout *row, const QString &title, const char *name, auto action) {
        auto *button = new QPushButton(title);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        row->addWidget(button);
        return button;
    };
    auto *fieldRow = new QHBoxLayout;
    fieldRow->setSpacing(8);
    buttonRow(fieldRow, QStringLiteral("Select all"), "selectAllButton",
              &ImportSongDataModalRunner::selectAllFields);
    buttonRow(fieldRow, QStringLiteral("Clear all"), "clearAllButton",
              &ImportSongDataModalRunner::clearAllFields);
    fieldRow->addStretch(1);
    root->addSpacing(6);
    root->addLayout(fieldRow);
    root->addStretch(1);
    root->addSpacing(12);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    buttonRow(buttons, QStringLiteral("Cancel"), "cancelButton", &QDialog::reject);
    buttonRow(buttons, QStringLiteral("OK"), "okButton", &ImportSongDataModalRunner::okPressed)
        ->setDefault(true);
    root->addLayout(buttons);
}

std::optional<SongDataImportOptions> ImportSongDataModalRunner::run()
{
    // A dialog centres itself over its parent window, or on the screen without one.
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return options();
}

SongDataImportOptions ImportSongDataModalRunner::options() const
{
    return {m_genre->isChecked(),      m_style->isChecked(), m_year->isChecked(),
            m_composer->isChecked(),   m_tempo->isChecked(), m_popularity->isChecked(),
            m_fillMissing->isChecked()};
}

void ImportSongDataModalRunner::selectAllFields()
{
    for (QCheckBox *box : std::as_const(m_fieldButtons))
        box->setChecked(true);
}

void ImportSongDataModalRunner::clearAllFields()
{
    for (QCheckBox *box : std::as_const(m_fieldButtons))
        box->setChecked(false);
}

void ImportSongDataModalRunner::okPressed()
{
    const bool anyColumn = std::any_of(m_fieldButtons.cbegin(), m_fieldButtons.cend(),
                                       [](const QCheckBox *box) { return box->isChecked(); });
    if (!anyColumn) {
        QApplication::beep();
        return;
    }
    accept();
}
