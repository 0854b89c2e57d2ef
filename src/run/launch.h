// Starting the payload and waiting for it and the processes it starts.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/win_owners.h"
#include "run/payload_command.h"

namespace nsTobrin {

// Starts the command in its working directory inside a job of its own and waits,
// without a time limit, until the process has ended; then, while any process
// of the job still runs whose image lies inside `extractFolder`, whose
// command line names that folder, or whose command line the system does not
// let the runner read, waits for it as well (programs started from elsewhere
// for other work are not waited for, nor children that broke away from the
// job). Where no job can be used, only the payload is waited for. `heldPayload`, the payload's
// file held open against writers, is closed once the process exists. 0 when
// it started; `exitCode` is then the process's exit code. Otherwise the error
// of CreateProcessW (or of letting the process run), never 0, with
// `exitCode` untouched.
DWORD StartAndWait(const PayloadCommand& command, const std::wstring& extractFolder, KernelHandle& heldPayload,
                   DWORD& exitCode);

// StartAndWait with the payload run's named interface: true when the
// process started; false with the error as the thread's last error.
bool LaunchAndWait(const PayloadCommand& command, const std::wstring& extractFolder, KernelHandle& heldPayload,
                   DWORD& exitCode);

// Lets a process made suspended run: 0 when it runs. When its thread cannot
// be resumed, the process (which would never run, nor end) is ended and the
// error is returned.
DWORD ResumeOrEnd(HANDLE process, HANDLE thread);

// Runs `start`, a process start answering 0 or its error, and runs it again
// while it answers ERROR_INTERNAL_ERROR, at most `attempts` times in all; its
// last answer. That error means the new process was lost before it ran a
// line of its own (under load, Wine's loader now and then ends that early),
// so nothing of the payload ran and starting it again is safe.
DWORD StartRetryingLostProcess(const std::function<DWORD()>& start, int attempts = 4);

// True when `path` names `folder` or something inside it, compared as the
// file system does (letter case, separators, short names).
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);

}  // namespace nsTobrin
