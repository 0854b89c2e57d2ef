// The extraction folder's path in each form a run uses, each made once:
// as the run keeps it and hands it on (CTobrinDlg::m_strExtractFolder), and
// in the "\\?\" form in which it is made, filled and deleted.
#pragma once

#include <string>

namespace nsTobrin {

class ExtractFolder {
 public:
  // The folder at `path`, which ends with a backslash; empty: no folder.
  // Its long form is made here; when it cannot be, LongPath() is empty and
  // the thread's last error says why.
  explicit ExtractFolder(std::wstring path = std::wstring());

  // Ends with a backslash.
  const std::wstring& Path() const { return m_strPath; }
  // The "\\?\" form, without the trailing backslash; empty when there is
  // no folder or its full path cannot be made.
  const std::wstring& LongPath() const { return m_strLongPath; }

  // A file as the payload command names it: the path, the folder of its
  // group (empty for the root group), a backslash and the name. A file of
  // the root group so gets two backslashes in a row, which the command
  // passes on as they are.
  std::wstring FilePath(const std::wstring& groupFolder, const std::wstring& name) const {
    return m_strPath + groupFolder + L"\\" + name;
  }
  // A path below the folder, in backslashes, in the long form.
  std::wstring LongPathOf(const std::wstring& relative) const { return m_strLongPath + L"\\" + relative; }

 private:
  std::wstring m_strPath;
  std::wstring m_strLongPath;
};

}  // namespace nsTobrin
