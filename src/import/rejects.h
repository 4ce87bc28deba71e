#pragma once
// The reject file of a text run: every line that failed, in either pass, in the import file's own
// format, each with its messages above it as "#" comments, so that a user fixes and re-imports only
// those. A check that failed wrote nothing, so then every line of the file is a reject.

#include <string>
#include <string_view>
#include <vector>

namespace zi {

class TTextLines;

class TRejects {
 public:
  explicit TRejects(std::string path) : path_(std::move(path)) {}

  // A message of the line (or block) in hand.
  void Message(std::string_view message) { messages_.emplace_back(message); }
  // The line in hand succeeded: its messages (warnings) are no reject's.
  void Succeeded() { messages_.clear(); }
  // Lines first to last (from 0), a directive and the block it read, failed.
  void Failed(size_t first, size_t last);
  // Nothing from line first on was imported: the run stopped there.
  void FailedFrom(size_t first) { Failed(first, kToTheEnd); }
  // Lines from first on that had run were not written after all (their commit group was lost): the
  // reason goes above them, and the messages of lines that had failed among them stay above those.
  void NotWrittenFrom(size_t first, std::string_view reason);
  // The check failed at line `at`: nothing was written, so every line is a reject.
  void CheckFailed(size_t at);

  bool Empty() const { return failed_.empty(); }
  const std::string& Path() const { return path_; }
  // Writes the file beside a temporary copy renamed into place; nothing without a reject. Each line
  // is written once, however many failures name it. 0, or the error number of the failure.
  int Write(const TTextLines& lines) const;

 private:
  static constexpr size_t kToTheEnd = static_cast<size_t>(-1);
  struct TFailed {
    size_t first, last;
    std::vector<std::string> messages;
  };
  std::string path_;
  std::vector<std::string> messages_;
  std::vector<TFailed> failed_;
};

}  // namespace zi
