#pragma once
// A line on standard error that tells a person at a terminal how far a long import got: the pass,
// lines done of all, lines per second and the time left. Drawn only when standard output and
// standard error are terminals (a script reads the log and the end line instead), first after a
// second, then at most twice a second; cleared before each console message and at the end.

#include <cstdint>
#include <string>
#include <string_view>

namespace zi {

class TProgressLine {
 public:
  explicit TProgressLine(bool enabled);
  ~TProgressLine();
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  // done of total lines of the pass ("check" or "import"); the import pass comes after a check of
  // the same lines, so the time left of a check counts the import too.
  void Show(std::string_view pass, int64_t done, int64_t total);

  // "check 1200/5000 lines, 2400 lines/s, 4 s left"
  static std::string Text(std::string_view pass, int64_t done, int64_t total, double seconds);

 private:
  bool enabled_;
  int64_t start_;
  int64_t lastDrawn_ = 0;
};

// Whether a progress line may be drawn: standard output and standard error are terminals.
bool ProgressLineWanted();

}  // namespace zi
