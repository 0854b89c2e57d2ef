// Starts a worker thread that nobody joins; its handle is closed at once, so
// the thread cleans up after itself when it ends.
#pragma once

#include <windows.h>

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);

// True when the thread runs.
bool AfxBeginThread(AFX_THREADPROC proc, LPVOID param);
