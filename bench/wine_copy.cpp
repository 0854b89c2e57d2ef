// The copy limit under Wine: copies a folder tree into a new folder with the
// plain Win32 file calls (1 MiB pieces, as the runner writes) and deletes the
// copy again. It shows what the same job costs any Windows program under
// Wine, apart from the runner.
//   wine_copy SOURCE TARGET        (TARGET must not exist)
#include <windows.h>

#include <memory>
#include <string>

namespace {

constexpr DWORD kPiece = 1u << 20;

bool CopyOne(const std::wstring& from, const std::wstring& to, unsigned char* buffer) {
  HANDLE in = CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                          nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  HANDLE out = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = out != INVALID_HANDLE_VALUE;
  for (DWORD got = 0; ok && ReadFile(in, buffer, kPiece, &got, nullptr) && got > 0;) {
    DWORD written = 0;
    ok = WriteFile(out, buffer, got, &written, nullptr) && written == got;
  }
  if (out != INVALID_HANDLE_VALUE) ok = CloseHandle(out) && ok;
  CloseHandle(in);
  return ok;
}

template <typename Visit>
bool ForEach(const std::wstring& folder, Visit visit) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") ok = visit(name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) && ok;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return ok;
}

bool CopyTree(const std::wstring& from, const std::wstring& to, unsigned char* buffer) {
  if (!CreateDirectoryW(to.c_str(), nullptr)) return false;
  return ForEach(from, [&](const std::wstring& name, bool folder) {
    return folder ? CopyTree(from + L"\\" + name, to + L"\\" + name, buffer)
                  : CopyOne(from + L"\\" + name, to + L"\\" + name, buffer);
  });
}

bool RemoveTree(const std::wstring& folder) {
  const bool ok = ForEach(folder, [&](const std::wstring& name, bool isFolder) {
    const std::wstring path = folder + L"\\" + name;
    return isFolder ? RemoveTree(path) : DeleteFileW(path.c_str()) != FALSE;
  });
  return RemoveDirectoryW(folder.c_str()) && ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kPiece]);
  const bool copied = CopyTree(argv[1], argv[2], buffer.get());
  const bool removed = RemoveTree(argv[2]);
  return copied && removed ? 0 : 1;
}
