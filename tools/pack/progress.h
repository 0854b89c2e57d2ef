// A progress bar on the terminal for work that takes more than a moment:
// drawn on standard error only when it is a terminal, and only once the
// work has run for half a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace nsTobrin {

class ProgressBar {
 public:
  ProgressBar(std::string label, std::uint64_t total, std::FILE* stream = stderr);
  ~ProgressBar();  // completes the bar it drew and ends its line
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Advance(std::uint64_t bytes);

 private:
  void Draw();

  std::string m_label;
  std::uint64_t m_total, m_done = 0;
  std::FILE* m_stream;
  bool m_bEnabled;
  bool m_bDrawn = false;
  std::chrono::steady_clock::time_point m_start, m_lastDraw;
};

// "[########------]  57%  12.0 of 21.1 MiB" in `width` columns.
std::string RenderProgress(const std::string& label, std::uint64_t done, std::uint64_t total, std::size_t width);

}  // namespace nsTobrin
