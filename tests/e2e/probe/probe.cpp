// The test payload: writes what it was given into the report file named by
// PROBE_REPORT (appending, UTF-8) and exits with PROBE_EXIT_CODE.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[32768];
  const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
  return length && length < 32768 ? std::wstring(buffer, length) : std::wstring();
}

void ListFiles(const std::wstring& folder, const std::wstring& prefix, std::string& out) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out += "dir=" + Utf8(prefix + name) + "\n";
      ListFiles(folder + L"\\" + name, prefix + name + L"\\", out);
    } else {
      out += "file=" + Utf8(prefix + name) + ":" + std::to_string(found.nFileSizeLow) + "\n";
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::string report = "begin\n";
  report += "cmdline=" + Utf8(GetCommandLineW()) + "\n";
  wchar_t path[32768];
  const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
  const std::wstring module(path, length);
  report += "module=" + Utf8(module) + "\n";
  const DWORD cwdLength = GetCurrentDirectoryW(32768, path);
  report += "cwd=" + Utf8(std::wstring(path, cwdLength)) + "\n";
  for (int i = 0; i < argc; ++i) report += "argv=" + Utf8(argv[i]) + "\n";
  ListFiles(module.substr(0, module.find_last_of(L'\\')), L"", report);
  report += "end\n";

  const std::wstring reportPath = Env(L"PROBE_REPORT");
  if (!reportPath.empty()) {
    HANDLE file = CreateFileW(reportPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
  const std::wstring code = Env(L"PROBE_EXIT_CODE");
  return code.empty() ? 0 : static_cast<int>(wcstoul(code.c_str(), nullptr, 10));
}
