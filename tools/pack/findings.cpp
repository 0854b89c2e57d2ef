#include "findings.h"

#include "text.h"

namespace nsTobrin {

bool Findings::HasErrors() const { return ErrorCount() > 0; }

std::size_t Findings::ErrorCount() const {
  std::size_t count = 0;
  for (const Finding& item : m_items) count += item.error;
  return count;
}

std::size_t Findings::WarningCount() const { return m_items.size() - ErrorCount(); }

void Findings::Print(std::FILE* stream) const {
  for (const Finding& item : m_items)
    std::fprintf(stream, "tobrin-pack: %s: %s: %s\n", item.error ? "error" : "warning",
                 Printable(item.subject).c_str(), Printable(item.reason).c_str());
}

}  // namespace nsTobrin
