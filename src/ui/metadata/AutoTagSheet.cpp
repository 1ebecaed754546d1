#include "ui/metadata/AutoTagSheet.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

AutoTagSheet::AutoTagSheet(qsizetype total, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("autoTagSheet"));
    setWindowTitle(QStringLiteral("Auto-tag"));
    setWindowModality(Qt::WindowModal);
    if (parent)
        setPalette(parent->palette());
    setAutoFillBackground(true);
    setFixedSize(440, 150);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(12);
    m_label = new QLabel(QStringLiteral("Starting\u2026"));
    m_label->setObjectName(QStringLiteral("autoTagLabel"));
    m_label->setTextFormat(Qt::PlainText);
    // The run writes the progress here; a switch of language leaves it alone.
    m_label->setWordWrap(true);
    // Three lines at most: the title is cut before it could need more.
    m_label->setMaximumHeight(m_label->fontMetrics().lineSpacing() * 3);
    m_bar = new QProgressBar;
    m_bar->setObjectName(QStringLiteral("autoTagProgress"));
    m_bar->setRange(0, int(std::max<qsizetype>(total, 1)));
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_cancel = new QPushButton(QStringLiteral("Cancel"));
    m_cancel->setObjectName(QStringLiteral("autoTagCancelButton"));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &AutoTagSheet::reject);
    column->addWidget(m_label);
    column->addWidget(m_bar);
    column->addWidget(m_cancel, 0, Qt::AlignLeft);
    column->addStretch(1);
}

QString AutoTagSheet::progressText(qsizetype done, qsizetype total, const QString &title)
{
    QString shown = title;
    if (shown.size() > maxTitleLength)
        shown = shown.left(maxTitleLength) + QStringLiteral("\u2026");
    return QStringLiteral("%1/%2: %3").arg(done).arg(total).arg(shown);
}

void AutoTagSheet::showProgress(qsizetype done, qsizetype total, const QString &title)
{
    m_bar->setValue(int(done));
    m_label->setText(progressText(done, total, title));
}

void AutoTagSheet::reject()
{
    // A lookup under way may take a while yet: the button shows that the cancel was taken.
    m_cancel->setEnabled(false);
    m_cancel->setText(QStringLiteral("Cancelling\u2026"));
    Q_EMIT cancelRequested();
}
