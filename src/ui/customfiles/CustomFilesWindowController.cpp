#include "ui/customfiles/CustomFilesWindowController.h"

#include "ui/app/AppContext.h"
#include "ui/common/CoverThumbnailLoader.h"
#include "ui/common/ListFocus.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/common/StatusLine.h"
#include "ui/common/WindowPlacement.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>

#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

constexpr QSize thumbnailSize{52, 64};
constexpr int rowHeight = 82;
constexpr int rowGap = 6;

} // namespace

// The groups of the chosen category, with their covers from the loader.
class CustomFileListModel : public QAbstractListModel {
public:
    explicit CustomFileListModel(const CoverThumbnailLoader &covers, QObject *parent)
        : QAbstractListModel(parent), m_covers(covers)
    {
    }

    void setGroups(QList<CustomFileGroup> groups)
    {
        beginResetModel();
        m_groups = std::move(groups);
        endResetModel();
    }
    const QList<CustomFileGroup> &groups() const { return m_groups; }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_groups.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (index.row() < 0 || index.row() >= m_groups.size())
            return {};
        const CustomFileGroup &group = m_groups.at(index.row());
        switch (role) {
        case Qt::DisplayRole:
            return group.displayName;
        case CustomFilesWindowController::subtitleRole:
            return group.subtitle;
        case CustomFilesWindowController::pathRole:
        case Qt::ToolTipRole:
            return group.pdfFilePath;
        case Qt::DecorationRole:
            return m_covers.cached(group.pdfFilePath, group.fileModified);
        default:
            return {};
        }
    }

    void coverArrived(const QString &path)
    {
        for (int row = 0; row < m_groups.size(); ++row) {
            if (m_groups.at(row).pdfFilePath == path)
                Q_EMIT dataChanged(index(row), index(row), {Qt::DecorationRole});
        }
    }

private:
    const CoverThumbnailLoader &m_covers;
    QList<CustomFileGroup> m_groups;
};

namespace {

// A row: the cover on the left, then the name, the kind with its count and slots, and the path.
class CustomFileCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return QSize(option.rect.width(), rowHeight + rowGap);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QPalette &palette = option.palette;
        const QRectF cell = QRectF(option.rect.adjusted(0, 0, 0, -rowGap)).adjusted(0.5, 0.5, -0.5, -0.5);
        const bool selected = option.state & QStyle::State_Selected;
        QColor separator = palette.color(QPalette::WindowText);
        separator.setAlphaF(0.18f);
        painter->setPen(QPen(separator, 1));
        painter->setBrush(selected ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base));
        painter->drawRoundedRect(cell, 6, 6);

        const QRect thumb(int(cell.x()) + 8, int(cell.center().y()) - thumbnailSize.height() / 2,
                          thumbnailSize.width(), thumbnailSize.height());
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor::fromRgbF(0.95f, 0.95f, 0.95f));
        painter->drawRoundedRect(thumb, 4, 4);
        const QPixmap cover = index.data(Qt::DecorationRole).value<QPixmap>();
        if (!cover.isNull()) {
            const QSizeF drawn = cover.deviceIndependentSize().scaled(thumb.size(), Qt::KeepAspectRatio);
            painter->drawPixmap(QRectF(thumb.x() + (thumb.width() - drawn.width()) / 2,
                                       thumb.y() + (thumb.height() - drawn.height()) / 2, drawn.width(),
                                       drawn.height()),
                                cover, QRectF(cover.rect()));
        }

        const int left = thumb.right() + 1 + 10;
        const int width = int(cell.right()) - 8 - left;
        const QColor text = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        QColor secondary = text;
        secondary.setAlphaF(0.7f);
        QColor tertiary = text;
        tertiary.setAlphaF(0.5f);
        struct Line {
            QString text;
            int pixels;
            QFont::Weight weight;
            QColor colour;
            Qt::TextElideMode elide;
        };
        const Line lines[] = {
            {index.data(Qt::DisplayRole).toString(), 13, QFont::DemiBold, text, Qt::ElideRight},
            {index.data(CustomFilesWindowController::subtitleRole).toString(), 11, QFont::Normal, secondary,
             Qt::ElideRight},
            {index.data(CustomFilesWindowController::pathRole).toString(), 10, QFont::Normal, tertiary,
             Qt::ElideMiddle},
        };
        int height = 0;
        for (const Line &line : lines) {
            QFont font = option.font;
            font.setPixelSize(line.pixels);
            height += QFontMetrics(font).height() + 3;
        }
        int y = int(cell.center().y()) - (height - 3) / 2;
        for (const Line &line : lines) {
            QFont font = option.font;
            font.setPixelSize(line.pixels);
            font.setWeight(line.weight);
            const QFontMetrics metrics(font);
            painter->setFont(font);
            painter->setPen(line.colour);
            painter->drawText(QRect(left, y, width, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                              metrics.elidedText(line.text, line.elide, width));
            y += metrics.height() + 3;
        }
        // The keyboard's current row, which Delete Selected and the arrows start from.
        if (option.state & QStyle::State_HasFocus)
            LyrafoldTheme::drawFocusRing(*painter, cell.adjusted(1, 1, -1, -1), 6,
                                         palette.color(selected ? QPalette::Highlight : QPalette::Base));
        painter->restore();
    }
};

} // namespace

