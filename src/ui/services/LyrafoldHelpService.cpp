#include "ui/services/LyrafoldHelpService.h"

#include "ui/common/ListFocus.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/common/LyrafoldUIAssets.h"
#include "ui/common/WindowPlacement.h"

#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QHash>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QPainter>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kButtonSide = 32;
constexpr int kButtonInset = 10;
static_assert(kButtonSide + kButtonInset == LyrafoldHelpService::cornerReach);
constexpr int kEntryImageSide = 44;
constexpr int kAssetMaxSide = 40;
const QString kHelpButtonIcon = QStringLiteral("help-contents");
const QString kFallbackEntryIcon = QStringLiteral("dialog-question");

QWidget *contentWidget(QWidget *window)
{
    if (auto *mainWindow = qobject_cast<QMainWindow *>(window))
        return mainWindow->centralWidget();
    return window;
}

QIcon whiteIcon(const QIcon &icon, int side)
{
    QPixmap pixmap = icon.pixmap(side, side);
    if (pixmap.isNull())
        return {};
    {
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), Qt::white);
    }
    return QIcon(pixmap);
}

// A help panel forgets its window as it closes, so a click right after builds a fresh one. Escape
// closes it, as it does a dialog.
class HelpPanel : public QWidget {
public:
    explicit HelpPanel(QWidget *owner) : QWidget(owner, Qt::Tool)
    {
        setObjectName(QLatin1String(LyrafoldHelpService::helpPanelName));
        setAttribute(Qt::WA_DeleteOnClose);
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        setObjectName(QString());
        QWidget::closeEvent(event);
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Cancel))
            close();
        else
            QWidget::keyPressEvent(event);
    }
};

QPixmap entryImage(const LyrafoldHelpEntry &entry)
{
    if (!entry.assetName.isEmpty()) {
        const QPixmap asset = LyrafoldUIAssets::image(entry.assetName, kAssetMaxSide);
        if (!asset.isNull())
            return asset;
    }
    // The icon theme's picture where one is installed, else the one drawn for us.
    static const QHash<QString, QString> bundledSymbols = {
        {QStringLiteral("object-flip-horizontal"), QStringLiteral("switch.2")},
        {QStringLiteral("edit-find"), QStringLiteral("magnifyingglass")},
        {QStringLiteral("media-playback-start"), QStringLiteral("play.rectangle.on.rectangle")},
        {QStringLiteral("go-jump"), QStringLiteral("number")},
        {QStringLiteral("x-office-document"), QStringLiteral("book.pages")},
        {QStringLiteral("zoom-in"), QStringLiteral("magnifyingglass")},
        {QStringLiteral("zoom-fit-best"), QStringLiteral("arrow.down.right.and.arrow.up.left")},
        {QStringLiteral("audio-x-generic"), QStringLiteral("music.note.list")},
        {QStringLiteral("view-list"), QStringLiteral("rectangle.stack")},
        {QStringLiteral("document-send"), QStringLiteral("square.and.arrow.up")},
        {QStringLiteral("view-sort-ascending"), QStringLiteral("line.3.horizontal.decrease.circle")},
        {QStringLiteral("accessories-dictionary"), QStringLiteral("books.vertical")},
        {QStringLiteral("view-refresh"), QStringLiteral("arrow.triangle.2.circlepath")},
        {QStringLiteral("view-grid"), QStringLiteral("rectangle.grid.2x2")},
        {QStringLiteral("view-visible"), QStringLiteral("eye")},
        {QStringLiteral("document-open"), QStringLiteral("arrow.down.doc")},
        {QStringLiteral("insert-image"), QStringLiteral("photo")},
        {kFallbackEntryIcon, QStringLiteral("questionmark.circle")},
    };
    const QString name = entry.systemSymbol.isEmpty() ? kFallbackEntryIcon : entry.systemSymbol;
    const QIcon bundled =
        LyrafoldUIAssets::systemSymbol(bundledSymbols.value(name, QStringLiteral("questionmark.circle")));
    return QIcon::fromTheme(name, bundled).pixmap(kEntryImageSide, kEntryImageSide);
}

QWidget *makeHeader(const QString &topicTitle, LyrafoldLanguage language)
{
    auto *container = new QWidget;
    auto *layout = new QVBoxLayout(container);
    layout->setContentsMargins(74, 8, 18, 12);
    // Turkish capitals need the Turkish dotted İ.
    const QLocale locale(
        LyrafoldLanguageService::pick(language, QLocale::English, QLocale::Turkish, QLocale::Spanish));
    auto *label = new QLabel(locale.toUpper(topicTitle));
    label->setFont(LyrafoldTheme::playlistCardTitleFontBold(24));
    label->setAlignment(Qt::AlignCenter);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    layout->addWidget(label);
    return container;
}

