// Starts a worker thread that nobody joins; its handle is closed at once, so
// the thread cleans up after itself when it ends.
#pragma once

#include <windows.h>

// A worker's entry has the C runtime's thread-start form, so it is started
// as it stands.
using AFX_THREADPROC = UINT(__stdcall*)(LPVOID);

// True when the thread runs.
bool AfxBeginThread(AFX_THREADPROC proc, LPVOID param);
