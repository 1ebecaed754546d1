#include "ui/services/LyrafoldLanguageService.h"

#include "core/common/AppSettings.h"
#include "core/common/NotificationBus.h"
#include "core/common/UiText.h"
#include "ui/services/LyrafoldTranslations.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPointer>
#include <QStyle>
#include <QToolButton>
#include <QTranslator>
#include <QWidget>

namespace LyrafoldLanguageService {

namespace {

using Lookup = QHash<QString, QString>;

Lookup makeLookup(LyrafoldLanguage language)
{
    Lookup lookup;
    for (const auto &[english, translated] : translationTable(language))
        lookup.insert(english, translated);
    return lookup;
}

const Lookup &lookupFor(LyrafoldLanguage language)
{
    static const Lookup turkish = makeLookup(LyrafoldLanguage::tr);
    static const Lookup spanish = makeLookup(LyrafoldLanguage::es);
    static const Lookup none;
    return *pick(language, &none, &turkish, &spanish);
}

// Core's sentences (UiText) looked up in the same table, in the language stored when they are made: a
// text made on a worker follows a switch as soon as it is stored. Other contexts are Qt's own.
class TableTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char * /*disambiguation*/,
                      int /*n*/) const override
    {
        if (!sourceText || qstrcmp(context, UiText::context) != 0)
            return {};
        const LyrafoldLanguage language = current();
        if (language == LyrafoldLanguage::en)
            return {};
        return lookupFor(language).value(QString::fromUtf8(sourceText));
    }
};

// The text the widget (or action) showed when it was first met under this key.
QString baseString(QObject *widget, const char *key, const QString &current)
{
    const QVariant stored = widget->property(key);
    if (stored.isValid())
        return stored.toString();
    widget->setProperty(key, current);
    return current;
}

void translateToolTip(QWidget *widget)
{
    if (!widget->toolTip().isEmpty())
        widget->setToolTip(localized(baseString(widget, baseToolTipProperty, widget->toolTip())));
}

bool isIconOnly(const QAbstractButton *button)
{
    const auto *toolButton = qobject_cast<const QToolButton *>(button);
    if (!toolButton)
        return false;
    Qt::ToolButtonStyle style = toolButton->toolButtonStyle();
    if (style == Qt::ToolButtonFollowStyle)
        style = Qt::ToolButtonStyle(
            toolButton->style()->styleHint(QStyle::SH_ToolButtonStyle, nullptr, toolButton));
    return style == Qt::ToolButtonIconOnly;
}

bool ownTextIsTheWindows(const QWidget *widget)
{
    return widget->property(dynamicOwnTextProperty).toBool();
}

void translateButton(QAbstractButton *button)
{
    if (!ownTextIsTheWindows(button)) {
        if (!button->icon().isNull() && (isIconOnly(button) || button->text() == QLatin1String("Button")))
            button->setText(QString());
        else if (!button->text().isEmpty())
            button->setText(localized(baseString(button, baseTitleProperty, button->text())));
    }
    translateToolTip(button);
    // A button that shows a picture alone is named for a screen reader, in the language it reads out.
    if (!button->accessibleName().isEmpty())
        button->setAccessibleName(
            localized(baseString(button, baseAccessibleNameProperty, button->accessibleName())));
}

void translateLabel(QLabel *label)
{
    if (!label->text().isEmpty() && !ownTextIsTheWindows(label))
        label->setText(localized(baseString(label, baseTextProperty, label->text())));
    translateToolTip(label);
}

void translateLineEdit(QLineEdit *field)
{
    if (field->isReadOnly() && !field->text().isEmpty() && !ownTextIsTheWindows(field))
        field->setText(localized(baseString(field, baseTextProperty, field->text())));
    translateToolTip(field);
    if (!field->placeholderText().isEmpty())
        field->setPlaceholderText(
            localized(baseString(field, basePlaceholderProperty, field->placeholderText())));
}

bool isHelpPanel(const QWidget *window)
{
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Tool && type != Qt::Dialog)
        return false;
    const QString title = window->windowTitle();
    return title.contains(QLatin1String("Help")) || title.contains(QStringLiteral("Yardım")) ||
           title.contains(QLatin1String("Ayuda"));
}

