#include "ui/autoplaylist/AutoPlaylistFilterPicker.h"

#include "core/autoplaylist/AutoPlaylistFilters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A dialog with a message in bold, an informative text, the given content and two buttons; the first
// is the default. The texts are given in English.
class PickerDialog : public QDialog {
public:
    PickerDialog(QWidget *parent, const QString &message, const QString &informative,
                 const QString &accept = QStringLiteral("OK"))
        : QDialog(parent)
    {
        setObjectName(QLatin1String(AutoPlaylistFilterPicker::objectName));
        setWindowTitle(message);
        setWindowModality(Qt::ApplicationModal);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(20, 18, 20, 14);
        layout->setSpacing(8);
        auto *title = new QLabel(message);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        layout->addWidget(title);
        auto *detail = new QLabel(informative);
        detail->setWordWrap(true);
        layout->addWidget(detail);
        m_content = new QVBoxLayout;
        m_content->setSpacing(6);
        layout->addLayout(m_content);
        layout->addSpacing(6);
        auto *buttons = new QDialogButtonBox;
        QPushButton *ok = buttons->addButton(accept, QDialogButtonBox::AcceptRole);
        ok->setDefault(true);
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
    }

    // The first control added has the focus as the dialog opens, so that what is typed at once (a term, a
    // Space that ticks a box) goes to it rather than to the button made before it.
    void add(QWidget *widget)
    {
        m_content->addWidget(widget);
        if (!m_focused && (widget->focusPolicy() & Qt::TabFocus)) {
            m_focused = true;
            widget->setFocus();
        }
    }

private:
    QVBoxLayout *m_content;
    bool m_focused = false;
};

void chooseMany(const QString &title, const QStringList &choices, QLineEdit *field, QWidget *parent)
{
    PickerDialog dialog(parent, title, QStringLiteral("Choose one or more values."));
    dialog.setMinimumWidth(300);
    const QList<bool> ticked = AutoPlaylistFilters::tickedChoices(field->text(), choices);
    QList<QCheckBox *> boxes;
    for (qsizetype i = 0; i < choices.size(); ++i) {
        auto *box = new QCheckBox(choices[i]);
        box->setChecked(ticked[i]);
        dialog.add(box);
        boxes.append(box);
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    QList<bool> chosen;
    for (const QCheckBox *box : std::as_const(boxes))
        chosen.append(box->isChecked());
    field->setText(AutoPlaylistFilters::tickedText(choices, chosen));
}

void chooseOne(const QString &title, const QStringList &choices, QLineEdit *field, QWidget *parent)
{
    PickerDialog dialog(parent, title, QStringLiteral("Choose one value."));
    auto *popup = new QComboBox;
    popup->setObjectName(QStringLiteral("choicePopup"));
    popup->setMinimumWidth(220);
    popup->addItem(QStringLiteral("(Any)"));
    popup->addItems(choices);
    popup->setCurrentIndex(AutoPlaylistFilters::selectedChoice(field->text(), choices) + 1);
    dialog.add(popup);
    if (dialog.exec() != QDialog::Accepted)
        return;
    field->setText(popup->currentIndex() == 0 ? QString() : popup->currentText());
}

QComboBox *ratingPopup(const QString &none, int selected, const QString &name)
{
    auto *popup = new QComboBox;
    popup->setObjectName(name);
    popup->addItem(none);
    for (int rating = 1; rating <= 5; ++rating)
        popup->addItem(QString::number(rating));
    popup->setCurrentIndex(selected);
    return popup;
}

void choosePopularity(QLineEdit *field, QWidget *parent)
{
    PickerDialog dialog(parent, QStringLiteral("Popularity"),
                        QStringLiteral("Pick a single rating or a range (1-5)."));
    dialog.setMinimumWidth(260);
    const auto [first, second] = AutoPlaylistFilters::popularityPicks(field->text());
    QComboBox *from = ratingPopup(QStringLiteral("(Any)"), first, QStringLiteral("firstValuePopup"));
    QComboBox *to = ratingPopup(QStringLiteral("(No range end)"), second, QStringLiteral("secondValuePopup"));
    dialog.add(new QLabel(QStringLiteral("First value")));
    dialog.add(from);
    dialog.add(new QLabel(QStringLiteral("Second value (optional)")));
    dialog.add(to);
    if (dialog.exec() != QDialog::Accepted)
        return;
    field->setText(AutoPlaylistFilters::popularityText(from->currentIndex(), to->currentIndex()));
}

void appendTerm(QLineEdit *field, QWidget *parent)
{
    PickerDialog dialog(parent, QStringLiteral("Add filter term"),
                        QStringLiteral("You can also type comma-separated terms in the field."),
                        QStringLiteral("Append"));
    auto *term = new QLineEdit;
    term->setObjectName(QStringLiteral("termField"));
    term->setMinimumWidth(260);
    dialog.add(term);
    if (dialog.exec() != QDialog::Accepted)
        return;
    field->setText(AutoPlaylistFilters::appendedTerm(field->text(), term->text()));
}

} // namespace

namespace AutoPlaylistFilterPicker {

void browse(Kind kind, QLineEdit *field, QWidget *parent)
{
    if (!field)
        return;
    switch (kind) {
    case Kind::genre:
        chooseMany(QStringLiteral("Genre(s)"), AutoPlaylistFilters::genreChoices(), field, parent);
        return;
    case Kind::style:
        chooseMany(QStringLiteral("Style(s)"), AutoPlaylistFilters::styleChoices(), field, parent);
        return;
    case Kind::tempo:
        chooseOne(QStringLiteral("Tempo"), AutoPlaylistFilters::tempoChoices(), field, parent);
        return;
    case Kind::popularity:
        choosePopularity(field, parent);
        return;
    case Kind::composer:
        break;
    }
    appendTerm(field, parent);
}

} // namespace AutoPlaylistFilterPicker
