#include "extract/extract_package.h"

#include <ntsecapi.h>

#include <cstdio>
#include <memory>
#include <new>
#include <unordered_set>

#include "app/module_path.h"
#include "app/tobrin_dlg.h"
#include "common/last_error.h"
#include "common/stdio_file.h"
#include "common/win_owners.h"
#include "contract/payload_lookup.h"
#include "contract/stored_names.h"
#include "extract/extract_folder.h"
#include "extract/folder_security.h"
#include "extract/handle_closer.h"
#include "extract/long_path.h"
#include "package/package_copy.h"
#include "package/package_seal.h"
#include "run/extraction_root.h"

namespace nsTobrin {

PackageDirectory g_packageDirectory;

namespace {

std::wstring ToWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

bool IsDrivePath(const std::wstring& path, size_t at) {
  return path.size() >= at + 3 && ((path[at] | 0x20) >= L'a' && (path[at] | 0x20) <= L'z') && path[at + 1] == L':' && path[at + 2] == L'\\';
}

// A folder for the {GUID} folder, in the form that CreateProcessW and the
// payload's own tools take: '\' as separator, no "\\?\" prefix, and when
// the path is so long that a payload in it could not be started, its short
// form where the file system has one. Empty when `path` is not absolute.
std::wstring WithoutLongPrefix(std::wstring path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    path.erase(0, 6);
    path[0] = L'\\';
  } else if ((path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0) && IsDrivePath(path, 4)) {
    path.erase(0, 4);
  }
  return path;
}

std::wstring UsableBaseFolder(std::wstring path) {
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  path = WithoutLongPrefix(path);
  const bool unc = path.size() > 2 && path.compare(0, 2, L"\\\\") == 0 && path[2] != L'\\' && path[2] != L'?' &&
                   path[2] != L'.';
  if (!IsDrivePath(path, 0) && !unc) return std::wstring();
  // Its one full form, used for the check and the creation alike: the
  // system drops a blank or a dot at the end of a name, and resolves "."
  // and "..", in a plain path but not in the "\\?\" form that creates the
  // folder below it.
  {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed ? needed : 1, L'\0');
    const DWORD length = needed ? GetFullPathNameW(path.c_str(), needed, &full[0], nullptr) : 0;
    if (length == 0 || length >= needed) return std::wstring();
    full.resize(length);  // a trailing backslash is kept, as the folder's path keeps it
    path = full;
  }
  // Room for the {GUID} folder and the payload's own path below it.
  constexpr size_t kLongBase = MAX_PATH - 100;
  if (path.size() > kLongBase) {
    // Without the prefix first: not every system shortens a prefixed path.
    std::wstring shorter(32768, L'\0');
    DWORD length = GetShortPathNameW(path.c_str(), &shorter[0], 32768);
    if (length == 0 || length >= 32768) length = GetShortPathNameW(ToLongPath(path).c_str(), &shorter[0], 32768);
    shorter.resize(length < 32768 ? length : 0);
    shorter = WithoutLongPrefix(shorter);
    if (!shorter.empty() && shorter.size() < path.size()) path = shorter;
  }
  return path;
}

