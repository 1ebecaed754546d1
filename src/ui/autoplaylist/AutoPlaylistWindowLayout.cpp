// The view tree of the auto playlist window, built once by its constructor.

#include "ui/autoplaylist/AutoPlaylistWindowController.h"

#include "core/autoplaylist/AutoPlaylistFilters.h"
#include "ui/app/AppContext.h"
#include "ui/autoplaylist/AutoPlaylistYearRangeSlider.h"
#include "ui/autoplaylist/GeneratedTitlesModel.h"
#include "ui/autoplaylist/GeneratedTitlesView.h"
#include "ui/common/ListFocus.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/common/RowReturnKey.h"
#include "ui/common/StatusLine.h"
#include "ui/common/StudyModeService.h"
#include "ui/common/TablePagePreview.h"
#include "ui/services/LyrafoldHelpService.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

using Kind = AutoPlaylistFilterPicker::Kind;

QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont font;
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QPalette secondaryPalette()
{
    QPalette palette = LyrafoldTheme::hudPalette();
    palette.setColor(QPalette::WindowText, QColor::fromRgbF(1, 1, 1, 0.55f));
    return palette;
}

QLabel *makeLabel(const QString &text, int pixelSize, QFont::Weight weight = QFont::Normal,
                  bool secondary = false)
{
    auto *label = new QLabel(text);
    label->setFont(systemFont(pixelSize, weight));
    if (secondary)
        label->setPalette(secondaryPalette());
    return label;
}

QPushButton *greenButton(const QString &title)
{
    auto *button = new QPushButton(title);
    // Only the text colour is the button's own; the rest comes from the window.
    QPalette palette;
    palette.setColor(QPalette::ButtonText, QColor(52, 199, 89));
    button->setPalette(palette);
    return button;
}

QSpinBox *countField(int maximum, int value, const char *name)
{
    auto *field = new QSpinBox;
    field->setObjectName(QLatin1String(name));
    field->setRange(1, maximum);
    field->setValue(value);
    field->setAlignment(Qt::AlignRight);
    field->setMinimumWidth(64);
    return field;
}

