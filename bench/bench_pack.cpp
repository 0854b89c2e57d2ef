// A minimal packer for the benchmark, over the project's package writer:
//   bench_pack create -o OUT.exe --stub RUNNER.exe DIR
// Files directly in DIR go to the root group, every folder below it becomes
// the group named by its relative path ('\' between components), and the
// groups are written in ordinal order. File contents are streamed, never
// held in memory. The real packer (tobrin-pack) takes the same arguments;
// bench/run prefers it when it is built.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>


#include "common/stdio_file.h"
#include "package/package_writer.h"

namespace fs = std::filesystem;
using namespace nsTobrin;

namespace {

WriterFile StreamedFile(const fs::path& path, std::u16string name, std::uint64_t size) {
  WriterFile file;
  file.name = std::move(name);
  file.size = static_cast<std::uint32_t>(size);
  file.writeContent = [path, size](ByteSink& out) {
    nsTobrin::StdioFile in(std::fopen(path.c_str(), "rb"));
    if (!in) return false;
    std::vector<char> buffer(1 << 20);
    std::uint64_t left = size;
    while (left > 0) {
      const std::size_t piece = left < buffer.size() ? static_cast<std::size_t>(left) : buffer.size();
      if (std::fread(buffer.data(), 1, piece, in.Get()) != piece || !out.Write(buffer.data(), piece))
        return false;
      left -= piece;
    }
    return true;
  };
  return file;
}

std::u16string GroupName(const fs::path& relative) {
  std::u16string name;
  for (const fs::path& part : relative) {
    if (!name.empty()) name += u'\\';
    name += part.u16string();
  }
  return name;
}

int Usage() {
  std::fprintf(stderr, "usage: bench_pack create -o OUT.exe --stub RUNNER.exe [--no-seal] DIR\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out, stub, dir;
  PackageSealing sealing = PackageSealing::Sealed;  // as tobrin-pack create
  if (argc < 2 || std::strcmp(argv[1], "create") != 0) return Usage();
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      out = argv[++i];
    } else if (std::strcmp(argv[i], "--stub") == 0 && i + 1 < argc) {
      stub = argv[++i];
    } else if (std::strcmp(argv[i], "--no-seal") == 0) {
      sealing = PackageSealing::Unsealed;
    } else if (std::strcmp(argv[i], "--store") == 0) {
      // The only layout this packer writes.
    } else if (dir.empty()) {
      dir = argv[i];
    } else {
      return Usage();
    }
  }
  if (out.empty() || stub.empty() || dir.empty()) return Usage();

  std::map<std::u16string, WriterGroup> groups;
  groups[kRootGroupName].name = kRootGroupName;
  std::error_code error;
  for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    const fs::path relative = it->path().lexically_relative(dir);
    if (it->is_directory()) {
      const std::u16string name = GroupName(relative);
      groups[name].name = name;
    } else if (it->is_regular_file()) {
      const std::uint64_t size = it->file_size();
      if (size > kMaxFileSize) {
        std::fprintf(stderr, "bench_pack: %s is 2 GiB or larger\n", it->path().c_str());
        return 1;
      }
      const fs::path parent = relative.parent_path();
      const std::u16string group = parent.empty() ? kRootGroupName : GroupName(parent);
      groups[group].name = group;
      groups[group].files.push_back(StreamedFile(it->path(), relative.filename().u16string(), size));
    }
  }
  if (error) {
    std::fprintf(stderr, "bench_pack: cannot walk %s: %s\n", dir.c_str(), error.message().c_str());
    return 1;
  }
  std::vector<WriterGroup> ordered;
  for (auto& group : groups) {
    // Files in name order, so that two runs pack the same package.
    std::sort(group.second.files.begin(), group.second.files.end(),
              [](const WriterFile& a, const WriterFile& b) { return a.name < b.name; });
    ordered.push_back(std::move(group.second));
  }

  if (!fs::copy_file(stub, out, fs::copy_options::overwrite_existing, error)) {
    std::fprintf(stderr, "bench_pack: cannot copy %s: %s\n", stub.c_str(), error.message().c_str());
    return 1;
  }
  nsTobrin::StdioFile exe(std::fopen(out.c_str(), "r+b"));
  if (!exe || !AppendPackage(exe.Get(), ordered, sealing)) {
    std::fprintf(stderr, "bench_pack: cannot write the package into %s\n", out.c_str());
    return 1;
  }
  return 0;
}
