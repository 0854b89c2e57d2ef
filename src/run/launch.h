// Starting the payload and removing the extraction folder.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/win_owners.h"
#include "run/payload_command.h"

namespace nsTobrin {

// Starts the command in its working directory inside a job of its own and waits,
// without a time limit, until the process has ended; then, while any process
// of the job whose image lies inside `extractFolder` still runs, waits for it
// as well (programs started from elsewhere are not waited for). Where no job
// can be used, only the payload is waited for. `heldPayload`, the payload's
// file held open against writers, is closed once the process exists. True
// when it started; `exitCode` is then the process's exit code. False when it
// could not start, with the error of CreateProcessW as the thread's last
// error (never 0) and `exitCode` untouched.
bool LaunchAndWait(const PayloadCommand& command, const std::wstring& extractFolder, KernelHandle& heldPayload,
                   DWORD& exitCode);

// Runs `start`, a process start answering 0 or its error, and runs it again
// while it answers ERROR_INTERNAL_ERROR, at most `attempts` times in all; its
// last answer. That error means the new process was lost before it ran a
// line of its own (under load, Wine's loader now and then ends that early),
// so nothing of the payload ran and starting it again is safe.
DWORD StartRetryingLostProcess(const std::function<DWORD()>& start, int attempts = 4);

// True when `path` names `folder` or something inside it, compared as the
// file system does (letter case, separators, short names).
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);

// Removes the folder (its path ends with a backslash) and everything in it
// for good, at any path length. Retries for a few seconds while a file is
// still in use; what a program outside holds (the folder as its current
// directory, a file it keeps open) ends the retry at once. Every file that
// can go is deleted; in an elevated run what is left is marked for deletion
// at the next restart. An empty path is skipped (false).
bool DeleteExtractFolder(const std::wstring& folder);

}  // namespace nsTobrin