CustomFilesWindowController::CustomFilesWindowController(AppContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("customFilesWindow"));
    // Its texts are English in every language, its status line's "Ready" too.
    LyrafoldLanguageService::markKeptEnglish(this);
    resize(760, 520);
    WindowPlacement::centreOnScreen(this);
    m_covers = new CoverThumbnailLoader(thumbnailSize, this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);

    auto *header = new QHBoxLayout;
    header->setSpacing(10);
    auto *heading = new QLabel(QStringLiteral("Imported Custom Files"));
    QFont headingFont = heading->font();
    headingFont.setPixelSize(18);
    headingFont.setWeight(QFont::DemiBold);
    heading->setFont(headingFont);
    header->addWidget(heading);
    m_categoryPopup = new QComboBox;
    m_categoryPopup->setObjectName(QStringLiteral("customFilesCategory"));
    m_categoryPopup->addItems({QStringLiteral("Single Files"), QStringLiteral("Books")});
    connect(m_categoryPopup, &QComboBox::currentIndexChanged, this,
            &CustomFilesWindowController::applyCategory);
    header->addWidget(m_categoryPopup);
    header->addStretch(1);
    m_countLabel = new QLabel;
    m_countLabel->setObjectName(QStringLiteral("customFilesCount"));
    LyrafoldLanguageService::markDynamicText(m_countLabel);
    header->addWidget(m_countLabel);
    layout->addLayout(header);

    m_model = new CustomFileListModel(*m_covers, this);
    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("customFilesList"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new CustomFileCellDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setUniformItemSizes(true);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListFocus::install(m_list);
    layout->addWidget(m_list, 1);
    connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CustomFilesWindowController::requestVisibleCovers);
    connect(m_covers, &CoverThumbnailLoader::coverReady, this,
            [this](const QString &path) { m_model->coverArrived(path); });

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_statusField = new StatusLine(QStringLiteral("customFilesStatusField"), this);
    m_statusField->showReady();
    m_statusField->reportFailedSaves(context.library());
    buttons->addWidget(m_statusField, 1);
    auto *import = new QPushButton(QStringLiteral("Import Images/PDFs"));
    import->setObjectName(QStringLiteral("customFilesImportButton"));
    LyrafoldTheme::styleMatteRedButton(import);
    connect(import, &QPushButton::clicked, this,
            [this] { m_context.libraryFlows().importImagesAndPDFsToLibrary(*m_statusField); });
    buttons->addWidget(import);
    auto *refresh = new QPushButton(QStringLiteral("Refresh"));
    refresh->setObjectName(QStringLiteral("customFilesRefreshButton"));
    connect(refresh, &QPushButton::clicked, this, &CustomFilesWindowController::reloadGroups);
    buttons->addWidget(refresh);
    auto *remove = new QPushButton(QStringLiteral("Delete Selected"));
    remove->setObjectName(QStringLiteral("customFilesDeleteButton"));
    // Red by its palette, not a style sheet, so that the style draws it and its focus ring.
    QPalette red = remove->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        red.setColor(group, QPalette::ButtonText, QColor(255, 59, 48));
    remove->setPalette(red);
    connect(remove, &QPushButton::clicked, this, &CustomFilesWindowController::deletePressed);
    buttons->addWidget(remove);
    layout->addLayout(buttons);
    setWindowTitle(QStringLiteral("Custom Files"));
    LyrafoldLanguageService::apply(this);
    WindowPlacement::keepMinimumFitting(this, QSize(560, 360));

    // Imports, deletions and edits made anywhere show here at once; a failure told here before one of
    // them no longer reads as what is the case.
    connect(&context.library(), &LibrarySession::libraryChanged, this, [this] {
        m_statusField->clearFailure();
        reloadGroups();
    });
    reloadGroups();
}

