// Shared helpers of the Windows tests: real folders, files, registry keys
// and processes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "package/package_writer.h"
#include "unit/wide_text.h"

namespace testing_support {

// A new empty folder under the system's temporary folder, removed with all
// it holds at the end of the scope. Path without a trailing backslash.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& hint = L"t");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& Path() const { return m_path; }
  std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

 private:
  std::wstring m_path;
};

void RemoveTreeForTest(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
// Names of the entries directly in a folder, sorted.
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// A file planted in TEMP and in an extraction root before a run: a runner
// that removed the folder itself, not only what it made in it, takes it along.
constexpr wchar_t kSentinel[] = L"sentinel.keep";
bool PlantSentinel(const std::wstring& folder);
// What a run left in a folder with a sentinel: the names beside the
// sentinel, sorted, and "<sentinel gone>" when it (or the folder) is gone.
std::vector<std::wstring> LeftIn(const std::wstring& folder);

// The layout of a test's package: stored, stored and sealed, or compressed
// (sealed, at a fast level; the files must be large enough to compress).
enum class Packing { Stored, Sealed, Compressed };
// Appends the package of `groups` to the file at `path` (a runner or an image).
bool AppendPackageTo(const std::wstring& path, const std::vector<nsTobrin::WriterGroup>& groups,
                     Packing packing = Packing::Stored);

// AssistFile.ini that starts `execute` with ParamA and ParamB (absent when
// empty), for the product `product`.
std::string AssistFile(const std::string& execute = "probe.exe", const std::string& paramA = "",
                       const std::string& paramB = "", const std::string& product = "Probe");
// MessageSetting.ini that asks a question (two buttons) and the catalogue.
std::vector<nsTobrin::WriterFile> QuestionFiles(const std::string& catalogue);
// Clicks a button of a dialog (in another process too).
void ClickButton(HWND dialog, int id);

// A UTF-16 name from a wide one.
std::u16string U16(const std::wstring& text);

// The product's key under HKEY_LOCAL_MACHINE, where the silent switch and
// the extraction root are read.
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Brenko Corporation\\OLMI update";

// The folder of the running test program.
std::wstring OwnFolder();

// Sets or deletes a value and restores the earlier state at the end of the
// scope; a write or deletion that fails is a test failure. Creates the key when it is missing and
// removes it again if it made it.
class RegistryValueGuard {
 public:
  RegistryValueGuard(HKEY root, const std::wstring& key, const std::wstring& value);
  ~RegistryValueGuard();
  RegistryValueGuard(const RegistryValueGuard&) = delete;
  RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;
  void Set(DWORD type, const void* data, DWORD size);
  void SetDword(DWORD data) { Set(REG_DWORD, &data, sizeof(data)); }
  void Delete();

 private:
  HKEY m_root;
  std::wstring m_key, m_value;
  bool m_bHadValue = false, m_bCreatedKey = false;
  DWORD m_type = 0;
  std::vector<BYTE> m_old;
};

// Sets (or, with an empty value, removes) a variable of this process's
// environment and restores it at the end of the scope.
class EnvironmentGuard {
 public:
  EnvironmentGuard(const std::wstring& name, const std::wstring& value);
  ~EnvironmentGuard();
  EnvironmentGuard(const EnvironmentGuard&) = delete;
  EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

 private:
  std::wstring m_name, m_old;
  bool m_bHadValue = false;
};

using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

// A process started with an environment of its own: the current one with
// the given variables replaced (an empty value removes a variable). Killed
// at the end of the scope if it is still running.
class ChildProcess {
 public:
  ChildProcess(const std::wstring& commandLine, const Environment& env);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return m_hProcess != nullptr; }
  // The exit code; -1 when the process did not start, -2 when it did not
  // end within `timeoutMs`.
  long long Wait(DWORD timeoutMs);
  // A visible top-level window of the process with this caption (and, when
  // `controlId` is not 0, a control of that id), waiting for it at most
  // `timeoutMs`; null when none appeared or the process ended.
  HWND WaitForWindow(const std::wstring& caption, int controlId = 0, DWORD timeoutMs = 30000) const;

 private:
  HANDLE m_hProcess = nullptr;
  DWORD m_nId = 0;
};

// Runs a program as a ChildProcess and returns its exit code.
long long RunProgram(const std::wstring& commandLine, const Environment& env, DWORD timeoutMs = 60000);

// Where packed runners run: a work folder with a TEMP in it that holds a
// sentinel (and must hold only that after every run), the probe's report,
// the runner and the probe, this test program's neighbours.
class RunnerScene {
 public:
  explicit RunnerScene(const std::wstring& hint);
  // The root group of the probe and `assist`, then the files in `more`.
  nsTobrin::WriterGroup ProbeRoot(std::vector<nsTobrin::WriterFile> more = {}, const std::string& assist = AssistFile()) const;
  // A copy of the runner, work\`name`, with the package of `groups` bound to it.
  std::wstring Pack(const std::vector<nsTobrin::WriterGroup>& groups, const std::wstring& name = L"runner.exe",
                    Packing packing = Packing::Stored) const;
  // A packed runner started with `arguments`, `env`, this TEMP (as
  // tempVariable names it) and the report.
  std::unique_ptr<ChildProcess> Start(const std::wstring& packed, const std::wstring& arguments = L"", Environment env = {}) const;
  long long Run(const std::wstring& packed, const std::wstring& arguments, Environment env = {}) const {
    return Start(packed, arguments, std::move(env))->Wait(60000);
  }

  TempFolder work;
  std::wstring temp = work / L"temp", tempVariable = temp, report = work / L"report.txt";
  std::wstring runner = OwnFolder() + L"\\tobrin.exe";
  std::string probe = ReadBytes(OwnFolder() + L"\\probe.exe");
};

}  // namespace testing_support
