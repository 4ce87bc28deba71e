#include "import/rejects.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "import/text_lines.h"

namespace zi {

void TRejects::Failed(size_t first, size_t last) {
  failed_.push_back({first, last, std::move(messages_)});
  messages_.clear();
}

void TRejects::CheckFailed(size_t at) {
  failed_.clear();
  if (at > 0) failed_.push_back({0, at - 1, {}});
  FailedFrom(at);
}

void TRejects::NotWrittenFrom(size_t first, std::string_view reason) {
  failed_.push_back({first, kToTheEnd, {std::string(reason)}});
}

int TRejects::Write(const TTextLines& lines) const {
  if (failed_.empty()) return 0;
  std::vector<const TFailed*> byFirst;
  for (const TFailed& failed : failed_) byFirst.push_back(&failed);
  std::stable_sort(byFirst.begin(), byFirst.end(),
                   [](const TFailed* a, const TFailed* b) { return a->first < b->first; });
  const std::string partial = path_ + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    // Lines before `next` are written or are no reject's; those before `covered` are rejects.
    size_t next = 0;
    size_t covered = 0;
    auto writeUpTo = [&](size_t end) {
      for (; next < std::min(end, lines.Count()); ++next) out << lines.Line(next) << "\n";
    };
    for (const TFailed* failed : byFirst) {
      writeUpTo(std::min(failed->first, covered));
      next = std::max(next, failed->first);
      for (const std::string& message : failed->messages) out << "# " << message << "\n";
      covered = std::max(covered, failed->last == kToTheEnd ? kToTheEnd : failed->last + 1);
    }
    writeUpTo(covered);
    if (!out.flush()) {
      std::remove(partial.c_str());
      return errno != 0 ? errno : EIO;
    }
  }
  return std::rename(partial.c_str(), path_.c_str()) == 0 ? 0 : errno;
}

}  // namespace zi
