#include "source_tree.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "package/package_format.h"
#include "text.h"

namespace nsTobrin {

namespace {

// A file whose size says 0 while it yields bytes (the files of /proc and
// similar): what is read from it is no file's content.
bool SizeIsNotContent(const fs::path& path) {
  std::string ignored;
  StdioFile in = OpenRegularFile(path, Links::kDoNotFollowLinks, ignored);
  return in && std::fgetc(in.Get()) != EOF;
}

// Walks the tree with a list of folders still to read rather than by
// recursion, so that no depth of folders exhausts the stack.
class Scanner {
 public:
  explicit Scanner(Findings& findings) : m_findings(findings) {}

  void Scan(const fs::path& top, std::vector<ViewGroup>& groups) {
    std::vector<std::pair<std::u16string, fs::path>> pending{{kRootGroupName, top}};
    while (!pending.empty()) {
      const auto next = std::move(pending.back());
      pending.pop_back();
      if (next.first == kRootGroupName && next.second != top) {
        m_findings.Error(PathToUtf8(next.second), "a folder of this name would be taken for the package's root group");
        continue;
      }
      groups.push_back(ReadFolder(next.second, next.first, pending));
    }
  }

 private:
  // The group for `folder` (named `group`); its folders go to `pending`.
  ViewGroup ReadFolder(const fs::path& folder, const std::u16string& group,
                       std::vector<std::pair<std::u16string, fs::path>>& pending) {
    ViewGroup current;
    current.name = group;
    std::vector<FolderEntry> entries;
    std::error_code error;
    if (!ReadFolderEntries(folder, entries, error))
      m_findings.Error(PathToUtf8(folder), "cannot be read: " + error.message());
    for (const FolderEntry& entry : entries) {
      const fs::path path = folder / entry.name;
      const std::string subject = PathToUtf8(path);
      const auto name = NameToUtf16(entry.name);
      if (!name) {
        m_findings.Error(subject, "the name is not valid UTF-8, so it cannot be stored as a Windows name");
        continue;
      }
      if (name->find(u'\\') != std::u16string::npos) {
        m_findings.Error(subject, "the name holds a backslash, which Windows reads as a folder separator");
        continue;
      }
      if (entry.type == fs::file_type::symlink) {
        m_findings.Error(subject, entry.linkToFolder
                                      ? "is a symbolic link to a folder, which is not followed; copy the folder in"
                                      : "is a symbolic link, which is not followed; copy the file in");
        continue;
      }
      if (entry.error) {
        m_findings.Error(subject, "cannot be examined: " + entry.error.message());
        continue;
      }
      if (entry.type == fs::file_type::directory) {
        pending.emplace_back(group == kRootGroupName ? *name : group + u"\\" + *name, path);
      } else if (entry.type == fs::file_type::regular) {
        ViewFile file;
        file.name = *name;
        file.source = path;
        file.size = entry.size;
        if (file.size > kMaxFileSize)
          m_findings.Error(subject, "is " + std::to_string(file.size) +
                                        " bytes long; the runner takes files of less than 2 GiB (2147483648 bytes)");
        else if (file.size == 0 && SizeIsNotContent(path))
          m_findings.Error(subject, "says it is empty but yields bytes when read (a file of a system folder such "
                                    "as /proc); copy what it holds into a file");
        current.files.push_back(std::move(file));
      } else {
        m_findings.Error(subject, "is neither a file nor a folder");
      }
    }
    std::sort(current.files.begin(), current.files.end(),
              [](const ViewFile& a, const ViewFile& b) { return a.name < b.name; });
    return current;
  }

  Findings& m_findings;
};

}  // namespace

PackageView ScanSourceFolder(const fs::path& folder, Findings& findings) {
  PackageView view;
  view.subjectOf = [folder](const std::u16string& relative) {
    return PathToUtf8(folder / PathFromStoredName(relative));
  };
  view.read = [](const ViewFile& file, std::uint64_t limit, std::string& bytes, std::string& error) {
    StdioFile in = OpenRegularFile(file.source, Links::kDoNotFollowLinks, error);
    if (!in) return false;
    bytes.clear();
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), in.Get())) > 0) {
      bytes.append(buffer, got);
      if (bytes.size() > limit) {
        error = "is larger than " + std::to_string(limit) + " bytes";
        return false;
      }
    }
    if (std::ferror(in.Get())) {
      error = "cannot be read: " + ErrnoText(errno);
      return false;
    }
    return true;
  };

  view.readHead = [](const ViewFile& file, std::uint64_t count, std::string& bytes, std::string& error) {
    StdioFile in = OpenFile(file.source, "rb");
    if (!in) {
      error = "cannot be opened: " + ErrnoText(errno);
      return false;
    }
    bytes.assign(static_cast<std::size_t>(std::min(count, file.size)), '\0');
    bytes.resize(bytes.empty() ? 0 : std::fread(&bytes[0], 1, bytes.size(), in.Get()));
    if (std::ferror(in.Get())) {
      error = "cannot be read: " + ErrnoText(errno);
      return false;
    }
    return true;
  };

  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (!fs::is_directory(status)) {
    findings.Error(PathToUtf8(folder), !fs::exists(status) ? "does not exist"
                                       : error             ? "cannot be examined: " + error.message()
                                                           : "is not a folder");
    return view;
  }
  Scanner(findings).Scan(folder, view.groups);
  std::sort(view.groups.begin(), view.groups.end(),
            [](const ViewGroup& a, const ViewGroup& b) { return a.name < b.name; });
  return view;
}

}  // namespace nsTobrin
