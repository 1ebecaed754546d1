#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>

// The PDF viewer's trace: every step of opening, loading, fitting and keeping awake, one line each,
// stamped in local time ("yyyy-MM-dd HH:mm:ss: message"). Nothing reads it; it serves to trace a
// viewer that shows the wrong page or none. Appended to and rotated like the launch log.
namespace PdfViewLog {

inline const QString fileName = QStringLiteral("Lyrafold_pdfview.log");

// <temporary folder>/Lyrafold_pdfview.log, fixed by the first line written.
QString path();

// "(width, height)" and "(x, y, width, height)", each number as DiagnosticLog::formatNumber writes it.
QString formatSize(const QSizeF &size);
QString formatRect(const QRectF &rect);

} // namespace PdfViewLog

// Writes one line; failures are ignored. Safe from any thread.
void pdfLog(const QString &message);
