// Decoding speed of the runner's decoder (make bench; docs/format.md's size
// against speed figures): decodes the package bound to a program from the
// file, through the copy walk, into nothing, and prints MB/s of decoded
// bytes, the best of three runs.
#include <windows.h>

#include <cstdio>

#include "package/package_copy.h"
#include "package/package_format.h"

namespace {

struct Discard : nsTobrin::ExtractionTarget {
  int MakeGroupFolder(const std::u16string&) override { return 0; }
  int BeginFile(const std::u16string&, const std::u16string&) override { return 0; }
  int WriteData(const unsigned char*, std::size_t) override { return 0; }
  int EndFile() override { return 0; }
  void AbandonFile() override {}
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  double best = 0;
  for (int round = 0; round < 3; ++round) {
    FILE* file = _wfopen(argv[1], L"rb");
    if (!file) return 1;
    nsTobrin::PackageDirectory directory;
    const nsTobrin::PackageLayout layout = nsTobrin::ReadPackageDirectory(file, directory);
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Discard target;
    const auto copied = nsTobrin::CopyPackageData(file, layout, directory, target);
    QueryPerformanceCounter(&end);
    std::fclose(file);
    if (layout.status != nsTobrin::PackageStatus::Ok || copied.outcome != nsTobrin::CopyOutcome::Done) return 1;
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    const double rate = static_cast<double>(layout.dataSize) / seconds / 1e6;
    if (rate > best) best = rate;
  }
  std::printf("%.0f MB/s\n", best);
  return 0;
}