template <typename Layout> Layout *spaced(Layout *layout, int spacing)
{
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

void AutoPlaylistWindowController::buildInterface()
{
    auto *root = spaced(new QVBoxLayout(this), 10);
    root->setContentsMargins(24, 16, 24, 16);

    auto *top = spaced(new QHBoxLayout, 16);
    top->addWidget(buildForm(), 3);
    top->addWidget(buildBookColumn(), 2);
    root->addLayout(top);
    root->addWidget(buildResultsHeader());
    root->addWidget(buildResultsTable(), 1);
    root->addWidget(buildFooter());

    LyrafoldHelpService::installHelpButton(this, LyrafoldHelpTopic::autoPlaylist);
    updateGeneratedTitlesHeader();
}

QWidget *AutoPlaylistWindowController::buildForm()
{
    auto *form = new QWidget;
    form->setMinimumWidth(500);
    auto *column = spaced(new QVBoxLayout(form), 10);
    column->addWidget(buildCounts());
    column->addWidget(buildFilters());
    column->addWidget(buildTempoMap());

    auto *generateRow = spaced(new QHBoxLayout, 12);
    QPushButton *generate = greenButton(QStringLiteral("Generate"));
    generate->setObjectName(QStringLiteral("generateButton"));
    generate->setFont(systemFont(15, QFont::DemiBold));
    generate->setMinimumHeight(32);
    connect(generate, &QPushButton::clicked, this, &AutoPlaylistWindowController::generateTapped);
    generateRow->addWidget(generate);
    QLabel *hint = makeLabel(QStringLiteral("Empty fields = randomized."), 11, QFont::Normal, true);
    hint->setWordWrap(true);
    generateRow->addWidget(hint, 1);
    column->addLayout(generateRow);
    column->addStretch();
    return form;
}

QWidget *AutoPlaylistWindowController::buildCounts()
{
    auto *counts = new QWidget;
    auto *row = spaced(new QHBoxLayout(counts), 24);
    m_titlesField = countField(500, 10, "titlesField");
    m_setsField = countField(50, 1, "setsField");
    for (const auto &[title, field] : {std::pair{"Titles", m_titlesField}, std::pair{"Sets", m_setsField}}) {
        auto *group = spaced(new QHBoxLayout, 6);
        group->addWidget(makeLabel(QLatin1String(title), 11, QFont::DemiBold));
        group->addWidget(field);
        row->addLayout(group);
    }
    row->addStretch();
    return counts;
}

QWidget *AutoPlaylistWindowController::filterRow(const QString &label, Kind kind, QLineEdit *&field)
{
    static const char *const names[] = {"genre", "style", "tempo", "composer", "popularity"};
    const QString name = QLatin1String(names[int(kind)]);
    auto *container = new QWidget;
    container->setMinimumWidth(200);
    auto *stack = spaced(new QVBoxLayout(container), 2);
    stack->addWidget(makeLabel(label, 11));
    auto *line = spaced(new QHBoxLayout, 4);
    field = new QLineEdit;
    field->setObjectName(name + QStringLiteral("Field"));
    field->setPlaceholderText(label);
    line->addWidget(field, 1);
    auto *browse = new QPushButton(QStringLiteral("…"));
    browse->setObjectName(name + QStringLiteral("BrowseButton"));
    browse->setFixedWidth(30);
    connect(browse, &QPushButton::clicked, this,
            [this, kind, target = field] { AutoPlaylistFilterPicker::browse(kind, target, this); });
    line->addWidget(browse);
    stack->addLayout(line);
    return container;
}

QWidget *AutoPlaylistWindowController::buildFilters()
{
    auto *filters = new QWidget;
    auto *grid = new QGridLayout(filters);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->addWidget(filterRow(QStringLiteral("Genre(s)"), Kind::genre, m_genreField), 0, 0);
    grid->addWidget(filterRow(QStringLiteral("Style(s)"), Kind::style, m_styleField), 0, 1);
    grid->addWidget(filterRow(QStringLiteral("Tempo"), Kind::tempo, m_tempoField), 1, 0);
    grid->addWidget(filterRow(QStringLiteral("Composer"), Kind::composer, m_composerField), 1, 1);
    grid->addWidget(filterRow(QStringLiteral("Popularity"), Kind::popularity, m_popularityField), 2, 0);
    grid->addWidget(buildYearBlock(), 2, 1, Qt::AlignBottom);
    return filters;
}

QWidget *AutoPlaylistWindowController::buildYearBlock()
{
    auto *block = new QWidget;
    auto *stack = spaced(new QVBoxLayout(block), 4);
    auto *heading = spaced(new QHBoxLayout, 8);
    heading->addWidget(makeLabel(QStringLiteral("Year range"), 11, QFont::DemiBold));
    m_yearRangeToLabel = makeLabel(QString(), 10, QFont::Normal, true);
    m_yearRangeToLabel->setObjectName(QStringLiteral("yearRangeLabel"));
    LyrafoldLanguageService::markDynamicText(m_yearRangeToLabel);
    heading->addWidget(m_yearRangeToLabel, 1, Qt::AlignRight);
    stack->addLayout(heading);
    m_yearRangeSlider = new AutoPlaylistYearRangeSlider(firstYear, QDate::currentDate().year());
    m_yearRangeSlider->setObjectName(QStringLiteral("yearRangeSlider"));
    connect(m_yearRangeSlider, &AutoPlaylistYearRangeSlider::rangeChanged, this,
            &AutoPlaylistWindowController::yearSliderChanged);
    stack->addWidget(m_yearRangeSlider);
    yearSliderChanged();
    return block;
}

QWidget *AutoPlaylistWindowController::buildTempoMap()
{
    auto *block = new QWidget;
    auto *stack = spaced(new QVBoxLayout(block), 10);
    QLabel *legend = makeLabel(QStringLiteral("Tempo map — MU=medium-up, M=medium, F=fast, MB=medium-ballad, "
                                              "B=ballad. Choose a preset below."),
                               10, QFont::Normal, true);
    legend->setWordWrap(true);
    stack->addWidget(legend);

    auto *row = spaced(new QHBoxLayout, 10);
    row->addWidget(makeLabel(QStringLiteral("Tempo map:"), 11, QFont::DemiBold));
    m_tempoTemplatePopup = new QComboBox;
    m_tempoTemplatePopup->setObjectName(QStringLiteral("tempoTemplatePopup"));
    m_tempoTemplatePopup->setMinimumWidth(240);
    const QList<AutoPlaylistFilters::TempoMapEntry> &presets = AutoPlaylistFilters::tempoMapEntries();
    for (qsizetype i = 0; i < presets.size(); ++i) {
        const QString formula = presets[i].formula.isEmpty() ? QStringLiteral("Random") : presets[i].formula;
        m_tempoTemplatePopup->addItem(presets[i].name + QStringLiteral("   ") + formula);
        m_tempoTemplatePopup->setItemData(int(i), formula + QLatin1Char('\n') + presets[i].description,
                                          Qt::ToolTipRole);
    }
    m_tempoTemplatePopup->setCurrentIndex(AutoPlaylistFilters::defaultTempoMap);
    connect(m_tempoTemplatePopup, &QComboBox::currentIndexChanged, this,
            &AutoPlaylistWindowController::tempoMapPopupChanged);
    row->addWidget(m_tempoTemplatePopup);
    row->addStretch();
    stack->addLayout(row);
    return block;
}

QWidget *AutoPlaylistWindowController::buildBookColumn()
{
    auto *column = new QWidget;
    column->setMinimumWidth(200);
    auto *stack = spaced(new QVBoxLayout(column), 6);
    QLabel *heading =
        makeLabel(QStringLiteral("Book priority (for multi-book titles)\nDrag to reorder, or select "
                                 "multiple (Ctrl/Shift) and use ↑ ↓."),
                  11, QFont::DemiBold);
    heading->setWordWrap(true);
    // Clear of the help button in the window's corner.
    heading->setContentsMargins(0, 0, 28, 0);
    stack->addWidget(heading);

    m_bookTable = new QListWidget;
    m_bookTable->setObjectName(QStringLiteral("bookTable"));
    m_bookTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_bookTable->setDragDropMode(QAbstractItemView::InternalMove);
    m_bookTable->setDefaultDropAction(Qt::MoveAction);
    m_bookTable->setMinimumHeight(120);
    m_bookTable->setUniformItemSizes(true);
    connect(m_bookTable->model(), &QAbstractItemModel::rowsMoved, this,
            &AutoPlaylistWindowController::bookListReordered);
    ListFocus::install(m_bookTable);
    stack->addWidget(m_bookTable, 1);

    auto *buttons = spaced(new QHBoxLayout, 8);
    for (const auto &[title, name, action] :
         {std::tuple{"↑ Move up", "moveBookUpButton", &AutoPlaylistWindowController::moveBookUp},
          std::tuple{"↓ Move down", "moveBookDownButton", &AutoPlaylistWindowController::moveBookDown}}) {
        auto *button = new QPushButton(QString::fromUtf8(title));
        button->setObjectName(QLatin1String(name));
        connect(button, &QPushButton::clicked, this, action);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    stack->addLayout(buttons);
    return column;
}

QWidget *AutoPlaylistWindowController::buildResultsHeader()
{
    auto *header = new QWidget;
    auto *row = spaced(new QHBoxLayout(header), 12);
    m_resultsTitleLabel = makeLabel(QString(), 12, QFont::DemiBold);
    m_resultsTitleLabel->setObjectName(QStringLiteral("resultsTitleLabel"));
    LyrafoldLanguageService::markDynamicText(m_resultsTitleLabel);
    row->addWidget(m_resultsTitleLabel, 1);

    const StudyModeService::Controls studyMode = StudyModeService::makeControls();
    row->addWidget(studyMode.checkbox);
    row->addWidget(studyMode.providerPopup);
    return header;
}

QWidget *AutoPlaylistWindowController::buildResultsTable()
{
    m_resultsTable = new GeneratedTitlesView;
    m_resultsTable->setObjectName(QStringLiteral("resultsTable"));
    m_resultsTable->setMinimumHeight(AutoPlaylistGeneratedRowView::rowHeight + 4);
    m_results = new GeneratedTitlesModel(m_playlist, this);
    m_resultsTable->setModel(m_results);
    connect(m_resultsTable, &GeneratedTitlesView::buttonClicked, this,
            &AutoPlaylistWindowController::cardButtonClicked);
    connect(m_results, &GeneratedTitlesModel::titleMoved, this, [this](int row) {
        updateGeneratedTitlesHeader();
        m_resultsTable->selectRow(row);
    });

    TablePagePreview::Behaviour behaviour;
    behaviour.hoverDelayMilliseconds = hoverDelayMilliseconds;
    behaviour.opensOnPress = true;
    behaviour.isOnControl = [table = m_resultsTable](int row, const QPoint &position) {
        return table->isOnControl(row, position);
    };
    m_preview = new TablePagePreview(
        m_resultsTable, [this](int row) -> const SongRecord * { return m_results->entry(row); }, this,
        behaviour);
    connect(m_preview, &TablePagePreview::rowPressed, this,
            &AutoPlaylistWindowController::openGeneratedTitleAtRow);
    // The ringed card opens, whether or not a click selected it before.
    RowReturnKey::install(
        m_resultsTable, [this](const QModelIndex &current) { openGeneratedTitleAtRow(current.row()); },
        RowReturnKey::Unselected::selectFirst);
    ListFocus::install(m_resultsTable);
    return m_resultsTable;
}

QWidget *AutoPlaylistWindowController::buildFooter()
{
    auto *footer = new QWidget;
    auto *stack = spaced(new QVBoxLayout(footer), 8);

    auto *nameRow = spaced(new QHBoxLayout, 8);
    nameRow->addWidget(makeLabel(QStringLiteral("Name:"), 13));
    m_playlistNameField = new QLineEdit(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    m_playlistNameField->setObjectName(QStringLiteral("playlistNameField"));
    m_playlistNameField->setPlaceholderText(QStringLiteral("Playlist name (for Save)"));
    nameRow->addWidget(m_playlistNameField, 1);
    stack->addLayout(nameRow);

    m_statusField = new StatusLine(QStringLiteral("statusField"));
    m_statusField->setFont(systemFont(12));
    m_statusField->setPalette(secondaryPalette());
    m_statusField->reportFailedSaves(m_context.playlists());
    stack->addWidget(m_statusField);

    auto *buttons = spaced(new QHBoxLayout, 16);
    QPushButton *save = greenButton(QStringLiteral("Save to playlists"));
    save->setObjectName(QStringLiteral("saveButton"));
    connect(save, &QPushButton::clicked, this, &AutoPlaylistWindowController::saveTapped);
    m_shareButton = new QPushButton(QStringLiteral("Share"));
    m_shareButton->setObjectName(QStringLiteral("shareButton"));
    connect(m_shareButton, &QPushButton::clicked, this, &AutoPlaylistWindowController::shareTapped);
    auto *close = new QPushButton(QStringLiteral("Close"));
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    for (QPushButton *button : {save, m_shareButton, close})
        buttons->addWidget(button);
    buttons->addStretch();
    stack->addLayout(buttons);
    return footer;
}
