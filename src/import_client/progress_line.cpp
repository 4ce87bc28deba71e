#include "import_client/progress_line.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

#include <fmt/format.h>

#include "toolbox/log.h"
#include "toolbox/platform.h"

namespace zi {

namespace {

constexpr int64_t kFirstDrawMs = 1000;
constexpr int64_t kRedrawMs = 500;
constexpr const char* kClear = "\r\x1b[K";

bool drawn = false;

void Clear() {
  if (!drawn) return;
  std::fputs(kClear, stderr);
  std::fflush(stderr);
  drawn = false;
}

}  // namespace

bool ProgressLineWanted() { return isatty(STDOUT_FILENO) == 1 && isatty(STDERR_FILENO) == 1; }

TProgressLine::TProgressLine(bool enabled) : enabled_(enabled), start_(platform::MonotonicMs()) {
  if (enabled_) SetBeforeConsoleEcho(Clear);
}

TProgressLine::~TProgressLine() {
  if (!enabled_) return;
  Clear();
  SetBeforeConsoleEcho(nullptr);
}

void TProgressLine::Show(std::string_view pass, int64_t done, int64_t total) {
  if (!enabled_) return;
  const int64_t now = platform::MonotonicMs();
  if (now - start_ < kFirstDrawMs || now - lastDrawn_ < kRedrawMs) return;
  lastDrawn_ = now;
  const std::string text = kClear + Text(pass, done, total, static_cast<double>(now - start_) / 1000);
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  drawn = true;
}

std::string TProgressLine::Text(std::string_view pass, int64_t done, int64_t total, double seconds) {
  // The check reads every line once, the import once more.
  const int64_t workDone = pass == "import" ? total + done : done;
  const int64_t workLeft = 2 * total - workDone;
  std::string text = fmt::format("{} {}/{} lines", pass, done, total);
  if (seconds <= 0 || workDone <= 0) return text;
  const double rate = static_cast<double>(workDone) / seconds;
  text += fmt::format(", {:.0f} lines/s", rate);
  text += fmt::format(", {:.0f} s left", std::ceil(static_cast<double>(workLeft) / rate));
  return text;
}

}  // namespace zi
