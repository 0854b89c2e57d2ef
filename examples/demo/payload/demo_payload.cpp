// The demo package's payload: shows what the runner handed it (its command
// line and arguments, its working directory, the files beside it). The text
// goes to the file named by DEMO_REPORT when that is set, so that `make demo`
// can print it, and into a window unless the run is silent ("-s" or "/s"
// among the arguments). DEMO_SHOW_SECONDS closes the window by itself.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "common/win_owners.h"

namespace {

using nsTobrin::FindHandle;
using nsTobrin::KernelHandle;

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

// The files and folders below `folder`, one a line, folders first.
void ListFiles(const std::wstring& folder, const std::wstring& prefix, std::wstring& out) {
  WIN32_FIND_DATAW found;
  const FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search) return;
  std::wstring files, folders;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      folders += L"  " + prefix + name + L"\\\r\n";
      ListFiles(folder + L"\\" + name, prefix + name + L"\\", folders);
    } else {
      files += L"  " + prefix + name + L"  (" + std::to_wstring(found.nFileSizeLow) + L" bytes)\r\n";
    }
  } while (FindNextFileW(search.Get(), &found));
  out += files + folders;
}

std::wstring Report(int argc, wchar_t** argv) {
  std::wstring text = L"The Tobrin demo payload was started.\r\n\r\n";
  text += L"Command line:\r\n  " + std::wstring(GetCommandLineW()) + L"\r\n";
  text += L"Arguments:\r\n";
  for (int i = 1; i < argc; ++i) text += L"  [" + std::to_wstring(i) + L"] " + argv[i] + L"\r\n";
  wchar_t path[32768];
  const DWORD cwdLength = GetCurrentDirectoryW(32768, path);
  text += L"Working directory:\r\n  " + std::wstring(path, cwdLength) + L"\r\n";
  const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
  const std::wstring module(path, length);
  const std::wstring folder = module.substr(0, module.find_last_of(L'\\'));
  text += L"Files beside it (" + folder + L"):\r\n";
  ListFiles(folder, L"", text);
  return text;
}

void WriteReport(const std::wstring& path, const std::wstring& text) {
  const KernelHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string bytes = Utf8(text);
  DWORD written = 0;
  WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

constexpr UINT_PTR kCloseTimer = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: {
      HWND edit = GetWindow(window, GW_CHILD);
      MoveWindow(edit, 8, 8, LOWORD(lParam) - 16, HIWORD(lParam) - 16, TRUE);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kCloseTimer) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void ShowReport(HINSTANCE instance, const std::wstring& text) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"TobrinDemoPayload";
  RegisterClassW(&windowClass);

  const int width = 640, height = 420;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Tobrin demo payload", WS_OVERLAPPEDWINDOW, x, y, width,
                                height, nullptr, nullptr, instance, nullptr);
  if (!window) return;
  HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", text.c_str(),
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                              0, 0, 0, 0, window, nullptr, instance, nullptr);
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  RECT client;
  GetClientRect(window, &client);
  SendMessageW(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));

  const std::wstring seconds = Env(L"DEMO_SHOW_SECONDS");
  if (!seconds.empty()) SetTimer(window, kCloseTimer, wcstoul(seconds.c_str(), nullptr, 10) * 1000, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const nsTobrin::LocalMemory arguments(argv);
  const std::wstring report = Report(argc, argv);
  const std::wstring reportPath = Env(L"DEMO_REPORT");
  if (!reportPath.empty()) WriteReport(reportPath, report);

  bool silent = false;
  for (int i = 1; i < argc; ++i) silent |= lstrcmpiW(argv[i], L"-s") == 0 || lstrcmpiW(argv[i], L"/s") == 0;
  if (!silent) ShowReport(instance, report);
  return 0;
}
