#include "extract/extract_folder.h"

#include "extract/long_path.h"

namespace nsTobrin {

ExtractFolder::ExtractFolder(std::wstring path) : m_strPath(std::move(path)) {
  if (m_strPath.empty()) return;
  std::wstring folder = m_strPath;
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  m_strLongPath = ToLongPath(folder);
}

}  // namespace nsTobrin
