#include "ui/mainwindow/MetadataEditDialog.h"

#include "core/text/TextUtils.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

MetadataEditDialog::MetadataEditDialog(const BookmarkEntry &entry, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Edit metadata"));
    auto *layout = new QVBoxLayout(this);
    auto *message = new QLabel(QStringLiteral("Edit metadata"));
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    layout->addWidget(message);
    auto *title = new QLabel(entry.title);
    title->setTextFormat(Qt::PlainText);
    title->setWordWrap(true);
    layout->addWidget(title);
    // The song's own title is no interface text.

    auto *rows = new QVBoxLayout;
    rows->setSpacing(6);
    m_genre = addRow(rows, QStringLiteral("Genre"), entry.genre);
    m_style = addRow(rows, QStringLiteral("Style"), entry.style);
    m_year = addRow(rows, QStringLiteral("Year"),
                    entry.firstReleaseYear ? QString::number(*entry.firstReleaseYear) : QString());
    m_composer = addRow(rows, QStringLiteral("Composer"), entry.composer);
    m_tempo = addRow(rows, QStringLiteral("Tempo"), entry.tempo);
    m_rating = addRow(rows, QStringLiteral("Rating (0-5)"), BookmarkMetadata::ratingText(entry.rating));
    layout->addLayout(rows);

    auto *buttons = new QDialogButtonBox;
    QPushButton *save = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    save->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QLineEdit *MetadataEditDialog::addRow(QVBoxLayout *rows, const QString &label, const QString &text)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    auto *name = new QLabel(label);
    name->setFixedWidth(100);
    name->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *field = new QLineEdit(text);
    field->setFixedSize(280, 24);
    field->setObjectName(label);
    row->addWidget(name);
    row->addWidget(field);
    rows->addLayout(row);
    return field;
}

Result<MetadataValues> MetadataEditDialog::values() const
{
    const auto text = [](const QLineEdit *field) { return TextUtils::trimmed(field->text()); };
    const Result<std::optional<double>> rating = BookmarkMetadata::ratingFromText(text(m_rating));
    if (!rating)
        return rating.error();
    return MetadataValues{text(m_genre),    text(m_style), BookmarkMetadata::yearFromText(text(m_year)),
                          text(m_composer), text(m_tempo), rating.value()};
}
