// The folder a vendor packs: the files directly in it form the root group,
// every folder below it (empty ones too) a group named by its path relative
// to it with backslashes.
#pragma once

#include "findings.h"
#include "package_view.h"

namespace nsTobrin {

// Scans `folder` into a view whose groups, and the files within each, are
// in ascending ordinal order of their UTF-16 names: parents before
// children, and the data area in the order the runner reads it. Adds an
// error for everything that cannot be packed as it is.
PackageView ScanSourceFolder(const fs::path& folder, Findings& findings);

}  // namespace nsTobrin
