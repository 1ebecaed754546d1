#include "core/share/ExportResult.h"

QString ExportResult::message() const
{
    switch (failure) {
    case Failure::none:
        return {};
    case Failure::bookMissing:
        return QStringLiteral("The book could not be read: %1").arg(detail);
    case Failure::nothingToExport:
        return QStringLiteral("There are no pages to export.");
    case Failure::writeFailed:
        return detail.isEmpty() ? QStringLiteral("The export could not be written.")
                                : QStringLiteral("The export could not be written: %1").arg(detail);
    case Failure::cancelled:
        return QStringLiteral("The export was cancelled.");
    }
    return {};
}
