#pragma once
// A named set of stopwatches for timing long operations, reported to the log.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace zi {

inline constexpr int kRelozioStartRunning = 4318;
inline constexpr int kRelozioStopStopped = 4319;
inline constexpr int kRelozioRunningAtEnd = 4317;

class TRelozios {
 public:
  static constexpr int kCount = 201;
  using Clock = std::chrono::steady_clock;

  // Stopwatch 0, "main", starts at once; tests give the clock the stopwatches read.
  explicit TRelozios(std::string name, Clock::time_point (*now)() = &Clock::now);
  // Reports the set when it was not reported yet.
  ~TRelozios();
  TRelozios(const TRelozios&) = delete;
  TRelozios& operator=(const TRelozios&) = delete;

  // Indexes outside 0..200 are ignored.
  void Start(int index, const std::string& name);
  void Stop(int index);
  // Milliseconds of stopwatch 0 so far.
  double MainMs() const;
  // The log lines of the report (title line first); the set counts as reported once written.
  std::vector<std::string> ReportLines(const std::string& title) const;
  void Report(const std::string& title);
  // Counts the set as reported without writing it.
  void Descarta() { reported_ = true; }
  bool Reported() const { return reported_; }

 private:
  struct Relozio {
    double ms = 0;
    int starts = 0;
    bool running = false;
    int erro = 0;
    bool colisao = false;
    std::string name;
    Clock::time_point since;
  };
  double ElapsedMs(const Relozio& r) const;

  std::string name_;
  std::array<Relozio, kCount> relozios_;
  bool reported_ = false;
  Clock::time_point (*now_)();
};

}  // namespace zi