void CustomFilesWindowController::reloadGroups()
{
    m_listing.start([this] { return m_context.libraryFiles().customFileGroupsJob(); },
                    [this](QList<CustomFileGroup> groups) {
                        showKindOfNewGroups(groups);
                        m_groups = std::move(groups);
                        // A cover that could not be made is tried again with each new listing.
                        m_covers->retryFailed();
                        applyCategory();
                    });
}

void CustomFilesWindowController::showKindOfNewGroups(const QList<CustomFileGroup> &groups)
{
    // The first listing stays on the kind shown unless that kind has nothing; later, a group that was
    // not there before (an import) is shown in its kind's list.
    const bool singles = m_categoryPopup->currentIndex() == 0;
    QSet<QString> known;
    for (const CustomFileGroup &group : std::as_const(m_groups))
        known.insert(group.pdfFilePath + QLatin1Char('\n') + group.displayName);
    const bool first = !std::exchange(m_listed, true);
    const bool shownKindEmpty = std::none_of(groups.cbegin(), groups.cend(), [singles](const auto &group) {
        return group.isCustomSingle == singles;
    });
    for (const CustomFileGroup &group : groups) {
        if ((first && !shownKindEmpty) ||
            known.contains(group.pdfFilePath + QLatin1Char('\n') + group.displayName))
            continue;
        m_categoryPopup->setCurrentIndex(group.isCustomSingle ? 0 : 1);
        return;
    }
}

void CustomFilesWindowController::applyCategory()
{
    const bool singles = m_categoryPopup->currentIndex() == 0;
    QList<CustomFileGroup> visible;
    for (const CustomFileGroup &group : std::as_const(m_groups)) {
        if (group.isCustomSingle == singles)
            visible.append(group);
    }
    m_model->setGroups(std::move(visible));
    m_countLabel->setText(QStringLiteral("%1 file(s)").arg(m_model->groups().size()));
    // The list lays its rows out first.
    QTimer::singleShot(0, this, &CustomFilesWindowController::requestVisibleCovers);
}

void CustomFilesWindowController::requestVisibleCovers()
{
    m_covers->requestVisible(*m_list, [this](int row) -> std::optional<CoverThumbnailLoader::Request> {
        const CustomFileGroup &group = m_model->groups().at(row);
        if (!group.fileModified.isValid())
            return std::nullopt;
        return CoverThumbnailLoader::Request{group.pdfFilePath, group.fileModified, QString()};
    });
}

void CustomFilesWindowController::deletePressed()
{
    QList<CustomFileGroup> selected;
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    for (const QModelIndex &index : rows) {
        if (index.row() < m_model->groups().size())
            selected.append(m_model->groups().at(index.row()));
    }
    if (selected.isEmpty())
        return;
    const QString question = selected.size() == 1
                                 ? QStringLiteral("Delete custom file?")
                                 : QStringLiteral("Delete %1 custom files?").arg(selected.size());
    if (LyrafoldAlert::run(this, LyrafoldAlert::Style::warning, question,
                           QStringLiteral("This removes their imported title rows from slots and moves the "
                                          "generated PDF file(s) to the trash when no remaining title or "
                                          "playlist uses them."),
                           {QStringLiteral("Delete"), QStringLiteral("Cancel")}) != 0)
        return;
    m_context.libraryFlows().deleteCustomFileGroups(*m_statusField, selected);
    reloadGroups();
}
