#include "import/rejects.h"

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

int TRejects::Write(const TTextLines& lines) const {
  if (failed_.empty()) return 0;
  const std::string partial = path_ + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    for (const TFailed& failed : failed_) {
      for (const std::string& message : failed.messages) out << "# " << message << "\n";
      for (size_t i = failed.first; i <= failed.last && i < lines.Count(); ++i) out << lines.Line(i) << "\n";
    }
    if (!out.flush()) {
      std::remove(partial.c_str());
      return errno != 0 ? errno : EIO;
    }
  }
  return std::rename(partial.c_str(), path_.c_str()) == 0 ? 0 : errno;
}

}  // namespace zi