bool IsExistingFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(ToLongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Writes the files under the extraction folder, in its long form. Names are
// checked before they get here, so every path stays inside the folder.
class ExtractFolderWriter : public ExtractionTarget {
 public:
  // `written`, when given, gets the digest of each file's bytes, keyed by
  // its secret.
  ExtractFolderWriter(const ExtractFolder& folder, CTobrinDlg& dlg, bool reportProgress, WrittenFiles* written)
      : m_folder(folder), m_dlg(dlg), m_bReportProgress(reportProgress), m_pWritten(written) {
    if (written) m_pFileDigest.reset(new SealDigest(written->secret));
  }

  // The group's folder and each folder it lies in.
  int MakeGroupFolder(const std::u16string& group) override { return MakeFoldersOf(Backslashed(group) + u"\\"); }

  int BeginFile(const std::u16string& group, const std::u16string& name) override {
    // Stored names may use '/' as well as '\'; the file system gets '\'.
    const std::u16string relative = PathBelowFolder(GroupFolder(group), name);
    // A name such as sub\x.txt needs its folders first.
    if (int error = MakeFoldersOf(relative)) return error;
    // The folder is new, so a file is made new; only a name that comes twice
    // replaces the earlier file. (Truncating an existing file costs Wine a
    // write-back of its old content.)
    const std::wstring path = m_folder.LongPathOf(ToWide(relative));
    if (m_pWritten) {
      m_pFileDigest->Restart();
      m_nFileAt = m_nAt;
    }
    m_file.Reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file.Valid() && GetLastError() == ERROR_FILE_EXISTS) {
      // The earlier file may still be open on a closing thread.
      KeepCloseError(m_closer.Finish());
      m_file.Reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    return static_cast<int>(ErrorUnless(m_file.Valid(), ERROR_CANNOT_MAKE));
  }

  int WriteData(const unsigned char* data, size_t size) override {
    if (m_pWritten) {
      m_pFileDigest->Observe(data, size);
      m_nAt += size;
    }
    while (size > 0) {
      DWORD written = 0;
      if (const DWORD error = ErrorUnless(WriteFile(m_file.Get(), data, static_cast<DWORD>(size), &written, nullptr),
                                          ERROR_WRITE_FAULT))
        return static_cast<int>(error);
      if (written == 0) return ERROR_WRITE_FAULT;
      data += written;
      size -= written;
    }
    return 0;
  }

  // On Windows an antivirus filter scans a new file when its last handle is
  // closed, and CloseHandle waits for it: closing on a pool of threads lets
  // this one write the next file meanwhile. An error of a close is reported
  // by Finish.
  int EndFile() override {
    if (m_pWritten) m_pWritten->files.push_back({m_nFileAt, m_nAt - m_nFileAt, m_pFileDigest->Result()});
    m_closer.Close(m_file.Release());
    return 0;
  }
  // Once every file handle is closed: the first error of a close, or 0.
  DWORD Finish() {
    KeepCloseError(m_closer.Finish());
    return m_closeError;
  }
  void AbandonFile() override { m_file.Reset(); }

  bool StopRequested() override { return m_dlg.m_bCancelRequested.load(); }

  void FileStarting() override {
    if (m_bReportProgress && m_dlg.m_progress.GetPos() < 900) m_dlg.m_progress.StepIt();
  }

 private:
  void KeepCloseError(DWORD error) {
    if (!m_closeError) m_closeError = error;
  }

  // Creates each folder that a path below the extraction folder (in
  // backslashes) lies in, each only once: the files of a group all go into
  // folders made for the group's first.
  int MakeFoldersOf(const std::u16string& relative) {
    for (const std::u16string_view parent : ParentFoldersOf(relative)) {
      std::u16string made(parent);
      if (m_madeFolders.count(made)) continue;
      const std::wstring path = m_folder.LongPathOf(ToWide(made));
      if (!CreateDirectoryW(path.c_str(), nullptr)) {
        const DWORD error = LastErrorOr(ERROR_CANNOT_MAKE);
        if (error != ERROR_ALREADY_EXISTS) return static_cast<int>(error);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
          return ERROR_ALREADY_EXISTS;  // a file stands where a folder must go
      }
      m_madeFolders.insert(std::move(made));
    }
    return 0;
  }

  const ExtractFolder& m_folder;
  CTobrinDlg& m_dlg;
  bool m_bReportProgress;
  KernelHandle m_file;
  // Folders made (or found) below the extraction folder, as spelled in the
  // package.
  std::unordered_set<std::u16string> m_madeFolders;
  HandleCloser m_closer{2};
  DWORD m_closeError = 0;
  WrittenFiles* m_pWritten;
  std::unique_ptr<SealDigest> m_pFileDigest;
  std::uint64_t m_nAt = 0, m_nFileAt = 0;  // among the files' bytes: the next one, the current file's first
};

// TEMP expanded and made usable into `base`; ERROR_ENVVAR_NOT_FOUND when it
// is missing, ERROR_BAD_PATHNAME when it is not absolute.
DWORD TempBaseFolder(std::wstring& base) {
  const DWORD needed = ExpandEnvironmentStringsW(L"%TEMP%", nullptr, 0);
  std::wstring temp(needed ? needed : 1, L'\0');
  const DWORD length = ExpandEnvironmentStringsW(L"%TEMP%", &temp[0], static_cast<DWORD>(temp.size()));
  temp.resize(length ? length - 1 : 0);
  if (temp.empty() || temp == L"%TEMP%") return ERROR_ENVVAR_NOT_FOUND;
  // A relative TEMP would put the folder wherever the program was started.
  base = UsableBaseFolder(temp);
  return base.empty() ? ERROR_BAD_PATHNAME : 0;
}

// A random (version 4) GUID in the registry form, {XXXXXXXX-XXXX-...}, from
// the system's random source in advapi32: the folder name costs no COM
// libraries. The source sets no last error when it fails.
DWORD NewGuidText(std::wstring& text) {
  unsigned char bytes[16];
  if (!RtlGenRandom(bytes, sizeof(bytes))) return ERROR_INVALID_FUNCTION;
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  text = L"{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += L'-';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  text += L'}';
  return 0;
}

// The run's error for how the copy ended.
DWORD CopyError(const CopyResult& copied) {
  switch (copied.outcome) {
    case CopyOutcome::Done:
      return 0;
    case CopyOutcome::Stopped:
      return ERROR_CANCELLED;
    case CopyOutcome::ReadFailed:
      return ERROR_READ_FAULT;
    case CopyOutcome::WriteFailed:
      return copied.error ? static_cast<DWORD>(copied.error) : ERROR_WRITE_FAULT;
    case CopyOutcome::Malformed:
      return ERROR_INVALID_DATA;
    case CopyOutcome::NoMemory:
      return ERROR_NOT_ENOUGH_MEMORY;
  }
  return ERROR_INVALID_FUNCTION;
}

// Makes a new {GUID} folder below `base` into `folder`. A folder that
// already exists is never used: it is not ours to fill or delete.
DWORD CreateExtractFolderIn(const std::wstring& base, CExtractFolderSecurity& security, ExtractFolder& folder) {
  std::wstring name;
  if (const DWORD error = NewGuidText(name)) return error;
  folder = ExtractFolder(base + L"\\" + name + L"\\");
  if (const DWORD error = ErrorUnless(!folder.LongPath().empty(), ERROR_BAD_PATHNAME)) return error;
  return ErrorUnless(CreateDirectoryW(folder.LongPath().c_str(), security.Attributes()), ERROR_CANNOT_MAKE);
}

// The policy's root when it is usable, else TEMP.
DWORD CreateExtractFolder(CExtractFolderSecurity& security, ExtractFolder& folder) {
  const std::wstring policy = UsableBaseFolder(ReadExtractionRoot());
  if (!policy.empty() && IsExistingFolder(policy) && CreateExtractFolderIn(policy, security, folder) == 0) return 0;
  std::wstring temp;
  if (const DWORD error = TempBaseFolder(temp)) return error;
  return CreateExtractFolderIn(temp, security, folder);
}

// One extraction; 0 or the run's error. Sets m_strExtractFolder once the
// folder exists and m_bExtracted when every file is written.
DWORD Extract(const std::wstring& programPath, CTobrinDlg& dlg, bool reportProgress) {
  StdioFile package(_wfopen(ToLongPath(programPath).c_str(), L"rb"));
  if (!package) return ERROR_OPEN_FAILED;

  // The directory's bytes go into the digest as they are read; whether the
  // package is sealed is known after it.
  SealDigest digest;
  PackageLayout layout = ReadPackageDirectory(package.Get(), g_packageDirectory, &digest);
  const Seal seal = ReadSeal(package.Get(), layout);
  if (layout.status != PackageStatus::Ok) {
    g_packageDirectory.clear();
    return ERROR_INVALID_DATA;
  }

  // The payload's file of a compressed package is checked against the
  // digest of the bytes written into it, under a secret of this run.
  WrittenFiles* written = nullptr;
  if (IsCompressed(layout.mark)) {
    written = &dlg.m_writtenFiles;
    written->files.clear();
    if (!RtlGenRandom(written->secret.data(), static_cast<ULONG>(written->secret.size()))) return ERROR_INVALID_FUNCTION;
  }
  CExtractFolderSecurity security(IsProcessElevated());
  if (const DWORD error = ErrorUnless(security.Valid(), ERROR_ACCESS_DENIED)) return error;
  ExtractFolder folder;
  if (const DWORD error = CreateExtractFolder(security, folder)) return error;
  dlg.m_strExtractFolder = folder.Path();

  ExtractFolderWriter target(folder, dlg, reportProgress, written);
  const CopyResult copied = CopyPackageData(package.Get(), layout, g_packageDirectory, target,
                                            seal.present ? &digest : nullptr, CopyThreads::DecodeAhead);
  // Nothing is started, or deleted, while a file is still open.
  const DWORD closeError = target.Finish();
  // Whenever the whole data area was read, the seal speaks first: a package
  // damaged after packing (23) is never started, and the run deletes what it
  // wrote. Only then is a stream that cannot be decoded a package written
  // wrong (13), and a window that cannot be allocated this machine's lack (8).
  const bool wholeAreaRead = copied.outcome == CopyOutcome::Done || copied.outcome == CopyOutcome::Malformed ||
                             copied.outcome == CopyOutcome::NoMemory;
  if (wholeAreaRead && seal.present && digest.Result() != seal.digest) return ERROR_CRC;
  if (const DWORD error = CopyError(copied)) return error;
  if (closeError) return closeError;
  dlg.m_bExtracted = true;
  return 0;
}

}  // namespace


bool ExtractPackageFrom(const std::wstring& programPath, CTobrinDlg& dlg, bool reportProgress) {
  DWORD error = 0;
  try {
    error = Extract(programPath, dlg, reportProgress);
  } catch (const std::bad_alloc&) {
    // Everything Extract holds is given back on the way out; what it wrote
    // goes with the folder, as after any failure.
    error = ERROR_NOT_ENOUGH_MEMORY;
  }
  if (error) dlg.m_nExitCode = error;
  if (reportProgress) dlg.m_progress.SetPos(1000);
  return error == 0;
}

bool ExtractPackage(CTobrinDlg& dlg, bool reportProgress) {
  return ExtractPackageFrom(GetOwnModulePath(), dlg, reportProgress);
}

}  // namespace nsTobrin
