// Starting the payload and removing the extraction folder.
#pragma once

#include <windows.h>

#include <string>

// Starts the command in `workingDirectory` and waits, without a time limit,
// until the process has ended. True when it started; `code` is then the
// process's exit code, otherwise the error of CreateProcessW.
bool LaunchAndWait(std::wstring payloadCommand, const std::wstring& workingDirectory, DWORD& code);

// Removes the folder (its path ends with a backslash) and everything in it
// for good, at any path length. Retries for a few seconds while a file is
// still in use. An empty path is skipped (false).
bool DeleteExtractFolder(const std::wstring& folder);
