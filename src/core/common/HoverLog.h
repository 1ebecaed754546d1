#pragma once

#include <QRectF>
#include <QString>

// A trace of the main window's table hover highlight and hover page preview, one line per event,
// each beginning with the time in UTC (ISO 8601). Nothing reads it; it serves to trace a highlight
// that goes astray. Appended to and rotated like the launch log, so it never fills the disk.
namespace HoverLog {

inline const QString fileName = QStringLiteral("Lyrafold_hover_highlight.log");

// <temporary folder>/Lyrafold_hover_highlight.log, fixed by the first line written.
QString path();

// "(x, y, width, height)", each number the shortest text that reads back as the same double, whole
// numbers with ".0".
QString formatRect(const QRectF &rect);

} // namespace HoverLog

// Writes one line; failures are ignored.
void hoverLog(const QString &message);
