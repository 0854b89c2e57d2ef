// Starts a worker thread. Its handle goes to the caller who asks for it, or
// is closed at once: the thread cleans up after itself when it ends.
#pragma once

#include <windows.h>

#include "common/win_owners.h"

// A worker's entry has the C runtime's thread-start form, so it is started
// as it stands.
using AFX_THREADPROC = UINT(__stdcall*)(LPVOID);

// True when the thread runs; `thread`, when given, then holds its handle.
bool AfxBeginThread(AFX_THREADPROC proc, LPVOID param, nsTobrin::KernelHandle* thread = nullptr);
