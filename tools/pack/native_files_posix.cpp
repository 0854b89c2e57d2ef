// The packer's file system on POSIX systems.
#include "native_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <system_error>

#include "common/file_descriptor.h"
#include "text.h"

namespace nsTobrin {

fs::path PathFromUtf8(const std::string& utf8) {
  return fs::path(utf8);
}

std::string PathToUtf8(const fs::path& path) {
  return path.native();
}

std::optional<std::u16string> NameToUtf16(const fs::path& name) {
  std::u16string out;
  if (!Utf8ToUtf16(name.native(), out)) return std::nullopt;
  return out;
}

fs::path NameFromUtf16(const std::u16string& name) {
  return fs::path(Utf16ToUtf8(name));
}

bool ReadFolderEntries(const fs::path& folder, std::vector<FolderEntry>& entries, std::error_code& error) {
  entries.clear();
  error.clear();
  fs::directory_iterator it(folder, error), end;
  for (; !error && it != end; it.increment(error)) {
    FolderEntry entry;
    entry.name = it->path().filename();
    const fs::file_status own = fs::symlink_status(it->path(), entry.error);
    entry.type = own.type();
    if (fs::is_symlink(own)) {
      std::error_code ignored;
      entry.linkToFolder = fs::is_directory(fs::status(it->path(), ignored));
    } else if (fs::is_regular_file(own)) {
      entry.size = fs::file_size(it->path(), entry.error);
    }
    entries.push_back(std::move(entry));
  }
  return !error;
}

bool RemoveEntry(const fs::path& path) {
  std::error_code error;
  return fs::remove(path, error);
}

StdioFile OpenFile(const fs::path& path, const char* mode) {
  return StdioFile(std::fopen(path.c_str(), mode));
}

std::optional<fs::path> OwnExecutablePath() {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return self;
}

bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

namespace {

// The partial file of the running create, for the signal handler: a path
// in a fixed buffer, as only async-signal-safe calls may use it.
char g_partialPath[4096];
volatile std::sig_atomic_t g_bPartialSet = 0;

extern "C" void RemovePartialAndEnd(int signal) {
  if (g_bPartialSet) unlink(g_partialPath);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void WatchPartial(const fs::path& path) {
  if (path.native().size() >= sizeof(g_partialPath)) return;
  std::memcpy(g_partialPath, path.c_str(), path.native().size() + 1);
  g_bPartialSet = 1;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, RemovePartialAndEnd);
}

void UnwatchPartial() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
  g_bPartialSet = 0;
}

}  // namespace

fs::file_status LinkStatus(const fs::path& path, std::error_code& error) {
  return fs::symlink_status(path, error);
}

StdioFile OpenRegularFile(const fs::path& path, Links links, std::string& error) {
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::kFollow ? 0 : O_NOFOLLOW)));
  if (!fd) {
    error = errno == ELOOP && links != Links::kFollow ? "is a symbolic link, which is not followed"
                                                      : "cannot be opened: " + ErrnoText(errno);
    return StdioFile();
  }
  struct stat info;
  if (fstat(fd.Get(), &info) != 0) {
    error = "cannot be opened: " + ErrnoText(errno);
    return StdioFile();
  }
  if (!S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? "is a folder" : "is not a regular file (a FIFO, a device or a socket)";
    return StdioFile();
  }
  fcntl(fd.Get(), F_SETFL, fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
  StdioFile file = StreamOver(fd, "rb");
  if (!file) error = "cannot be opened: " + ErrnoText(errno);
  return file;
}

StdioFile CreateNewFile(const fs::path& path) {
  // O_EXCL: an existing name, a symbolic link to anywhere among them, fails.
  FileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd) return StdioFile();
  return StreamOver(fd, "wb");
}

PendingFile::PendingFile(const fs::path& target) : m_target(target) {
  const fs::path folder = target.parent_path();
  // mkstemps: O_CREAT | O_EXCL under a name of its own, mode 0600.
  std::string pattern = (folder / target.filename()).native() + ".XXXXXX.tobrin-pack-partial";
  FileDescriptor fd(mkstemps(&pattern[0], static_cast<int>(std::strlen(".tobrin-pack-partial"))));
  if (!fd) return;
  m_path = pattern;
  m_file = StreamOver(fd, "w+b");
  if (!m_file) {
    unlink(pattern.c_str());
    m_path.clear();
    return;
  }
  WatchPartial(m_path);
}

PendingFile::~PendingFile() {
  m_file.Reset();
  if (!m_bCommitted && !m_path.empty()) RemoveEntry(m_path);
  if (!m_path.empty()) UnwatchPartial();
}

void PendingFile::TakePermissionsOf(const fs::path& like) {
  struct stat info;
  if (m_file && stat(like.c_str(), &info) == 0) fchmod(fileno(m_file.Get()), info.st_mode & 07777);
}

bool RenameReplacing(const fs::path& from, const fs::path& to, std::string& error) {
  std::error_code code;
  fs::rename(from, to, code);
  if (code) {
    error = code.message();
    return false;
  }
  return true;
}

}  // namespace nsTobrin