QWidget *makeRow(const LyrafoldHelpEntry &entry, LyrafoldLanguage language, const QFont &baseFont)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto *image = new QLabel;
    image->setFixedSize(kEntryImageSide, kEntryImageSide);
    image->setAlignment(Qt::AlignCenter);
    QPixmap pixmap = entryImage(entry);
    if (pixmap.width() > kEntryImageSide || pixmap.height() > kEntryImageSide)
        pixmap =
            pixmap.scaled(kEntryImageSide, kEntryImageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image->setPixmap(pixmap);
    image->setAccessibleName(entry.title);
    layout->addWidget(image, 0, Qt::AlignTop);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    auto *title = new QLabel(entry.title);
    QFont titleFont = baseFont;
    titleFont.setPointSize(14);
    titleFont.setBold(true);
    title->setFont(titleFont);
    texts->addWidget(title);

    auto *body = new QLabel(entry.body(language));
    QFont bodyFont = baseFont;
    bodyFont.setPointSize(12);
    body->setFont(bodyFont);
    body->setWordWrap(true);
    QPalette palette = body->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    body->setPalette(palette);
    texts->addWidget(body);
    layout->addLayout(texts, 1);
    return row;
}

QWidget *buildPanel(QWidget *window, LyrafoldHelpTopic topic)
{
    const LyrafoldLanguage language = LyrafoldLanguageService::current();
    auto *panel = new HelpPanel(window);
    panel->setWindowTitle(LyrafoldHelpCatalogue::panelTitle(topic, language));
    panel->resize(680, 620);

    auto *document = new QWidget;
    auto *stack = new QVBoxLayout(document);
    stack->setSpacing(14);
    stack->setContentsMargins(18, 18, 18, 18);
    stack->addWidget(makeHeader(LyrafoldHelpCatalogue::topicTitle(topic, language), language));
    for (const LyrafoldHelpEntry &entry : LyrafoldHelpCatalogue::entries(topic))
        stack->addWidget(makeRow(entry, language, panel->font()));
    stack->addStretch(1);

    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(document);
    // It takes the focus, for the arrow keys to scroll it.
    ListFocus::ringArea(scroll);
    auto *outer = new QVBoxLayout(panel);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    return panel;
}

void showHelp(LyrafoldHelpTopic topic, QWidget *view)
{
    QWidget *window = view ? view->window() : nullptr;
    if (!window)
        return;
    QWidget *panel = window->findChild<QWidget *>(QLatin1String(LyrafoldHelpService::helpPanelName),
                                                  Qt::FindDirectChildrenOnly);
    if (!panel) {
        panel = buildPanel(window, topic);
        WindowPlacement::centreOnScreen(panel);
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void placeButton(QWidget *content, QWidget *button)
{
    const int x = content->layoutDirection() == Qt::RightToLeft
                      ? kButtonInset
                      : content->width() - kButtonInset - kButtonSide;
    button->setGeometry(x, kButtonInset, kButtonSide, kButtonSide);
    button->raise();
}

// The one target of every help button; it also keeps each button in its corner as the window resizes.
class HelpButtonTarget : public QObject {
public:
    static HelpButtonTarget &shared()
    {
        static HelpButtonTarget target;
        return target;
    }

    void showHelp(QAbstractButton *button)
    {
        const QVariant topic = button->property(LyrafoldHelpService::topicProperty);
        if (topic.isValid())
            ::showHelp(LyrafoldHelpTopic(topic.toInt()), button);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::LayoutDirectionChange:
            if (auto *content = qobject_cast<QWidget *>(watched)) {
                if (auto *button = content->findChild<QWidget *>(
                        QLatin1String(LyrafoldHelpService::helpButtonName), Qt::FindDirectChildrenOnly)) {
                    placeButton(content, button);
                    // Tab reaches the button after the window's controls, also those made after it.
                    QWidget *last = content->window()->previousInFocusChain();
                    if (event->type() == QEvent::Show && last != button)
                        QWidget::setTabOrder(last, button);
                }
            }
            break;
        default:
            break;
        }
        return false;
    }
};

QToolButton *makeButton(LyrafoldHelpTopic topic)
{
    auto *button = new QToolButton;
    button->setObjectName(QLatin1String(LyrafoldHelpService::helpButtonName));
    button->setAutoRaise(true);
    button->setToolTip(QStringLiteral("Help / Yardım"));
    button->setAccessibleName(QStringLiteral("Help"));
    // A click leaves the focus where it was.
    button->setFocusPolicy(Qt::TabFocus);
    const QIcon icon = whiteIcon(QIcon::fromTheme(kHelpButtonIcon), 24);
    if (icon.isNull()) {
        button->setText(QStringLiteral("?"));
    } else {
        button->setIcon(icon);
        button->setIconSize(QSize(24, 24));
    }
    button->setProperty(LyrafoldHelpService::topicProperty, int(topic));
    QObject::connect(button, &QToolButton::clicked, &HelpButtonTarget::shared(),
                     [button] { HelpButtonTarget::shared().showHelp(button); });
    return button;
}

} // namespace

namespace LyrafoldHelpService {

void installHelpButton(QWidget *window, LyrafoldHelpTopic topic)
{
    QWidget *content = window ? contentWidget(window->window()) : nullptr;
    if (!content)
        return;
    if (content->findChild<QWidget *>(QLatin1String(helpButtonName), Qt::FindDirectChildrenOnly))
        return;
    QToolButton *button = makeButton(topic);
    button->setParent(content);
    content->installEventFilter(&HelpButtonTarget::shared());
    placeButton(content, button);
    button->show();
}

} // namespace LyrafoldHelpService
