#include "unit/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace testing_support {

std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

TempFolder::TempFolder(const std::wstring& hint) {
  wchar_t base[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, base);
  static unsigned counter = 0;
  for (;;) {
    m_path = std::wstring(base) + L"tobrin-test-" + hint + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter);
    if (CreateDirectoryW(m_path.c_str(), nullptr)) break;
  }
}

TempFolder::~TempFolder() { RemoveTreeForTest(m_path); }

void RemoveTreeForTest(const std::wstring& path) {
  const std::wstring longPath = path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((longPath + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = longPath + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTreeForTest(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(longPath.c_str());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::string ReadBytes(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return std::string();
  std::string out;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) out.append(buffer, got);
  std::fclose(file);
  return out;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

bool PlantSentinel(const std::wstring& folder) { return WriteBytes(folder + L"\\" + kSentinel, "keep"); }

std::vector<std::wstring> LeftIn(const std::wstring& folder) {
  std::vector<std::wstring> names = ListFolder(folder);
  const auto sentinel = std::find(names.begin(), names.end(), kSentinel);
  if (sentinel == names.end()) names.insert(names.begin(), L"<sentinel gone>");
  else names.erase(sentinel);
  return names;
}

bool AppendPackageTo(const std::wstring& path, const std::vector<nsTobrin::WriterGroup>& groups, Packing packing) {
  FILE* file = _wfopen(path.c_str(), L"r+b");
  if (!file) return false;
  bool compressed = false;
  const bool ok = packing == Packing::Compressed
                      ? nsTobrin::AppendCompressedPackage(file, groups, 3, &compressed) && compressed
                      : nsTobrin::AppendPackage(file, groups,
                                                packing == Packing::Sealed ? nsTobrin::PackageSealing::Sealed
                                                                           : nsTobrin::PackageSealing::Unsealed);
  return std::fclose(file) == 0 && ok;
}

std::string AssistFile(const std::string& execute, const std::string& paramA, const std::string& paramB,
                       const std::string& product) {
  std::string ini = "[ParamOption]\r\nExecuteFileName=" + execute + "\r\n";
  if (!paramA.empty()) ini += "ParamA=" + paramA + "\r\n";
  if (!paramB.empty()) ini += "ParamB=" + paramB + "\r\n";
  return ini + "ProductName=" + product + "\r\n";
}

std::vector<nsTobrin::WriterFile> QuestionFiles(const std::string& catalogue) {
  return {nsTobrin::FileFromBytes(u"MessageSetting.ini", "[Setting]\r\nIsShowMessageBox=1\r\nIsOk=0\r\n"),
          nsTobrin::FileFromBytes(u"MessageInfo.xml", catalogue)};
}

void ClickButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::wstring OwnFolder() {
  wchar_t path[32768];
  const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
  std::wstring module(path, length);
  return module.substr(0, module.find_last_of(L'\\'));
}

RegistryValueGuard::RegistryValueGuard(HKEY root, const std::wstring& key, const std::wstring& value)
    : m_root(root), m_key(key), m_value(value) {
  HKEY handle;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS) {
    DWORD size = 0;
    if (RegQueryValueExW(handle, value.c_str(), nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS) {
      m_old.resize(size);
      RegQueryValueExW(handle, value.c_str(), nullptr, &m_type, m_old.data(), &size);
      m_bHadValue = true;
    }
    RegCloseKey(handle);
  } else {
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, &disposition) == ERROR_SUCCESS) {
      m_bCreatedKey = disposition == REG_CREATED_NEW_KEY;
      RegCloseKey(handle);
    }
  }
}

RegistryValueGuard::~RegistryValueGuard() {
  if (m_bHadValue) {
    Set(m_type, m_old.data(), static_cast<DWORD>(m_old.size()));
  } else {
    Delete();
  }
  if (m_bCreatedKey) RegDeleteKeyW(m_root, m_key.c_str());
}

void RegistryValueGuard::Set(DWORD type, const void* data, DWORD size) {
  HKEY handle;
  LSTATUS status = RegCreateKeyExW(m_root, m_key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(handle, m_value.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
  }
  EXPECT_EQ(status, ERROR_SUCCESS) << "cannot write " << Utf8(m_key + L"\\" + m_value);
}

void RegistryValueGuard::Delete() {
  HKEY handle;
  LSTATUS status = RegOpenKeyExW(m_root, m_key.c_str(), 0, KEY_WRITE, &handle);
  if (status == ERROR_SUCCESS) {
    status = RegDeleteValueW(handle, m_value.c_str());
    RegCloseKey(handle);
  }
  EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << "cannot delete " << Utf8(m_key + L"\\" + m_value);
}

EnvironmentGuard::EnvironmentGuard(const std::wstring& name, const std::wstring& value) : m_name(name) {
  wchar_t buffer[32768];
  const DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 32768);
  m_bHadValue = length > 0 && length < 32768;
  if (m_bHadValue) m_old.assign(buffer, length);
  SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
}

EnvironmentGuard::~EnvironmentGuard() { SetEnvironmentVariableW(m_name.c_str(), m_bHadValue ? m_old.c_str() : nullptr); }

ChildProcess::ChildProcess(const std::wstring& commandLine, const Environment& env) {
  // The current environment with the given variables replaced, sorted by
  // name without regard to case, as the system keeps it.
  auto upper = [](std::wstring name) {
    for (wchar_t& c : name) c = towupper(c);
    return name;
  };
  std::map<std::wstring, std::wstring> variables;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
    const std::wstring entry = p;
    const size_t equals = entry.find(L'=', 1);
    if (equals != std::wstring::npos) variables[upper(entry.substr(0, equals))] = entry;
  }
  FreeEnvironmentStringsW(block);
  for (const auto& change : env) {
    if (change.second.empty())
      variables.erase(upper(change.first));
    else
      variables[upper(change.first)] = change.first + L"=" + change.second;
  }
  std::wstring newBlock;
  for (const auto& entry : variables) newBlock += entry.second + L'\0';
  newBlock += L'\0';

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::wstring command = commandLine;
  // Under a loaded Wine a process start now and then fails on its own; the
  // start of the test's own child is retried, never what the child does.
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    if (attempt) Sleep(200);
    command = commandLine;
    started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, &newBlock[0],
                             nullptr, &startup, &process);
  }
  if (started) {
    CloseHandle(process.hThread);
    m_hProcess = process.hProcess;
    m_nId = process.dwProcessId;
  }
}

