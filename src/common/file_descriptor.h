// An open file descriptor, closed when its owner goes (portable: the packer
// builds on POSIX and with MinGW's C runtime). Descriptor 0 is a file like
// any other; "nothing" is -1.
#pragma once

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>

#include "common/stdio_file.h"
#include "common/unique_resource.h"

namespace nsTobrin {

inline void CloseFileDescriptor(int fd) {
#ifdef _WIN32
  _close(fd);
#else
  close(fd);
#endif
}
inline bool IsOpenFileDescriptor(int fd) { return fd >= 0; }
using FileDescriptor = UniqueResource<int, &CloseFileDescriptor, &IsOpenFileDescriptor, -1>;

// A stream over `fd` in `mode`: `fd` is handed over to it, or kept (and
// closed by its owner) when no stream can be made, errno telling why.
inline StdioFile StreamOver(FileDescriptor& fd, const char* mode) {
#ifdef _WIN32
  StdioFile file(_fdopen(fd.Get(), mode));
#else
  StdioFile file(fdopen(fd.Get(), mode));
#endif
  if (file) fd.Release();
  return file;
}

}  // namespace nsTobrin
