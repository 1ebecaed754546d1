#pragma once

#include "DemoCatalogue.h"

#include <string>

namespace DemoBookWriter {

// Draws the book as lead sheets behind a cover with its contents, with one outline entry per song at
// its first page. The same book always gives the same bytes. Returns false, with a reason in error,
// when the file could not be written; a failed run leaves no file at path.
bool write(const DemoCatalogue::Book &book, const std::string &path, std::string *error);

} // namespace DemoBookWriter
