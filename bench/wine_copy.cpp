// The copy limit under Wine: copies a folder tree into a new folder with the
// plain Win32 file calls (1 MiB pieces, as the runner writes) and deletes the
// copy again. It shows what the same job costs any Windows program under
// Wine, apart from the runner. With --write-only it reads no source file and
// writes each file's size of bytes from memory: the least any Windows program
// pays here to write and delete that tree, the floor of the runner's work.
//   wine_copy [--write-only] SOURCE TARGET        (TARGET must not exist)
#include <windows.h>

#include <memory>
#include <string>

#include "common/win_owners.h"

namespace {

using nsTobrin::FindHandle;
using nsTobrin::KernelHandle;

constexpr DWORD kPiece = 1u << 20;

bool WriteOne(const std::wstring& to, unsigned long long size, const unsigned char* buffer) {
  KernelHandle out(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return false;
  bool ok = true;
  for (unsigned long long left = size; ok && left > 0;) {
    const DWORD piece = left < kPiece ? static_cast<DWORD>(left) : kPiece;
    DWORD written = 0;
    ok = WriteFile(out.Get(), buffer, piece, &written, nullptr) && written == piece;
    left -= piece;
  }
  return CloseHandle(out.Release()) && ok;  // a failed close is a failed write
}

bool CopyOne(const std::wstring& from, const std::wstring& to, unsigned char* buffer) {
  const KernelHandle in(CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in) return false;
  KernelHandle out(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  bool ok = out.Valid();
  for (DWORD got = 0; ok && ReadFile(in.Get(), buffer, kPiece, &got, nullptr) && got > 0;) {
    DWORD written = 0;
    ok = WriteFile(out.Get(), buffer, got, &written, nullptr) && written == got;
  }
  return ok && CloseHandle(out.Release());
}

template <typename Visit>
bool ForEach(const std::wstring& folder, Visit visit) {
  WIN32_FIND_DATAW found;
  const FindHandle search(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                           nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!search) return false;
  bool ok = true;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") ok = visit(found) && ok;
  } while (FindNextFileW(search.Get(), &found));
  return ok;
}

bool IsFolder(const WIN32_FIND_DATAW& found) { return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool CopyTree(const std::wstring& from, const std::wstring& to, unsigned char* buffer, bool writeOnly) {
  if (!CreateDirectoryW(to.c_str(), nullptr)) return false;
  return ForEach(from, [&](const WIN32_FIND_DATAW& found) {
    const std::wstring name = found.cFileName;
    if (IsFolder(found)) return CopyTree(from + L"\\" + name, to + L"\\" + name, buffer, writeOnly);
    const unsigned long long size = found.nFileSizeLow | static_cast<unsigned long long>(found.nFileSizeHigh) << 32;
    if (writeOnly) return WriteOne(to + L"\\" + name, size, buffer);
    return CopyOne(from + L"\\" + name, to + L"\\" + name, buffer);
  });
}

bool RemoveTree(const std::wstring& folder) {
  const bool ok = ForEach(folder, [&](const WIN32_FIND_DATAW& found) {
    const std::wstring path = folder + L"\\" + found.cFileName;
    return IsFolder(found) ? RemoveTree(path) : DeleteFileW(path.c_str()) != FALSE;
  });
  return RemoveDirectoryW(folder.c_str()) && ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool writeOnly = argc == 4 && std::wstring(argv[1]) == L"--write-only";
  if (argc != 3 + writeOnly) return 2;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kPiece]());
  const bool copied = CopyTree(argv[1 + writeOnly], argv[2 + writeOnly], buffer.get(), writeOnly);
  const bool removed = RemoveTree(argv[2 + writeOnly]);
  return copied && removed ? 0 : 1;
}
