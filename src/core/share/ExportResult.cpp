#include "core/share/ExportResult.h"

#include "core/common/UiText.h"

QString ExportResult::message() const
{
    switch (failure) {
    case Failure::none:
        return {};
    case Failure::bookMissing:
        return UiText::tr("The book could not be read: %1").arg(m_detail);
    case Failure::nothingToExport:
        return UiText::tr("There are no pages to export.");
    case Failure::writeFailed:
        return m_detail.isEmpty() ? UiText::tr("The export could not be written.")
                                  : UiText::tr("The export could not be written: %1").arg(m_detail);
    case Failure::cancelled:
        return UiText::tr("The export was cancelled.");
    }
    return {};
}