ChildProcess::~ChildProcess() {
  if (!m_hProcess) return;
  if (WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(m_hProcess, 1);
  CloseHandle(m_hProcess);
}

long long ChildProcess::Wait(DWORD timeoutMs) {
  if (!m_hProcess) return -1;
  if (WaitForSingleObject(m_hProcess, timeoutMs) != WAIT_OBJECT_0) return -2;
  DWORD code = 0;
  GetExitCodeProcess(m_hProcess, &code);
  return code;
}

namespace {

struct WindowSearch {
  DWORD processId;
  const std::wstring* caption;
  int controlId;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t caption[256] = {};
  GetWindowTextW(window, caption, 256);
  if (*search->caption != caption || (search->controlId && !GetDlgItem(window, search->controlId))) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND ChildProcess::WaitForWindow(const std::wstring& caption, int controlId, DWORD timeoutMs) const {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (m_hProcess && GetTickCount64() < end) {
    WindowSearch search = {m_nId, &caption, controlId, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (WaitForSingleObject(m_hProcess, 5) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

long long RunProgram(const std::wstring& commandLine, const Environment& env, DWORD timeoutMs) {
  return ChildProcess(commandLine, env).Wait(timeoutMs);
}

RunnerScene::RunnerScene(const std::wstring& hint) : work(hint) {
  EXPECT_TRUE(CreateDirectoryW(temp.c_str(), nullptr) && PlantSentinel(temp));
}

nsTobrin::WriterGroup RunnerScene::ProbeRoot(std::vector<nsTobrin::WriterFile> more, const std::string& assist) const {
  more.insert(more.begin(), {nsTobrin::FileFromBytes(u"probe.exe", probe), nsTobrin::FileFromBytes(u"AssistFile.ini", assist)});
  return {nsTobrin::kRootGroupName, std::move(more)};
}

std::wstring RunnerScene::Pack(const std::vector<nsTobrin::WriterGroup>& groups, const std::wstring& name,
                               Packing packing) const {
  const std::wstring packed = work / name;
  EXPECT_TRUE(CopyFileW(runner.c_str(), packed.c_str(), FALSE) && AppendPackageTo(packed, groups, packing)) << Utf8(name);
  return packed;
}

std::unique_ptr<ChildProcess> RunnerScene::Start(const std::wstring& packed, const std::wstring& arguments,
                                                 Environment env) const {
  env.insert(env.end(), {{L"TEMP", tempVariable}, {L"TMP", tempVariable}, {L"PROBE_REPORT", report}});
  return std::make_unique<ChildProcess>(L"\"" + packed + L"\"" + (arguments.empty() ? L"" : L" " + arguments), env);
}

}  // namespace testing_support
