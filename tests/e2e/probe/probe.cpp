// The test payload: writes what it was given into the report file named by
// PROBE_REPORT (appending, UTF-8) and exits with PROBE_EXIT_CODE.
// PROBE_DELAY (ms) makes it wait first; PROBE_READ=1 makes it read every file
// beside it and report how many bytes each held; PROBE_COPY names a folder
// (which must exist) to copy the files and folders beside it into. With
// PROBE_START it then starts that program (a relative path lies beside the
// probe) without waiting for it, handing it PROBE_CHILD_DELAY as its
// PROBE_DELAY and PROBE_READ=1, as a bootstrapper hands over to its engine
// (with PROBE_BREAKAWAY=1 outside its job, where it is in one). PROBE_PARENT_MODULES=1 lists the
// modules of the process that started it. It tells whether it runs in a job.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "../../unit/wide_text.h"

using testing_support::Utf8;

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[32768];
  const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
  return length && length < 32768 ? std::wstring(buffer, length) : std::wstring();
}

// The number of bytes a file yields when read to its end; -1 when it cannot
// be opened.
long long BytesRead(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  long long total = 0;
  static char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) total += read;
  CloseHandle(file);
  return total;
}

void ListFiles(const std::wstring& folder, const std::wstring& prefix, std::string& out, bool read,
               const std::wstring& copy) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out += "dir=" + Utf8(prefix + name) + "\n";
      if (!copy.empty()) CreateDirectoryW((copy + L"\\" + prefix + name).c_str(), nullptr);
      ListFiles(folder + L"\\" + name, prefix + name + L"\\", out, read, copy);
    } else {
      out += "file=" + Utf8(prefix + name) + ":" + std::to_string(found.nFileSizeLow) + "\n";
      if (read) out += "read=" + Utf8(prefix + name) + ":" + std::to_string(BytesRead(folder + L"\\" + name)) + "\n";
      if (!copy.empty()) CopyFileW((folder + L"\\" + name).c_str(), (copy + L"\\" + prefix + name).c_str(), FALSE);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// The modules loaded in the process that started this one (the runner,
// which waits for it), as "parent-module=" lines.
void ListParentModules(std::string& out) {
  const DWORD self = GetCurrentProcessId();
  DWORD parent = 0;
  HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (processes == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W process = {};
  process.dwSize = sizeof(process);
  for (BOOL more = Process32FirstW(processes, &process); more; more = Process32NextW(processes, &process))
    if (process.th32ProcessID == self) parent = process.th32ParentProcessID;
  CloseHandle(processes);
  HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, parent);
  if (modules == INVALID_HANDLE_VALUE) return;
  MODULEENTRY32W module = {};
  module.dwSize = sizeof(module);
  for (BOOL more = Module32FirstW(modules, &module); more; more = Module32NextW(modules, &module))
    out += "parent-module=" + Utf8(CharLowerW(module.szModule)) + "\n";
  CloseHandle(modules);
}

}  // namespace

// Starts `program` with the child's settings and lets it run on its own.
void HandOver(std::wstring program, const std::wstring& ownFolder) {
  if (program.find(L':') == std::wstring::npos && program.compare(0, 2, L"\\\\") != 0)
    program = ownFolder + L"\\" + program;
  const DWORD flags = Env(L"PROBE_BREAKAWAY") == L"1" ? CREATE_BREAKAWAY_FROM_JOB : 0;
  SetEnvironmentVariableW(L"PROBE_START", nullptr);
  SetEnvironmentVariableW(L"PROBE_BREAKAWAY", nullptr);
  SetEnvironmentVariableW(L"PROBE_DELAY", Env(L"PROBE_CHILD_DELAY").c_str());
  SetEnvironmentVariableW(L"PROBE_READ", L"1");
  std::wstring command = L"\"" + program + L"\" child";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

int wmain(int argc, wchar_t** argv) {
  const std::wstring delay = Env(L"PROBE_DELAY");
  if (!delay.empty()) Sleep(wcstoul(delay.c_str(), nullptr, 10));
  std::string report = "begin\n";
  report += "cmdline=" + Utf8(GetCommandLineW()) + "\n";
  wchar_t path[32768];
  const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
  const std::wstring module(path, length);
  report += "module=" + Utf8(module) + "\n";
  const DWORD cwdLength = GetCurrentDirectoryW(32768, path);
  report += "cwd=" + Utf8(std::wstring(path, cwdLength)) + "\n";
  // Whether the runner's token, which the payload inherits, is elevated.
  HANDLE token = nullptr;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
  }
  report += "elevated=" + std::to_string(elevation.TokenIsElevated ? 1 : 0) + "\n";
  for (int i = 0; i < argc; ++i) report += "argv=" + Utf8(argv[i]) + "\n";
  BOOL inJob = FALSE;
  if (IsProcessInJob(GetCurrentProcess(), nullptr, &inJob)) report += "injob=" + std::to_string(inJob) + "\n";
  const std::wstring ownFolder = module.substr(0, module.find_last_of(L'\\'));
  ListFiles(ownFolder, L"", report, Env(L"PROBE_READ") == L"1", Env(L"PROBE_COPY"));
  if (!Env(L"PROBE_PARENT_MODULES").empty()) ListParentModules(report);
  report += "tick=" + std::to_string(GetTickCount64()) + "\n";
  report += "end\n";

  const std::wstring reportPath = Env(L"PROBE_REPORT");
  if (!reportPath.empty()) {
    // Shared with other probes that run at the same time: each opens it for
    // itself alone, waiting its turn, so that no report is lost or split.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 400 && file == INVALID_HANDLE_VALUE; ++attempt) {
      file = CreateFileW(reportPath.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_SHARING_VIOLATION) break;
      if (file == INVALID_HANDLE_VALUE) Sleep(25);
    }
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
  const std::wstring start = Env(L"PROBE_START");
  if (!start.empty()) HandOver(start, ownFolder);
  const std::wstring code = Env(L"PROBE_EXIT_CODE");
  return code.empty() ? 0 : static_cast<int>(wcstoul(code.c_str(), nullptr, 10));
}