// Menus, tool tips and combo box pop-ups are top-level widgets too, but not windows the user reads.
// Dialogs are left alone: the application's alerts and dialogs speak English in every language, and
// Qt's own translate themselves (QEvent::LanguageChange), which texts kept from them would undo.
bool isTranslatableWindow(const QWidget *widget)
{
    if (qobject_cast<const QDialog *>(widget) || widget->property(keptEnglishProperty).toBool())
        return false;
    switch (widget->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::SplashScreen:
    case Qt::Desktop:
        return false;
    default:
        return true;
    }
}

} // namespace

QString rawValue(LyrafoldLanguage language)
{
    return pick(language, QStringLiteral("en"), QStringLiteral("tr"), QStringLiteral("es"));
}

std::optional<LyrafoldLanguage> languageFromRawValue(const QString &raw)
{
    for (LyrafoldLanguage language : {LyrafoldLanguage::en, LyrafoldLanguage::tr, LyrafoldLanguage::es}) {
        if (raw == rawValue(language))
            return language;
    }
    return std::nullopt;
}

LyrafoldLanguage current()
{
    const QString raw = AppSettings::stringValue(AppSettings::uiLanguageKey, QStringLiteral("en"));
    return languageFromRawValue(raw).value_or(LyrafoldLanguage::en);
}

void setCurrent(LyrafoldLanguage language)
{
    AppSettings::setValue(AppSettings::uiLanguageKey, rawValue(language));
    loadQtTranslations();
    if (auto *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { applyToOpenWindows(); }, Qt::QueuedConnection);
    NotificationBus::instance().post(NotificationBus::languageChangedName);
}

bool loadQtTranslations()
{
    auto *app = QCoreApplication::instance();
    if (!app)
        return false;
    // One translator for the application's life, emptied or refilled at each switch.
    static QPointer<QTranslator> translator;
    if (translator)
        QCoreApplication::removeTranslator(translator);
    else
        translator = new QTranslator(app);
    const LyrafoldLanguage language = current();
    if (language == LyrafoldLanguage::en)
        return true;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_") + rawValue(language), folder))
        return false;
    QCoreApplication::installTranslator(translator);
    return true;
}

QString localized(const QString &english)
{
    return localized(english, current());
}

QString localized(const QString &english, LyrafoldLanguage language)
{
    return lookupFor(language).value(english, english);
}

void apply(QWidget *root)
{
    if (!root || qobject_cast<QAbstractItemView *>(root) || root->property(keptEnglishProperty).toBool())
        return;
    if (!root->property(dynamicTextProperty).toBool()) {
        if (auto *button = qobject_cast<QAbstractButton *>(root))
            translateButton(button);
        else if (auto *label = qobject_cast<QLabel *>(root))
            translateLabel(label);
        else if (auto *field = qobject_cast<QLineEdit *>(root))
            translateLineEdit(field);
        else if (qobject_cast<QComboBox *>(root))
            translateToolTip(root);
    }
    // Child windows (dialogs, panels) are windows of their own and are visited as such.
    for (QObject *child : root->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (widget && !widget->isWindow())
            apply(widget);
    }
}

void applyToOpenWindows()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (!isTranslatableWindow(window))
            continue;
        if (isHelpPanel(window)) {
            window->close();
            continue;
        }
        apply(window);
        window->setWindowTitle(localized(window->windowTitle()));
    }
}

void markDynamicText(QWidget *widget)
{
    if (widget)
        widget->setProperty(dynamicTextProperty, true);
}

void markDynamicOwnText(QWidget *widget)
{
    if (widget)
        widget->setProperty(dynamicOwnTextProperty, true);
}

void markKeptEnglish(QWidget *widget)
{
    if (widget)
        widget->setProperty(keptEnglishProperty, true);
}

bool keptEnglish(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (widget->property(keptEnglishProperty).toBool())
            return true;
    }
    return false;
}

QList<std::pair<QString, QString>> translationTable(LyrafoldLanguage language)
{
    QList<std::pair<QString, QString>> table;
    if (language == LyrafoldLanguage::en)
        return table;
    const auto rows = LyrafoldTranslations::rows();
    table.reserve(qsizetype(rows.size()));
    for (const auto &row : rows) {
        table.append({QString::fromUtf16(row.english),
                      QString::fromUtf16(pick(language, row.english, row.turkish, row.spanish))});
    }
    return table;
}

} // namespace LyrafoldLanguageService

namespace {

// Every process that has windows speaks their language from its first sentence on.
void installTableTranslator()
{
    QCoreApplication::installTranslator(
        new LyrafoldLanguageService::TableTranslator(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installTableTranslator)
