#include "ui/common/ExportProgressDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int barRange = 1000;
constexpr int dialogWidth = 400;
int showDelayMs = 250;

} // namespace

void ExportProgressDialog::setShowDelayForTesting(int milliseconds)
{
    showDelayMs = milliseconds;
}

ExportProgressDialog::ExportProgressDialog(QWidget *window, const QString &title)
    : QDialog(window), m_step(new QLabel), m_count(new QLabel), m_bar(new QProgressBar),
      m_cancel(new QPushButton(QStringLiteral("Cancel")))
{
    setObjectName(QStringLiteral("exportProgressDialog"));
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_step->setObjectName(QStringLiteral("exportProgressStep"));
    QFont bold = m_step->font();
    bold.setBold(true);
    m_step->setFont(bold);
    m_step->setTextFormat(Qt::PlainText);
    m_count->setObjectName(QStringLiteral("exportProgressCount"));
    m_count->setForegroundRole(QPalette::PlaceholderText);
    m_step->setMinimumHeight(m_step->fontMetrics().height());
    m_count->setMinimumHeight(m_count->fontMetrics().height());
    m_bar->setObjectName(QStringLiteral("exportProgressBar"));
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 0);
    m_cancel->setObjectName(QStringLiteral("exportProgressCancel"));
    auto *buttons = new QDialogButtonBox;
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    connect(m_cancel, &QPushButton::clicked, this, &ExportProgressDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(8);
    layout->addWidget(m_step);
    layout->addWidget(m_bar);
    layout->addWidget(m_count);
    layout->addSpacing(4);
    layout->addWidget(buttons);
    // One size for every step, so the dialog never jumps; a long step text is shortened instead.
    setFixedSize(dialogWidth, sizeHint().height());
}

void ExportProgressDialog::setStep(const QString &text)
{
    if (m_cancelRequested)
        return;
    m_step->setText(m_step->fontMetrics().elidedText(text, Qt::ElideMiddle, dialogWidth - 40));
    m_step->setToolTip(text);
    m_count->clear();
    m_bar->setRange(0, 0);
}

void ExportProgressDialog::setCount(qint64 done, qint64 total, const QString &unit)
{
    if (m_cancelRequested)
        return;
    m_count->setText(total > 0 ? QStringLiteral("%1 of %2 %3").arg(done).arg(total).arg(unit) : QString());
}

void ExportProgressDialog::setBar(qint64 done, qint64 total)
{
    if (m_cancelRequested)
        return;
    if (total <= 0) {
        m_bar->setRange(0, 0);
        return;
    }
    m_bar->setRange(0, barRange);
    m_bar->setValue(int(std::clamp<qint64>(done, 0, total) * barRange / total));
}

void ExportProgressDialog::showSoon()
{
    QTimer::singleShot(showDelayMs, this, [this] {
        if (!isHidden() || result() == QDialog::Accepted)
            return;
        show();
    });
}

void ExportProgressDialog::reject()
{
    // The dialog stays until the work has stopped; the owner closes it then.
    if (m_cancelRequested)
        return;
    m_cancelRequested = true;
    m_cancel->setEnabled(false);
    m_step->setText(QStringLiteral("Cancelling…"));
    m_count->clear();
    m_bar->setRange(0, 0);
    Q_EMIT cancelled();
}
