#include "package_view.h"

#include "package/package_format.h"

namespace nsTobrin {

bool ViewGroup::IsRoot() const { return name == kRootGroupName; }

std::u16string ViewGroup::Folder() const { return GroupFolder(name); }

const ViewGroup* PackageView::RootGroup() const {
  for (const ViewGroup& group : groups)
    if (group.IsRoot()) return &group;
  return nullptr;
}

std::string PackageView::Subject(const ViewGroup& group, const ViewFile& file) const {
  return subjectOf(RelativePath(group, file));
}

std::uint64_t PackageView::FileCount() const {
  std::uint64_t count = 0;
  for (const ViewGroup& group : groups) count += group.files.size();
  return count;
}

std::uint64_t PackageView::DataSize() const {
  std::uint64_t size = 0;
  for (const ViewGroup& group : groups)
    for (const ViewFile& file : group.files) size += file.size;
  return size;
}

std::u16string RelativePath(const ViewGroup& group, const ViewFile& file) {
  return group.IsRoot() ? file.name : group.name + u"\\" + file.name;
}

}  // namespace nsTobrin
