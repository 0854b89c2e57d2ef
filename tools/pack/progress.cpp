#include "progress.h"

#include "native_files.h"

namespace nsTobrin {

namespace {

constexpr auto kQuietTime = std::chrono::milliseconds(500);
constexpr auto kRedrawTime = std::chrono::milliseconds(100);
constexpr std::size_t kWidth = 72;

std::string Mebibytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

std::string RenderProgress(const std::string& label, std::uint64_t done, std::uint64_t total, std::size_t width) {
  const unsigned percent = total ? static_cast<unsigned>(done * 100 / total) : 100;
  const std::string tail = " " + std::string(percent < 10 ? "  " : percent < 100 ? " " : "") + std::to_string(percent) +
                           "%  " + Mebibytes(done) + " of " + Mebibytes(total) + " MiB";
  const std::size_t fixed = label.size() + 3 + tail.size();
  const std::size_t bar = width > fixed + 10 ? width - fixed : 10;
  const std::size_t filled = total ? static_cast<std::size_t>(bar * done / total) : bar;
  return label + " [" + std::string(filled, '#') + std::string(bar - filled, '-') + "]" + tail;
}

ProgressBar::ProgressBar(std::string label, std::uint64_t total, std::FILE* stream)
    : m_label(std::move(label)), m_total(total), m_stream(stream), m_bEnabled(IsTerminal(stream)),
      m_start(std::chrono::steady_clock::now()), m_lastDraw(m_start) {}

ProgressBar::~ProgressBar() {
  if (!m_bDrawn) return;
  m_done = m_total;
  Draw();
  std::fputc('\n', m_stream);
  std::fflush(m_stream);
}

void ProgressBar::Advance(std::uint64_t bytes) {
  m_done += bytes;
  if (!m_bEnabled) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - m_start < kQuietTime || now - m_lastDraw < kRedrawTime) return;
  m_lastDraw = now;
  Draw();
}

void ProgressBar::Draw() {
  m_bDrawn = true;
  std::fprintf(m_stream, "\r%s", RenderProgress(m_label, m_done, m_total, kWidth).c_str());
  std::fflush(m_stream);
}

}  // namespace nsTobrin
