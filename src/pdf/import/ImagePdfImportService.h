#pragma once

#include "common/Result.h"

#include <QString>

// Turns imported images and PDFs into PDF books of their own.
namespace ImagePdfImportService {

// The import library, "PDFs" in the user's Documents folder, created with any missing parents.
Result<QString> defaultLibraryDirectory();

} // namespace ImagePdfImportService
