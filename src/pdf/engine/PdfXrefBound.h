#pragma once

#include <QString>

// poppler makes room in its cross-reference table for every object number a file claims, before it
// knows whether the object exists, and has no limit of its own: a file of a few hundred bytes that
// claims object 21,000,000 costs it about 830 MB. This finds, without allocating per object number,
// the claims poppler may size its table from, so that such a file is refused before poppler sees it
// (internal to src/pdf).
namespace PdfXrefBound {

// Whether the file at path claims an object number above its own length in bytes, which no real file
// can hold. The claims looked at:
// - along the chain of cross-reference sections (from the last startxref, and from the first section
//   of a linearised file, following /Prev and /XRefStm): every trailer's /Size, every table
//   subsection's first number plus its count, every cross-reference stream's /Size and /Index;
// - where poppler rebuilds a damaged table, which it may do at any moment while the file is open:
//   every object header ("12 0 obj") anywhere in the bytes, and the /Size of every dictionary that
//   follows "trailer".
// The file is read in chunks: the memory used does not grow with the file. A file that cannot be read
// claims nothing.
bool claimsImpossibleObject(const QString &path);

} // namespace PdfXrefBound
