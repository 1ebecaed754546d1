#include "ui/common/PlaceholderFit.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLineEdit>

PlaceholderFit::PlaceholderFit(QLineEdit *field, int smallestPixelSize)
    : QObject(field), m_field(field), m_nominalPixelSize(qMax(1, field->font().pixelSize())),
      m_smallestPixelSize(qMin(smallestPixelSize, m_nominalPixelSize))
{
    field->installEventFilter(this);
}

void PlaceholderFit::attach(QLineEdit *field, int smallestPixelSize)
{
    new PlaceholderFit(field, smallestPixelSize);
}

bool PlaceholderFit::eventFilter(QObject *watched, QEvent *event)
{
    // Before each paint: a new translation of the placeholder comes without an event of its own.
    if (watched == m_field && (event->type() == QEvent::Paint || event->type() == QEvent::Resize))
        fit();
    return false;
}

void PlaceholderFit::fit()
{
    const QString text = m_field->placeholderText();
    // The text starts where the cursor stands; the clear button keeps as much room at the end.
    const int start = m_field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    const int room = m_field->width() - 2 * start;
    QFont font = m_field->font();
    int size = m_nominalPixelSize;
    for (; size > m_smallestPixelSize; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(text) <= room)
            break;
    }
    font.setPixelSize(size);
    if (font != m_field->font())
        m_field->setFont(font);
}
