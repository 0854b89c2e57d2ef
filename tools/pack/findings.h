// What a check found: errors, which refuse a package, and warnings, which
// do not. Each names the file it is about and the reason in plain words.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace nsTobrin {

struct Finding {
  bool error = false;
  std::string subject;  // the file, on disk or in the package
  std::string reason;
};

class Findings {
 public:
  void Error(std::string subject, std::string reason) { m_items.push_back({true, std::move(subject), std::move(reason)}); }
  void Warning(std::string subject, std::string reason) { m_items.push_back({false, std::move(subject), std::move(reason)}); }

  bool HasErrors() const;
  std::size_t ErrorCount() const;
  std::size_t WarningCount() const;
  const std::vector<Finding>& Items() const { return m_items; }

  // "tobrin-pack: error: SUBJECT: REASON", one line each.
  void Print(std::FILE* stream) const;

 private:
  std::vector<Finding> m_items;
};

}  // namespace nsTobrin
