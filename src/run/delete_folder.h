// Removing the extraction folder once the run is over.
#pragma once

#include <windows.h>

#include <string>

#include "extract/extract_folder.h"

namespace nsTobrin {

// Removes the folder (its path ends with a backslash) and everything in it
// for good, at any path length. Retries for a few seconds while a file is
// still in use; what a program outside holds (the folder as its current
// directory, a file it keeps open) ends the retry at once. Every file that
// can go is deleted; in an elevated run what is left is marked for deletion
// at the next restart. An empty path is skipped (false).
bool DeleteExtractFolder(const std::wstring& folder);
// The same for the folder whose forms the run has made.
bool DeleteExtractFolder(const ExtractFolder& folder);

// What the removal does with an entry it finds, by the attributes the
// search reports: it descends only into a folder that is no reparse point.
// A link or junction to a folder is removed itself, never followed; a link
// to a file is deleted like a file.
enum class EntryRemoval { Descend, RemoveFolder, DeleteFile };
EntryRemoval RemovalOf(DWORD attributes);

}  // namespace nsTobrin
